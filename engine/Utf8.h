// UTF-8 converted by the program itself: Windows 95 cannot convert UTF-8
// (its MultiByteToWideChar and WideCharToMultiByte know no CP_UTF8). A byte
// that is not part of valid UTF-8 reads as the character of its own value, so
// text that never was UTF-8 keeps its bytes; a lone UTF-16 surrogate is
// written as if it were a character, so it survives a round trip too.
#pragma once

#include <string>

namespace qv {

void AppendUtf8(std::string& out, char32_t c);
// Decodes the sequence at i and moves i past it.
char32_t NextUtf8(const std::string& s, size_t& i);

std::u16string Utf8ToUtf16(const std::string& s);
std::string Utf16ToUtf8(const std::u16string& s);

}  // namespace qv
