#include "base/TextPieces.h"

namespace zar {

bool TextPieceReader::next(size_t bound, std::string& piece) {
  piece.clear();
  std::streambuf* buf = in_.rdbuf();
  using Traits = std::streambuf::traits_type;
  if (!buf || Traits::eq_int_type(buf->sgetc(), Traits::eof())) return false;
  if (bound == 0) bound = 1;
  while (piece.size() < bound) {
    const auto c = buf->sbumpc();
    if (Traits::eq_int_type(c, Traits::eof())) break;
    const char ch = Traits::to_char_type(c);
    if (ch == '\n') break;
    if (ch == '\r' && Traits::eq_int_type(buf->sgetc(), Traits::to_int_type('\n'))) {
      buf->sbumpc();
      break;
    }
    piece += ch;
  }
  const size_t nul = piece.find('\0');
  if (nul != std::string::npos) piece.resize(nul);
  return true;
}

std::string joinLinesCrLf(const std::vector<std::string>& lines) {
  size_t size = 0;
  for (const std::string& line : lines) size += line.size() + 2;
  std::string text;
  text.reserve(size);
  for (const std::string& line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

}  // namespace zar
