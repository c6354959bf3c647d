// Scratch files for the settings and layout tests, and start-up's reading.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "ui/settings/Settings.h"

namespace qv::test {

// Records what start-up shows in the controls.
struct FakeControls : SettingsControls {
    std::vector<std::string> calls;
    SettingsValues shown;
    void SetMinimized(bool c) override { shown.minimized = c; calls.push_back("minimized"); }
    void SetAktiviert(bool c) override { shown.aktiviert = c; calls.push_back("aktiviert"); }
    void SetMail(bool c) override { shown.mail = c; calls.push_back("mail"); }
    void SetMailAddress(const std::string& t) override { shown.mailadresse = t; calls.push_back("mailadresse"); }
};

// What a start with this settings file shows (and writes back).
inline SettingsValues ShownAtStart(Settings& settings) {
    FakeControls controls;
    settings.ReadIntoControls(controls);
    return controls.shown;
}

// A fresh directory, removed again at the end of the test. dir() ends in the
// platform's separator, like the executable's directory the program passes.
class SettingsDir {
public:
    SettingsDir() {
        std::random_device rd;
        path_ = std::filesystem::temp_directory_path() /
                ("qv_settings_" + std::to_string(rd()) + "_" + std::to_string(rd()));
        std::filesystem::create_directories(path_);
    }
    ~SettingsDir() {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path_, ec);
    }
    SettingsDir(const SettingsDir&) = delete;
    SettingsDir& operator=(const SettingsDir&) = delete;
    std::string dir() const { return path_.string() + static_cast<char>(std::filesystem::path::preferred_separator); }
    std::string File(const std::string& name) const { return dir() + name; }

private:
    std::filesystem::path path_;
};

inline std::string ReadBytes(const std::string& path) {
    std::string data;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data.append(buf, n);
        std::fclose(f);
    }
    return data;
}

inline void WriteBytes(const std::string& path, const std::string& data) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    std::fwrite(data.data(), 1, data.size(), f);
    std::fclose(f);
}

}  // namespace qv::test
