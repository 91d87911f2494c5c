#include "ui/Encoding.h"

#include <iconv.h>

#include <cerrno>

namespace zar {
namespace {

std::string convert(std::string_view input, const char* to, const char* from) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(input);
  std::string out;
  out.reserve(input.size() * 2);
  char* in = const_cast<char*>(input.data());
  size_t inLeft = input.size();
  char buffer[1024];
  while (inLeft > 0) {
    char* outPtr = buffer;
    size_t outLeft = sizeof buffer;
    const size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    out.append(buffer, static_cast<size_t>(outPtr - buffer));
    if (rc == static_cast<size_t>(-1)) {
      if (errno == E2BIG) continue;
      // Invalid or incomplete sequence: mark it and skip one byte.
      out += '?';
      ++in;
      --inLeft;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  iconv_close(cd);
  return out;
}

}  // namespace

std::string eightBitCodepageFor(int language) { return language == 0 ? "BIG5" : "CP1252"; }

std::string toUtf8(std::string_view text, int language) {
  bool ascii = true;
  for (unsigned char c : text) ascii = ascii && c < 0x80;
  if (ascii) return std::string(text);
  return convert(text, "UTF-8", eightBitCodepageFor(language).c_str());
}

std::string fromUtf8(std::string_view utf8, int language) {
  bool ascii = true;
  for (unsigned char c : utf8) ascii = ascii && c < 0x80;
  if (ascii) return std::string(utf8);
  return convert(utf8, eightBitCodepageFor(language).c_str(), "UTF-8");
}

}  // namespace zar
