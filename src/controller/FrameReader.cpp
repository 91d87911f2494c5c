#include "controller/FrameReader.h"

#include "link/Frames.h"

namespace zar::controller {

std::optional<Frame> FrameReader::push(char byte) {
  if (buffer_.empty() && !overflow_) stx_ = byte == frames::STX;
  const bool end = byte == frames::LF || (stx_ && byte == frames::ETX);
  if (buffer_.size() < kMaxFrame) {
    buffer_ += byte;
  } else {
    overflow_ = true;
  }
  if (!end) return std::nullopt;
  Frame frame{std::move(buffer_), stx_ && byte == frames::ETX, overflow_};
  reset();
  return frame;
}

void FrameReader::reset() {
  buffer_.clear();
  stx_ = false;
  overflow_ = false;
}

}  // namespace zar::controller
