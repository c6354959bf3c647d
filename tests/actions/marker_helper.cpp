// Started by the tests through the shell: writes what it was started with (its
// command line and the show command from its start-up info) to the file that
// QV_MARKER names, and exits. Written beside and then renamed, so a reader
// never sees half a file.
#include <windows.h>

#include <cstdio>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char marker[MAX_PATH] = {};
    if (!GetEnvironmentVariableA("QV_MARKER", marker, sizeof(marker))) return 2;
    STARTUPINFOA si{};
    si.cb = sizeof(si);
    GetStartupInfoA(&si);
    const std::string tmp = std::string(marker) + ".part";
    FILE* f = std::fopen(tmp.c_str(), "wb");
    if (!f) return 3;
    std::fprintf(f, "cmdline=%s\nflags=%lu\nshow=%u\n", GetCommandLineA(),
                 static_cast<unsigned long>(si.dwFlags), static_cast<unsigned>(si.wShowWindow));
    std::fclose(f);
    return MoveFileExA(tmp.c_str(), marker, MOVEFILE_REPLACE_EXISTING) ? 0 : 4;
}
