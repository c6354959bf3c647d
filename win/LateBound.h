// Functions of system DLLs bound when first called rather than imported: such
// a DLL, and all it loads in turn, stays out of the program's start until the
// first call needs it.
#pragma once

#include <windows.h>

namespace qv::win {

// The function name of dll, loading dll the first time; nullptr when either
// cannot be had. A loaded DLL stays for the program's life.
template <typename Fn>
Fn LateBound(const char* dll, const char* name) {
    HMODULE module = GetModuleHandleA(dll);
    if (!module) module = LoadLibraryA(dll);
    if (!module) return nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace qv::win
