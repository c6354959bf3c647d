// A fresh directory per test, removed afterwards; path() ends with a separator.
#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace qv::testing {

class TempDir {
public:
    TempDir() {
        static std::atomic<int> counter{0};
        namespace fs = std::filesystem;
        dir_ = fs::temp_directory_path() /
               ("qv-jobs-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) +
                "-" + std::to_string(counter++));
        fs::create_directories(dir_);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string path() const {
        return dir_.string() + static_cast<char>(std::filesystem::path::preferred_separator);
    }

private:
    std::filesystem::path dir_;
};

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& path, const std::string& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << data;
}

inline bool Exists(const std::string& path) { return std::filesystem::exists(path); }

}  // namespace qv::testing
