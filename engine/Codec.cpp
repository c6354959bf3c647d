// Text conversion between the program's 8-bit strings and UTF-8 on disk.
#include "engine/Table.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace qv::engine {

namespace {

// Windows-1252 0x80..0x9F; the five unassigned bytes map to the C1 controls of
// the same value, as Windows itself does, so every byte survives a round trip.
const char32_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

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

// Decodes one UTF-8 sequence at i; an invalid byte decodes as itself (so text
// that was never UTF-8 still reads back as its own bytes).
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

class Cp1252Codec final : public TextCodec {
public:
    std::string ToStorage(const std::string& text) const override {
        std::string out;
        out.reserve(text.size());
        for (char ch : text) {
            const unsigned char b = static_cast<unsigned char>(ch);
            if (b < 0x80)
                out += ch;
            else if (b < 0xA0)
                AppendUtf8(out, kCp1252High[b - 0x80]);
            else
                AppendUtf8(out, b);
        }
        return out;
    }
    std::string FromStorage(const std::string& stored) const override {
        std::string out;
        out.reserve(stored.size());
        size_t i = 0;
        while (i < stored.size()) {
            const char32_t c = NextUtf8(stored, i);
            if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
                out += static_cast<char>(c);
                continue;
            }
            char mapped = '?';
            for (int k = 0; k < 32; ++k)
                if (kCp1252High[k] == c) mapped = static_cast<char>(0x80 + k);
            out += mapped;
        }
        return out;
    }
};

#ifdef _WIN32
class AnsiCodec final : public TextCodec {
public:
    std::string ToStorage(const std::string& text) const override {
        return Convert(text, CP_ACP, CP_UTF8);
    }
    std::string FromStorage(const std::string& stored) const override {
        return Convert(stored, CP_UTF8, CP_ACP);
    }

private:
    static std::string Convert(const std::string& s, UINT from, UINT to) {
        if (s.empty()) return {};
        int n = MultiByteToWideChar(from, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
        if (n <= 0) return s;
        std::wstring w(static_cast<size_t>(n), L'\0');
        MultiByteToWideChar(from, 0, s.data(), static_cast<int>(s.size()), &w[0], n);
        int m = WideCharToMultiByte(to, 0, w.data(), n, nullptr, 0, nullptr, nullptr);
        if (m <= 0) return s;
        std::string out(static_cast<size_t>(m), '\0');
        WideCharToMultiByte(to, 0, w.data(), n, &out[0], m, nullptr, nullptr);
        return out;
    }
};
#endif

}  // namespace

const TextCodec& Windows1252Codec() {
    static const Cp1252Codec codec;
    return codec;
}

const TextCodec& PlatformCodec() {
#ifdef _WIN32
    static const AnsiCodec codec;
    return codec;
#else
    return Windows1252Codec();
#endif
}

}  // namespace qv::engine
