// Small text helpers shared by the table engine, the job rules and the
// settings: names compare without regard to case (ASCII letters only, the
// other bytes of the code page as they are), numbers are plain decimal.
#pragma once

#include <cstdint>
#include <string>

namespace qv {

// ASCII letters in lower case; every other byte unchanged.
std::string Lower(std::string s);

// Equal but for the case of ASCII letters.
bool SameName(const std::string& a, const std::string& b);

// Without leading and trailing blanks and tabs.
std::string Trim(const std::string& s);

// A decimal integer of 64 bits (optional sign, leading white space skipped);
// false, leaving *out alone, for empty text, anything after the digits or a
// value out of range.
bool ParseInt(const std::string& text, int64_t* out);

}  // namespace qv
