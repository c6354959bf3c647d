// The INI text format of the settings file, shared by the options and the grid
// layout kept in it: how lines split into section headers, key lines and
// comments, how a key is looked up and changed, and how the file is read and
// written as a whole. Section and key names match without regard to letter
// case. The lookup follows the Windows profile functions, so the layout and
// the options read one file the same way.
#pragma once

#include <string>
#include <vector>

namespace qv {

// One line of the file: its text without the line end, and the line end as
// it was ("\r\n", "\n" or nothing for a last line without one).
struct IniLine {
    std::string text;
    std::string end;
};

// A section as the grid layout keeps it: its name and its lines as they stand,
// without comment lines (";") and empty lines.
struct IniSection {
    std::string name;
    std::vector<std::string> lines;
};

// The name of a section header "[name]" (blanks around the line and the name
// ignored, anything after "]" too), or false.
bool IniSectionHeader(const std::string& text, std::string* name);
// Key and value of a key line "key=value" (blanks around both ignored, one
// pair of matching quotes around the value dropped), or false for comments
// and lines without "=". value may be null.
bool IniKeyLine(const std::string& text, std::string* key, std::string* value);

// The text of a write the system refused, naming the file.
std::string IniWriteRefusedText(const std::string& path);
// The text of a file that is there but cannot be read.
std::string IniReadRefusedText(const std::string& path);

class IniFile {
public:
    IniFile() = default;
    explicit IniFile(std::vector<IniLine> lines) : lines_(std::move(lines)) {}
    // The sections in this order, each line ending in CR LF and each section
    // followed by one empty line.
    static IniFile FromSections(const std::vector<IniSection>& sections);

    // The file at path; false (and no lines) when it cannot be read, as when
    // it is missing.
    bool Load(const std::string& path);
    // Writes the lines as the file's whole new content, by a temporary file
    // beside it that then replaces the file; false when the system refuses,
    // and the old file is left as it was. Every INI write goes through here.
    bool Save(const std::string& path) const;
    // True when a file is there but cannot be read: rewriting it from what
    // Load gave would lose its content.
    static bool Unreadable(const std::string& path);

    // The value of key in the first section of that name; false when the
    // section or the key is missing there.
    bool Value(const std::string& section, const std::string& key, std::string* value) const;
    // Sets key=value in the first section of that name, changing only that
    // key's line. A new key goes after the last non-empty line of the section,
    // a new section at the end.
    void Set(const std::string& section, const std::string& key, const std::string& value);

    // The sections in file order; lines before the first header are dropped.
    std::vector<IniSection> Sections() const;

    const std::vector<IniLine>& lines() const { return lines_; }

private:
    std::vector<IniLine> lines_;
};

// A whole number as the INI readers take it: optional sign, then decimal
// digits, or hexadecimal digits after "0x", "0X" or "$". The whole text must
// be the number (no blanks, no trailing characters) and fit in 32 bits
// (hexadecimal up to FFFFFFFF, read as its two's complement); otherwise it is
// no number.
bool ParseProfileInt(const std::string& text, long long* value);
// A boolean setting: any number but zero is true, zero false; anything that is
// no number (the empty text included) gives def.
bool ParseProfileBool(const std::string& text, bool def);

}  // namespace qv
