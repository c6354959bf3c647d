#include "engine/Text.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

namespace qv {

namespace {

char LowerChar(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::string Lower(std::string s) {
    for (char& c : s) c = LowerChar(c);
    return s;
}

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (LowerChar(a[i]) != LowerChar(b[i])) return false;
    return true;
}

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

bool ParseInt(const std::string& text, int64_t* out) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || end == text.c_str() || *end != '\0') return false;
    *out = v;
    return true;
}

}  // namespace qv
