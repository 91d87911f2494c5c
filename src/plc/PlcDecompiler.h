#pragma once
// The PLC decompiler: reads an image file (hexadecimal text, line ends
// anywhere between digits), takes its presets and header block, and decodes
// each 6-byte instruction into one line of the PLC editor.

#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <vector>

#include "plc/PlcWorkspace.h"
#include "ui/MessageLog.h"

namespace zar::plc {

// Reads an image text in bounded pieces; any size of input is fine.
class PlcImageReader {
 public:
  explicit PlcImageReader(std::istream& in) : in_(in) {}

  // The next character, skipping line feeds and a carriage return before a
  // line feed; -1 at the end.
  int nextChar() {
    if (pos_ < buffer_.size()) {
      const char c = buffer_[pos_];
      if (c != '\n' && c != '\r') {
        ++pos_;
        return static_cast<unsigned char>(c);
      }
    }
    return nextCharSlow();
  }

 private:
  int nextCharSlow();
  int peekRaw();
  int getRaw();

  std::istream& in_;
  std::vector<char> buffer_;
  std::size_t pos_ = 0;
  bool eof_ = false;
};

// The next byte as two hex digits (0-9, A-F, a-f), line ends skipped; nothing
// when either character is not a hex digit or the text has ended.
std::optional<std::uint8_t> ReadPlcByte(PlcImageReader& reader);

// Text written after message 208 or 231, with the instruction's position.
std::string CommandNumberText(int instruction);

struct PlcDecompileResult {
  int message = 0;       // 232 when the whole image was read, else 172/173/174/208/231
  int instruction = 0;   // position of the failing instruction (208, 231)
  std::size_t lines = 0; // lines appended to the editor
  std::string openError; // why the file could not be opened (172)
  bool ok() const { return message == 232; }
};

// Decompiles the image file at `path` (a directory, FIFO or device is not
// opened: message 172, like a missing file): replaces the workspace's presets and
// header block with the image's, appends one PLC editor line per instruction
// (through the log's operator) and writes the closing message into the PLC
// page's message area.
PlcDecompileResult DecompilePlcImage(const std::string& path, PlcWorkspace& workspace,
                                     const MessageLog& log);
PlcDecompileResult DecompilePlcImage(std::istream& image, PlcWorkspace& workspace,
                                     const MessageLog& log);

}  // namespace zar::plc
