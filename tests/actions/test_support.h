// Helpers shared by the Windows action tests.
#pragma once

#include <windows.h>

#include <chrono>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>

namespace qv::actions::testing {

// Directory of the running test executable, with its trailing backslash.
inline std::string ExeDir() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof(path));
    std::string s = path;
    return s.substr(0, s.find_last_of('\\') + 1);
}

// A fresh directory under the temporary folder, removed with its files.
class TempDir {
public:
    TempDir() {
        char base[MAX_PATH] = {};
        GetTempPathA(sizeof(base), base);
        path_ = std::string(base) + "qv-act-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(counter_++) + "\\";
        CreateDirectoryA(path_.c_str(), nullptr);
    }
    ~TempDir() {
        WIN32_FIND_DATAA fd;
        HANDLE h = FindFirstFileA((path_ + "*").c_str(), &fd);
        if (h != INVALID_HANDLE_VALUE) {
            do {
                if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                    DeleteFileA((path_ + fd.cFileName).c_str());
            } while (FindNextFileA(h, &fd));
            FindClose(h);
        }
        RemoveDirectoryA(path_.c_str());
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }

private:
    static inline int counter_ = 0;
    std::string path_;
};

inline bool FileExists(const std::string& p) {
    return GetFileAttributesA(p.c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline std::string ReadFile(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline void WriteFile(const std::string& p, const std::string& content) {
    std::ofstream(p, std::ios::binary) << content;
}

// Waits up to `limit` for a file to appear.
inline bool WaitForFile(const std::string& p, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (FileExists(p)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return FileExists(p);
}

// "key=value" lines into a map (the last value of a repeated key wins).
inline std::map<std::string, std::string> ParseLines(const std::string& text) {
    std::map<std::string, std::string> out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        auto eq = line.find('=');
        if (eq != std::string::npos) out[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return out;
}

}  // namespace qv::actions::testing
