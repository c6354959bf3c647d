// A job for the end-to-end tests: adds "ran" to a file named by its argument
// beside itself, so a job run twice leaves "ranran". Each job of a test has a
// file of its own: two processes adding to one file could lose a write.
// With a second argument "stamp" each run also leaves the moment it began, in
// milliseconds since 1970 UTC, and a line break: "ran 1792454400123\n".
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path);
    dir = dir.substr(0, dir.find_last_of('\\') + 1);
    FILE* f = std::fopen((dir + argv[1]).c_str(), "ab");
    if (!f) return 1;
    std::fputs("ran", f);
    if (argc > 2 && std::strcmp(argv[2], "stamp") == 0) {
        const unsigned long long ticks = (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
        const unsigned long long kUnixEpoch = 116444736000000000ULL;  // 1970 in 100-ns steps from 1601
        std::fprintf(f, " %llu\n", (ticks - kUnixEpoch) / 10000);
    }
    std::fclose(f);
    return 0;
}
