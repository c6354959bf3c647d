// Text between the system code page and UTF-8 on disk: every 8-bit text comes
// back byte for byte, any stored bytes convert without harm, and UTF-16 (lone
// surrogates too) survives the way through UTF-8.
#include "engine/Table.h"
#include "engine/Utf8.h"
#include "fuzz/FuzzSupport.h"

using namespace qv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const engine::TextCodec& codec = engine::Windows1252Codec();

    const std::string stored = codec.ToStorage(bytes);
    fuzz::Check(codec.FromStorage(stored) == bytes, "8-bit text changed on its way through storage");
    fuzz::Check(Utf16ToUtf8(Utf8ToUtf16(stored)) == stored, "stored text is no clean UTF-8");

    // Stored bytes that another program wrote: anything at all.
    fuzz::Check(codec.FromStorage(bytes).size() <= bytes.size(), "a stored text grew");
    Utf8ToUtf16(bytes);

    std::u16string wide;
    for (size_t i = 0; i + 1 < size; i += 2) wide += static_cast<char16_t>(data[i] | data[i + 1] << 8);
    fuzz::Check(Utf8ToUtf16(Utf16ToUtf8(wide)) == wide, "UTF-16 changed on its way through UTF-8");
    return 0;
}
