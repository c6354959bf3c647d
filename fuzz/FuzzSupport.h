// Shared by the fuzz targets: the entry point libFuzzer calls, a check that
// stops the run with a message the fuzzer keeps, a reader that takes fixed-size
// values off the front of an input, and a scratch directory for targets that
// feed files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace qv::fuzz {

// A broken property is a crash as far as the fuzzer is concerned.
inline void Check(bool ok, const char* what, const std::string& detail = {}) {
    if (ok) return;
    std::fprintf(stderr, "fuzz check failed: %s %s\n", what, detail.c_str());
    std::abort();
}

class Reader {
public:
    Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    // Missing bytes read as zero.
    uint64_t Take(size_t bytes) {
        uint64_t v = 0;
        for (size_t i = 0; i < bytes; ++i) v |= static_cast<uint64_t>(pos_ < size_ ? data_[pos_++] : 0) << (8 * i);
        return v;
    }
    std::string Rest() {
        std::string s(reinterpret_cast<const char*>(data_) + pos_, size_ - pos_);
        pos_ = size_;
        return s;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

// One directory per process, removed at exit; path() ends with a separator.
class ScratchDir {
public:
    explicit ScratchDir(const std::string& name) {
        namespace fs = std::filesystem;
        dir_ = fs::temp_directory_path() / ("qv-fuzz-" + name + "-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    std::string path() const { return dir_.string() + "/"; }
    // Every file in it removed, the directory kept.
    void Clear() const {
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(dir_, ec)) std::filesystem::remove_all(e.path(), ec);
    }

private:
    std::filesystem::path dir_;
};

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const void* data, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
}

}  // namespace qv::fuzz
