#include "ui/settings/IniFile.h"

#include <cctype>
#include <cstdio>
#include <memory>

#include "engine/Platform.h"
#include "engine/Text.h"

namespace qv {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

bool IsEmptyOrComment(const std::string& text) {
    const std::string t = Trim(text);
    return t.empty() || t[0] == ';';
}

std::vector<IniLine> SplitLines(const std::string& data) {
    std::vector<IniLine> lines;
    size_t pos = 0;
    while (pos < data.size()) {
        size_t nl = data.find('\n', pos);
        IniLine line;
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

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

bool IniSectionHeader(const std::string& text, std::string* name) {
    const std::string t = Trim(text);
    if (t.empty() || t[0] != '[') return false;
    const size_t close = t.find(']');
    if (close == std::string::npos) return false;
    *name = Trim(t.substr(1, close - 1));
    return true;
}

bool IniKeyLine(const std::string& text, std::string* key, std::string* value) {
    if (IsEmptyOrComment(text)) return false;
    const std::string t = Trim(text);
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

std::string IniWriteRefusedText(const std::string& path) {
    return "nach " + path + " kann nicht geschrieben werden";
}

std::string IniReadRefusedText(const std::string& path) {
    return path + " kann nicht gelesen werden";
}

IniFile IniFile::FromSections(const std::vector<IniSection>& sections) {
    std::vector<IniLine> lines;
    for (const auto& s : sections) {
        lines.push_back(IniLine{"[" + s.name + "]", "\r\n"});
        for (const auto& text : s.lines) lines.push_back(IniLine{text, "\r\n"});
        lines.push_back(IniLine{"", "\r\n"});
    }
    return IniFile(std::move(lines));
}

bool IniFile::Load(const std::string& path) {
    lines_.clear();
    File f(std::fopen(path.c_str(), "rb"));
    if (!f) return false;
    std::string data;
    char buf[8192];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f.get())) > 0) data.append(buf, n);
    if (std::ferror(f.get())) return false;
    lines_ = SplitLines(data);
    return true;
}

bool IniFile::Save(const std::string& path) const {
    std::string data;
    for (const IniLine& l : lines_) data += l.text + l.end;
    // The new content goes to a file beside it first and then takes the old
    // file's place, so a write that fails half-way leaves the old file whole.
    const std::string temp = path + ".tmp";
    std::FILE* raw = std::fopen(temp.c_str(), "wb");
    if (!raw) return false;
    const bool written = std::fwrite(data.data(), 1, data.size(), raw) == data.size();
    const bool closed = std::fclose(raw) == 0;
    if (written && closed && engine::platform::MoveReplace(temp, path)) return true;
    engine::platform::RemoveFile(temp);
    return false;
}

bool IniFile::Unreadable(const std::string& path) {
    IniFile probe;
    return !probe.Load(path) && engine::platform::FileExists(path);
}

bool IniFile::Value(const std::string& section, const std::string& key, std::string* value) const {
    bool inSection = false;
    for (const IniLine& line : lines_) {
        std::string name, k, v;
        if (IniSectionHeader(line.text, &name)) {
            if (inSection) return false;  // only the first section of that name counts
            inSection = SameName(name, section);
        } else if (inSection && IniKeyLine(line.text, &k, &v) && SameName(k, key)) {
            *value = v;
            return true;
        }
    }
    return false;
}

void IniFile::Set(const std::string& section, const std::string& key, const std::string& value) {
    const std::string keyLine = key + "=" + value;

    // Find the section, the key in it and the last non-empty line of it.
    long sectionAt = -1, keyAt = -1, lastInSection = -1;
    for (size_t i = 0; i < lines_.size(); ++i) {
        std::string name, k;
        if (IniSectionHeader(lines_[i].text, &name)) {
            if (sectionAt >= 0) break;
            if (SameName(name, section)) sectionAt = lastInSection = static_cast<long>(i);
            continue;
        }
        if (sectionAt < 0) continue;
        if (!Trim(lines_[i].text).empty()) lastInSection = static_cast<long>(i);
        if (keyAt < 0 && IniKeyLine(lines_[i].text, &k, nullptr) && SameName(k, key))
            keyAt = static_cast<long>(i);
    }

    auto ensureEnd = [](IniLine& l) {
        if (l.end.empty()) l.end = "\r\n";
    };
    if (keyAt >= 0) {
        lines_[static_cast<size_t>(keyAt)].text = keyLine;
    } else if (sectionAt >= 0) {
        ensureEnd(lines_[static_cast<size_t>(lastInSection)]);
        lines_.insert(lines_.begin() + lastInSection + 1, IniLine{keyLine, "\r\n"});
    } else {
        if (!lines_.empty()) ensureEnd(lines_.back());
        lines_.push_back(IniLine{"[" + section + "]", "\r\n"});
        lines_.push_back(IniLine{keyLine, "\r\n"});
    }
}

std::vector<IniSection> IniFile::Sections() const {
    std::vector<IniSection> sections;
    for (const IniLine& line : lines_) {
        std::string name;
        if (IniSectionHeader(line.text, &name)) {
            sections.push_back(IniSection{name, {}});
        } else if (!sections.empty() && !IsEmptyOrComment(line.text)) {
            sections.back().lines.push_back(line.text);
        }
    }
    return sections;
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

}  // namespace qv
