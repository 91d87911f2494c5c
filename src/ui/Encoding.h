#pragma once
// Conversion between the catalog's 8-bit texts and UTF-8 at the user-facing
// boundary (widgets, terminal). Language 0 (Chinese) texts are Big5; the
// others are Windows-1252. Unconvertible characters become '?'.

#include <string>
#include <string_view>

namespace zar {

std::string eightBitCodepageFor(int language);
std::string toUtf8(std::string_view text, int language);
std::string fromUtf8(std::string_view utf8, int language);

}  // namespace zar
