// Run by the shutdown tests with Wine told to report Windows 98 for this
// program: writes the platform it sees and, for each of the four operations,
// the result of ShutdownSystem and the flags it asked for, to the file named by
// its first argument. The request to Windows is only recorded.
#include <windows.h>

#include <cstdio>
#include <string>

#include "rules/ActionTables.h"
#include "actions/Shutdown.h"
#include "schema/JobSchema.h"

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    FILE* f = std::fopen(argv[1], "wb");
    if (!f) return 3;
    OSVERSIONINFOA vi{};
    vi.dwOSVersionInfoSize = sizeof(vi);
    GetVersionExA(&vi);
    std::fprintf(f, "platform=%lu\n", static_cast<unsigned long>(vi.dwPlatformId));
    for (int i = 0; i < 4; ++i) {
        auto args = qv::actions::ShutdownOperation(qv::schema::kOperations[static_cast<size_t>(i)]);
        UINT seen = 0;
        const std::string result = qv::actions::ShutdownSystem(
            args->Reboot, args->Force, args->PowerOff, [&](UINT flags, DWORD) {
                seen = flags;
                return TRUE;
            });
        std::fprintf(f, "result%d=%s\nflags%d=%u\n", i, result.c_str(), i, seen);
    }
    std::fclose(f);
    return 0;
}
