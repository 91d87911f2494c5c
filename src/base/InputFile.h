#pragma once
// The one way the program opens a file for reading.
//
// Only a regular file is read. A directory, FIFO, device or socket is refused
// with the reason before it is opened, so a FIFO never holds a reader (or
// the signals it waits for) and opening a terminal line changes nothing on
// it; the open itself is non-blocking in case the path changes meanwhile. A
// file larger than the bound is refused before a byte is read: no program of
// the controller comes anywhere near it, and reading it would only exhaust
// memory. Reasons are the system's ("No such file or directory", "Is a
// directory", "Permission denied") or say what the path is instead.
//
//   InputFile in;
//   std::string why;
//   if (!in.open(path, &why)) report(path + ": " + why);
//   TextPieceReader pieces(in.stream());       // read as a stream ...
//   if (in.failed()) report(path + ": " + in.error());

#include <cstdint>
#include <istream>
#include <memory>
#include <string>

namespace zar {

// Largest file any reader takes: 16 MiB. A controller's program memory is a
// small fraction of it (the virtual controller's slot holds 20000 lines), and
// a reader that keeps a whole program in memory as editor lines stays well
// below 64 MB of memory with it.
inline constexpr std::uint64_t kMaxInputFileBytes = std::uint64_t{16} << 20;

class InputFile {
 public:
  InputFile();
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Opens `path` (see above); false with *error set when it is refused.
  bool open(const std::string& path, std::string* error, std::uint64_t maxBytes = kMaxInputFileBytes);
  bool isOpen() const { return fd_ >= 0; }
  void close();

  // The content, read in blocks as it is consumed. A read error or a file
  // that grows past the bound while it is read ends the stream early;
  // failed() then tells.
  std::istream& stream();
  // The size when it was opened.
  std::uint64_t size() const { return size_; }
  bool failed() const;
  // Why reading stopped early ("" when it did not).
  std::string error() const;

 private:
  class Buffer;
  int fd_ = -1;
  std::uint64_t size_ = 0;
  std::unique_ptr<Buffer> buffer_;
  std::unique_ptr<std::istream> stream_;
};

// Reads a whole file through InputFile; false with *error set when it is
// refused or a read fails.
bool readInputFile(const std::string& path, std::string& content, std::string* error,
                   std::uint64_t maxBytes = kMaxInputFileBytes);

// Why a file of this type (st_mode) is not read or written as a file: ""
// for a regular file, else "Is a directory", "Is a FIFO, not a file", ...
std::string refusedFileType(unsigned mode);

// "16 MiB", "1.5 KiB", "17 bytes": a size as people read it.
std::string sizeText(std::uint64_t bytes);

}  // namespace zar
