// Text conversion between the program's 8-bit strings and UTF-8 on disk.
#include "engine/Platform.h"
#include "engine/Table.h"
#include "engine/Utf8.h"

namespace qv::engine {

namespace {

// Windows-1252 0x80..0x9F; the five unassigned bytes map to the C1 controls of
// the same value, as Windows itself does, so every byte survives a round trip.
const char32_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

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
    std::string ToStorage(const std::string& text) const override { return platform::AnsiToUtf8(text); }
    std::string FromStorage(const std::string& stored) const override { return platform::Utf8ToAnsi(stored); }
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
