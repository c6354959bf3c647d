// The settings file through the Windows profile functions.
#pragma once

#include "ui/settings/Settings.h"

namespace qv {

// GetPrivateProfileStringA / WritePrivateProfileStringA on the file named by
// its full path.
class Win32Profile final : public ProfileStore {
public:
    using ProfileStore::ProfileStore;
    std::string Read(const std::string& section, const std::string& key,
                     const std::string& def) const override;
    bool Write(const std::string& section, const std::string& key,
               const std::string& value) override;
    // Writes what the system may still keep in its profile cache (Windows
    // 95/98) to the file, before the file is written by other means.
    void Flush() const;
};

}  // namespace qv
