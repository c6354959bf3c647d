// A job for the end-to-end tests: adds "ran" to a file named by its argument
// beside itself, so a job run twice leaves "ranran". Each job of a test has a
// file of its own: two processes adding to one file could lose a write.
#include <windows.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path);
    dir = dir.substr(0, dir.find_last_of('\\') + 1);
    FILE* f = std::fopen((dir + argv[1]).c_str(), "ab");
    if (!f) return 1;
    std::fputs("ran", f);
    std::fclose(f);
    return 0;
}
