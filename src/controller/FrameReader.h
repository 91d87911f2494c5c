#pragma once
// Cuts the byte stream from the PC into frames, one byte at a time, so that
// frames sent whole and frames sent byte by byte with pauses read the same.
//
// A frame is either a line (everything up to and including LF: "$L\r\n", the
// ACK frame, slot, name, program line and parameter frames) or, when STX
// opens it at the start of a frame, an STX frame up to and including ETX
// (commands and PLC records). An LF inside an STX frame ends it as a line, so
// a lost ETX costs one frame, not the rest of the dialogue. Frames longer
// than kMaxFrame are cut and marked as overflowing; the rest up to the
// terminator is swallowed.

#include <cstddef>
#include <optional>
#include <string>

namespace zar::controller {

struct Frame {
  std::string bytes;      // terminator included
  bool stx = false;       // STX ... ETX
  bool overflow = false;  // longer than kMaxFrame; bytes holds its beginning
};

class FrameReader {
 public:
  static constexpr size_t kMaxFrame = 4096;

  // Feeds one byte; returns a frame when the byte completes one.
  std::optional<Frame> push(char byte);
  // Drops a partly received frame.
  void reset();
  bool midFrame() const { return !buffer_.empty() || overflow_; }

 private:
  std::string buffer_;
  bool stx_ = false;
  bool overflow_ = false;
};

}  // namespace zar::controller
