// The settings file through the Windows profile functions.
#pragma once

#include "ui/settings/Settings.h"

namespace qv {

// GetPrivateProfileStringA / WritePrivateProfileStringA on the file named by
// its full path.
class Win32Profile final : public ProfileStore {
public:
    explicit Win32Profile(std::string path) : path_(std::move(path)) {}
    std::string Read(const std::string& section, const std::string& key,
                     const std::string& def) const override;
    bool Write(const std::string& section, const std::string& key,
               const std::string& value) override;
    const std::string& path() const override { return path_; }

private:
    std::string path_;
};

}  // namespace qv
