#include "ui/settings/Settings.h"

#include <cstdio>

#include "engine/Platform.h"
#include "engine/Table.h"

namespace qv {

std::string SettingsFilePath(const std::string& exeDir) { return exeDir + kSettingsFileName; }

namespace {

// Bytes no text file holds: NUL and the control characters but tab, line
// ends, form feed and the old end-of-file mark.
bool LooksLikeText(const std::string& bytes) {
    if (bytes.size() >= 2 && ((bytes[0] == '\xff' && bytes[1] == '\xfe') || (bytes[0] == '\xfe' && bytes[1] == '\xff')))
        return true;
    for (unsigned char c : bytes)
        if (c < 0x20 && c != '\t' && c != '\r' && c != '\n' && c != '\f' && c != 0x1a) return false;
    return true;
}

}  // namespace

std::string SetAsideSettingsThatAreNoText(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return {};
    std::string bytes;
    char buf[8192];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.append(buf, n);
    std::fclose(f);
    if (LooksLikeText(bytes)) return {};
    const std::string backup = engine::FreeBackupPath(path);
    const std::string what = "Die Einstellungsdatei " + path + " enth\xe4lt keinen Text";
    if (backup.empty() || !engine::platform::MoveNoReplace(path, backup))
        return what + " und konnte nicht beiseitegelegt werden. Quarvelin startet mit den Grundeinstellungen.";
    return what + ". Quarvelin hat sie durch eine neue mit den Grundeinstellungen ersetzt; die alte Datei liegt als " +
           backup + " vor.";
}

std::string IniFileProfile::Read(const std::string& section, const std::string& key,
                                 const std::string& def) const {
    IniFile file;
    std::string value;
    if (!file.Load(path()) || !file.Value(section, key, &value)) return def;
    return value;
}

bool IniFileProfile::Write(const std::string& section, const std::string& key,
                           const std::string& value) {
    IniFile file;
    file.Load(path());  // a missing file is created
    file.Set(section, key, value);
    return file.Save(path());
}

SettingsWriteError::SettingsWriteError(const std::string& path)
    : std::runtime_error(IniWriteRefusedText(path)) {}

bool Settings::FailureBalloon() const {
    return ParseProfileBool(store_.Read(kSettingsSection, "fehlerhinweis", ""), true);
}

void Settings::WriteKey(const char* key, const std::string& value) {
    if (!store_.Write(kSettingsSection, key, value)) throw SettingsWriteError(store_.path());
}

void Settings::chkminimizedClick(bool checked) { WriteKey("minimized", checked ? "1" : "0"); }
void Settings::chkAktiviertClick(bool checked) { WriteKey("aktiviert", checked ? "1" : "0"); }
void Settings::chkMailClick(bool checked) { WriteKey("mail", checked ? "1" : "0"); }
void Settings::edMailChange(const std::string& text) { WriteKey("mailadresse", text); }

std::string Settings::ReadIntoControls(SettingsControls& controls) {
    std::string firstError;
    auto handler = [&](auto&& write) {
        try {
            write();
        } catch (const SettingsWriteError& e) {
            if (firstError.empty()) firstError = e.what();
        }
    };
    // Each key is read just before its control is set, in the start-up order.
    const bool minimized = ParseProfileBool(store_.Read(kSettingsSection, "minimized", ""), false);
    controls.SetMinimized(minimized);
    if (minimized) handler([&] { chkminimizedClick(true); });

    const bool aktiviert = ParseProfileBool(store_.Read(kSettingsSection, "aktiviert", ""), false);
    controls.SetAktiviert(aktiviert);
    if (aktiviert) handler([&] { chkAktiviertClick(true); });

    const bool mail = ParseProfileBool(store_.Read(kSettingsSection, "mail", ""), true);
    controls.SetMail(mail);
    if (mail) handler([&] { chkMailClick(true); });

    const std::string address = store_.Read(kSettingsSection, "mailadresse", "");
    controls.SetMailAddress(address);
    if (!address.empty()) handler([&] { edMailChange(address); });
    return firstError;
}

}  // namespace qv
