#include "engine/Utf8.h"

namespace qv {

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

char32_t NextUtf8(const std::string& s, size_t& i) {
    const unsigned char b0 = static_cast<unsigned char>(s[i]);
    const int extra = b0 >= 0xF0 && b0 < 0xF5   ? 3
                      : b0 >= 0xE0 && b0 < 0xF0 ? 2
                      : b0 >= 0xC2 && b0 < 0xE0 ? 1
                                                : 0;
    if (extra == 0 || i + static_cast<size_t>(extra) >= s.size()) {
        ++i;
        return b0;
    }
    char32_t c = b0 & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
        const unsigned char b = static_cast<unsigned char>(s[i + static_cast<size_t>(k)]);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return b0;
        }
        c = (c << 6) | (b & 0x3F);
    }
    i += static_cast<size_t>(extra) + 1;
    return c;
}

std::u16string Utf8ToUtf16(const std::string& s) {
    std::u16string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        const char32_t c = NextUtf8(s, i);
        if (c < 0x10000) {
            out += static_cast<char16_t>(c);
        } else if (c > 0x10FFFF) {
            out += u'\uFFFD';
        } else {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
    }
    return out;
}

std::string Utf16ToUtf8(const std::u16string& s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        char32_t c = s[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        }
        AppendUtf8(out, c);
    }
    return out;
}

}  // namespace qv
