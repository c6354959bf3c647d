#include "ui/help/hh_funcs.h"

#include <vector>

namespace qv::help {

std::string ReadClassesRootDefault(const std::string& key) {
    HKEY raw = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &raw) != ERROR_SUCCESS)
        return {};
    win::RegKey k(raw);
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(k.get(), nullptr, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ) || size == 0)
        return {};
    std::vector<char> buf(size + 1, '\0');
    if (RegQueryValueExA(k.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buf.data()),
                         &size) != ERROR_SUCCESS)
        return {};
    std::string value(buf.data());
    if (type == REG_EXPAND_SZ) {
        char expanded[MAX_PATH * 2];
        DWORD n = ExpandEnvironmentStringsA(value.c_str(), expanded, sizeof expanded);
        if (n > 0 && n <= sizeof expanded) value = expanded;
    }
    return value;
}

HtmlHelpViewer::HtmlHelpViewer(const std::string& clsidKey) {
    file_ = ReadClassesRootDefault(clsidKey);
    if (file_.empty()) return;
    DWORD attrs = GetFileAttributesA(file_.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES || (attrs & FILE_ATTRIBUTE_DIRECTORY)) return;
    DWORD handle = 0;
    available_ = GetFileVersionInfoSizeA(file_.c_str(), &handle) != 0;
}

HWND HtmlHelpViewer::Call(HWND caller, const char* helpFile, UINT command, DWORD_PTR data) const {
    if (!fn_ && available_ && !library_) {
        library_.reset(LoadLibraryA(file_.c_str()));
        if (library_)
            fn_ = reinterpret_cast<HtmlHelpFn>(
                reinterpret_cast<void*>(GetProcAddress(library_.get(), "HtmlHelpA")));
    }
    return fn_ ? fn_(caller, helpFile, command, data) : nullptr;
}

}  // namespace qv::help
