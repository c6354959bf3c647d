#include "ui/settings/Settings.h"

#include <cctype>
#include <cstdio>
#include <memory>
#include <vector>

namespace qv {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// The whole file; false when it cannot be opened (missing).
bool ReadWholeFile(const std::string& path, std::string* out) {
    File f(std::fopen(path.c_str(), "rb"));
    if (!f) return false;
    out->clear();
    char buf[8192];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f.get())) > 0) out->append(buf, n);
    return !std::ferror(f.get());
}

bool WriteWholeFile(const std::string& path, const std::string& data) {
    std::FILE* raw = std::fopen(path.c_str(), "wb");
    if (!raw) return false;
    const bool written = std::fwrite(data.data(), 1, data.size(), raw) == data.size();
    return std::fclose(raw) == 0 && written;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

// One line of the file: its text without the line end, and the line end as
// it was ("\r\n", "\n" or nothing for a last line without one).
struct Line {
    std::string text;
    std::string end;
};

std::vector<Line> SplitLines(const std::string& data) {
    std::vector<Line> lines;
    size_t pos = 0;
    while (pos < data.size()) {
        size_t nl = data.find('\n', pos);
        Line line;
        if (nl == std::string::npos) {
            line.text = data.substr(pos);
            pos = data.size();
        } else {
            line.text = data.substr(pos, nl - pos);
            line.end = "\n";
            pos = nl + 1;
        }
        if (!line.text.empty() && line.text.back() == '\r') {
            line.text.pop_back();
            line.end = "\r" + line.end;
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

// The section name of a header line "[name]", or false.
bool SectionHeader(const std::string& text, std::string* name) {
    const std::string t = Trim(text);
    if (t.empty() || t[0] != '[') return false;
    const size_t close = t.find(']');
    if (close == std::string::npos) return false;
    *name = Trim(t.substr(1, close - 1));
    return true;
}

// The key of a key line, or false for comments and lines without "=".
bool KeyLine(const std::string& text, std::string* key, std::string* value) {
    const std::string t = Trim(text);
    if (t.empty() || t[0] == ';') return false;
    const size_t eq = t.find('=');
    if (eq == std::string::npos) return false;
    *key = Trim(t.substr(0, eq));
    if (value) {
        std::string v = Trim(t.substr(eq + 1));
        if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
            v = v.substr(1, v.size() - 2);
        *value = v;
    }
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string SettingsFilePath(const std::string& exeDir) { return exeDir + kSettingsFileName; }

std::string IniFileProfile::Read(const std::string& section, const std::string& key,
                                 const std::string& def) const {
    std::string data;
    if (!ReadWholeFile(path_, &data)) return def;
    bool inSection = false;
    for (const Line& line : SplitLines(data)) {
        std::string name, k, v;
        if (SectionHeader(line.text, &name)) {
            inSection = SameName(name, section);
        } else if (inSection && KeyLine(line.text, &k, &v) && SameName(k, key)) {
            return v;
        }
    }
    return def;
}

bool IniFileProfile::Write(const std::string& section, const std::string& key,
                           const std::string& value) {
    std::string data;
    const bool exists = ReadWholeFile(path_, &data);
    std::vector<Line> lines = exists ? SplitLines(data) : std::vector<Line>{};
    const std::string keyLine = key + "=" + value;

    // Find the section, the key in it and the last non-empty line of it.
    long sectionAt = -1, keyAt = -1, lastInSection = -1;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string name, k;
        if (SectionHeader(lines[i].text, &name)) {
            if (sectionAt >= 0) break;
            if (SameName(name, section)) sectionAt = lastInSection = static_cast<long>(i);
            continue;
        }
        if (sectionAt < 0) continue;
        if (!Trim(lines[i].text).empty()) lastInSection = static_cast<long>(i);
        if (keyAt < 0 && KeyLine(lines[i].text, &k, nullptr) && SameName(k, key))
            keyAt = static_cast<long>(i);
    }

    auto ensureEnd = [](Line& l) {
        if (l.end.empty()) l.end = "\r\n";
    };
    if (keyAt >= 0) {
        lines[static_cast<size_t>(keyAt)].text = keyLine;
    } else if (sectionAt >= 0) {
        ensureEnd(lines[static_cast<size_t>(lastInSection)]);
        lines.insert(lines.begin() + lastInSection + 1, Line{keyLine, "\r\n"});
    } else {
        if (!lines.empty()) ensureEnd(lines.back());
        lines.push_back(Line{"[" + section + "]", "\r\n"});
        lines.push_back(Line{keyLine, "\r\n"});
    }

    std::string out;
    for (const Line& l : lines) out += l.text + l.end;
    return WriteWholeFile(path_, out);
}

bool ParseProfileInt(const std::string& text, long long* value) {
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    int base = 10;
    if (i < text.size() && text[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i == text.size()) return false;
    unsigned long long n = 0;
    // Decimal up to 2^31 (the magnitude of the smallest int), hexadecimal up to 2^32 - 1.
    const unsigned long long limit = base == 10 ? (negative ? 2147483648ULL : 2147483647ULL)
                                                : 0xFFFFFFFFULL;
    for (; i < text.size(); ++i) {
        const int d = base == 10 ? (std::isdigit(static_cast<unsigned char>(text[i])) ? text[i] - '0' : -1)
                                 : HexDigit(text[i]);
        if (d < 0) return false;
        n = n * static_cast<unsigned>(base) + static_cast<unsigned>(d);
        if (n > limit) return false;
    }
    long long v = static_cast<long long>(n);
    if (base == 16 && n > 0x7FFFFFFFULL) v -= 0x100000000LL;  // 32-bit two's complement
    *value = negative ? -v : v;
    return true;
}

bool ParseProfileBool(const std::string& text, bool def) {
    long long v = 0;
    if (!ParseProfileInt(text, &v)) return def;
    return v != 0;
}

SettingsWriteError::SettingsWriteError(const std::string& path)
    : std::runtime_error("nach " + path + " kann nicht geschrieben werden") {}

SettingsValues Settings::ReadAll() const {
    SettingsValues v;
    v.minimized = ParseProfileBool(store_.Read(kSettingsSection, "minimized", ""), false);
    v.aktiviert = ParseProfileBool(store_.Read(kSettingsSection, "aktiviert", ""), false);
    v.mail = ParseProfileBool(store_.Read(kSettingsSection, "mail", ""), true);
    v.mailadresse = store_.Read(kSettingsSection, "mailadresse", "");
    if (v.mailadresse.size() > kSettingsTextMax) v.mailadresse.resize(kSettingsTextMax);
    return v;
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

    std::string address = store_.Read(kSettingsSection, "mailadresse", "");
    if (address.size() > kSettingsTextMax) address.resize(kSettingsTextMax);
    controls.SetMailAddress(address);
    if (!address.empty()) handler([&] { edMailChange(address); });
    return firstError;
}

}  // namespace qv
