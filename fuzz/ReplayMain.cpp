// Runs a fuzz target over files instead of fuzzing: each argument is a file or
// a directory of files (its corpus, its regressions). Built with any compiler,
// so the tests replay every input the fuzzer ever kept or tripped over.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/FuzzSupport.h"

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i) {
        const fs::path arg(argv[i]);
        if (fs::is_directory(arg)) {
            std::vector<fs::path> inDir;
            for (const auto& e : fs::directory_iterator(arg))
                if (e.is_regular_file()) inDir.push_back(e.path());
            std::sort(inDir.begin(), inDir.end());
            if (inDir.empty()) std::fprintf(stderr, "replay: %s holds no file\n", argv[i]);
            files.insert(files.end(), inDir.begin(), inDir.end());
        } else if (fs::is_regular_file(arg)) {
            files.push_back(arg);
        } else {
            std::fprintf(stderr, "replay: %s is missing\n", argv[i]);
            return 2;
        }
    }
    if (files.empty()) return 2;
    for (const auto& f : files) {
        const std::string bytes = qv::fuzz::ReadBytes(f.string());
        std::fprintf(stderr, "replay: %s (%zu bytes)\n", f.string().c_str(), bytes.size());
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
    std::printf("replay: %zu inputs, none failed\n", files.size());
    return 0;
}
