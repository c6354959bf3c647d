// The settings file Quarvelin.ini beside the executable: the four options of
// section "App", read once at start-up and written by the change handlers of
// their controls, each write a separate open, write and close of the file.
#pragma once

#include <stdexcept>
#include <string>
#include <utility>

#include "ui/settings/IniFile.h"

namespace qv {

constexpr const char* kSettingsFileName = "Quarvelin.ini";
constexpr const char* kSettingsSection = "App";

// The settings file's full path: the executable's directory (with its trailing
// separator) followed by the file name. Never the current directory.
std::string SettingsFilePath(const std::string& exeDir);

// Start-up, before anything reads the settings file: a file at path that is
// no text (binary garbage, as a broken disk or a wrong copy leaves) is put
// aside under a backup name that replaces no earlier one ("<path>.bak",
// "<path>.2.bak", ...), so the program starts with its defaults and writes a
// fresh file. Returns what the user is told; empty when the file is text or
// missing. A file in UTF-16 (which the system's profile functions read) is
// text.
std::string SetAsideSettingsThatAreNoText(const std::string& path);

// One INI file, named by its full path. Section and key names match without
// regard to letter case.
class ProfileStore {
public:
    explicit ProfileStore(std::string path) : path_(std::move(path)) {}
    virtual ~ProfileStore() = default;
    // The key's value, whatever its length (the system's profile functions:
    // up to 32766 characters); def when the file, the section or the key is
    // missing. A key with an empty value reads as the empty
    // text, not as def.
    virtual std::string Read(const std::string& section, const std::string& key,
                             const std::string& def) const = 0;
    // Writes key=value into section; false when the system refuses the write,
    // in which case the file keeps its old content.
    virtual bool Write(const std::string& section, const std::string& key,
                       const std::string& value) = 0;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// The INI format in portable code (IniFile): lines end in CR LF; writing one
// key changes only that key's line (other lines keep their bytes); a new key
// goes after the last line of its section, a new section at the end of the
// file, and a missing file is created.
class IniFileProfile final : public ProfileStore {
public:
    using ProfileStore::ProfileStore;
    std::string Read(const std::string& section, const std::string& key,
                     const std::string& def) const override;
    bool Write(const std::string& section, const std::string& key,
               const std::string& value) override;
};

// A write the system refused. The text names the file; the main window shows
// it in its general error box.
class SettingsWriteError : public std::runtime_error {
public:
    explicit SettingsWriteError(const std::string& path);
};

struct SettingsValues {
    bool minimized = false;
    bool aktiviert = false;
    bool mail = true;
    std::string mailadresse;
};

// The check boxes and the mail field of the main window as start-up fills
// them. Setters only show the value; they do not write anything.
class SettingsControls {
public:
    virtual ~SettingsControls() = default;
    virtual void SetMinimized(bool checked) = 0;   // chkminimized
    virtual void SetAktiviert(bool checked) = 0;   // chkAktiviert
    virtual void SetMail(bool checked) = 0;        // chkMail
    virtual void SetMailAddress(const std::string& text) = 0;  // edMail
};

class Settings {
public:
    explicit Settings(ProfileStore& store) : store_(store) {}

    // "fehlerhinweis" (default true): a failure shows a balloon at the tray
    // icon. Set by hand only; the program reads it, never writes it.
    bool FailureBalloon() const;

    // The change handlers: each writes its one key. A refused write raises
    // SettingsWriteError; the control keeps its new state.
    void chkminimizedClick(bool checked);
    void chkAktiviertClick(bool checked);
    void chkMailClick(bool checked);
    void edMailChange(const std::string& text);

    // Start-up: reads "minimized", "aktiviert", "mail" and "mailadresse" in
    // this order into controls that start cleared and empty. A value that
    // differs from that cleared state is a change and is written back through
    // its handler, so a first start leaves exactly [App] mail=1.
    //
    // A refused write-back does not stop the reading: every control still
    // gets its value, and the text of the first refused write is returned
    // (empty when all writes succeeded) for the window to show.
    std::string ReadIntoControls(SettingsControls& controls);

private:
    void WriteKey(const char* key, const std::string& value);
    ProfileStore& store_;
};

}  // namespace qv
