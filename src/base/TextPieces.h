#pragma once
// Bounded line reads: every text file of the program is read in pieces of a
// fixed maximum length, so an over-long physical line becomes several lines.

#include <istream>
#include <string>
#include <vector>

namespace zar {

// Reads a text stream piece by piece like a bounded text-mode line read: at
// most `bound` characters, a piece ending after its line end (LF or CR LF),
// which is removed. A piece that fills the bound right before its line end
// leaves that line end to the next read, which gives an empty piece. A NUL
// byte ends the piece's text (the rest of that piece is dropped).
class TextPieceReader {
 public:
  explicit TextPieceReader(std::istream& in) : in_(in) {}
  // False at the end of the stream.
  bool next(size_t bound, std::string& piece);

 private:
  std::istream& in_;
};

// The lines as a text file holds them: each one followed by CR LF.
std::string joinLinesCrLf(const std::vector<std::string>& lines);

}  // namespace zar
