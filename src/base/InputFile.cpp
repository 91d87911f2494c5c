#include "base/InputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <streambuf>
#include <vector>

namespace zar {

std::string refusedFileType(unsigned mode) {
  switch (mode & S_IFMT) {
    case S_IFREG: return {};
    case S_IFDIR: return std::strerror(EISDIR);
    case S_IFIFO: return "Is a FIFO, not a file";
    case S_IFCHR:
    case S_IFBLK: return "Is a device, not a file";
    case S_IFSOCK: return "Is a socket, not a file";
    default: return "Is not a regular file";
  }
}

std::string sizeText(std::uint64_t bytes) {
  if (bytes < 1024) return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
  static const char* const units[] = {"KiB", "MiB", "GiB", "TiB"};
  double value = static_cast<double>(bytes) / 1024.0;
  int unit = 0;
  while (value >= 1024.0 && unit < 3) {
    value /= 1024.0;
    ++unit;
  }
  char text[32];
  if (value == static_cast<double>(static_cast<std::uint64_t>(value)))
    std::snprintf(text, sizeof text, "%.0f %s", value, units[unit]);
  else
    std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
  return text;
}

// Reads the descriptor in blocks, at most `limit` bytes in all.
class InputFile::Buffer : public std::streambuf {
 public:
  Buffer(int fd, std::uint64_t limit) : fd_(fd), limit_(limit), block_(kBlock) {}

  int error = 0;        // errno of a failed read
  bool tooLong = false;  // more than `limit` bytes were there to read

 protected:
  int_type underflow() override {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    if (error || tooLong) return traits_type::eof();
    for (;;) {
      const ssize_t n = ::read(fd_, block_.data(), block_.size());
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        error = errno;
        return traits_type::eof();
      }
      if (n == 0) return traits_type::eof();
      const auto got = static_cast<std::uint64_t>(n);
      if (got > limit_ - read_) {
        tooLong = true;
        return traits_type::eof();
      }
      read_ += got;
      setg(block_.data(), block_.data(), block_.data() + n);
      return traits_type::to_int_type(*gptr());
    }
  }

 private:
  static constexpr size_t kBlock = 64 * 1024;
  int fd_;
  std::uint64_t limit_;
  std::uint64_t read_ = 0;
  std::vector<char> block_;
};

InputFile::InputFile() = default;

InputFile::~InputFile() { close(); }

void InputFile::close() {
  stream_.reset();
  buffer_.reset();
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  size_ = 0;
}

bool InputFile::open(const std::string& path, std::string* error, std::uint64_t maxBytes) {
  close();
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  if (path.empty()) return fail(std::strerror(ENOENT));
  // The type is checked before the open, so no FIFO or device is opened.
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return fail(std::strerror(errno));
  if (std::string why = refusedFileType(st.st_mode); !why.empty()) return fail(why);

  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return fail(std::strerror(errno));
  // The path may have been replaced between the two looks.
  if (::fstat(fd, &st) != 0 || !refusedFileType(st.st_mode).empty()) {
    const std::string why = refusedFileType(st.st_mode);
    ::close(fd);
    return fail(why.empty() ? std::strerror(errno) : why);
  }
  const auto size = static_cast<std::uint64_t>(st.st_size);
  if (size > maxBytes) {
    ::close(fd);
    return fail("Too large: " + sizeText(size) + " (at most " + sizeText(maxBytes) + " is read)");
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  fd_ = fd;
  size_ = size;
  buffer_ = std::make_unique<Buffer>(fd, maxBytes);
  stream_ = std::make_unique<std::istream>(buffer_.get());
  return true;
}

std::istream& InputFile::stream() {
  if (!stream_) {
    // Not open: an empty stream that is already at its end.
    buffer_ = std::make_unique<Buffer>(-1, 0);
    buffer_->error = EBADF;
    stream_ = std::make_unique<std::istream>(buffer_.get());
  }
  return *stream_;
}

bool InputFile::failed() const { return buffer_ && (buffer_->error != 0 || buffer_->tooLong); }

std::string InputFile::error() const {
  if (!buffer_) return {};
  if (buffer_->error) return std::strerror(buffer_->error);
  if (buffer_->tooLong) return "Grew too large while it was read";
  return {};
}

bool readInputFile(const std::string& path, std::string& content, std::string* error,
                   std::uint64_t maxBytes) {
  content.clear();
  InputFile file;
  if (!file.open(path, error, maxBytes)) return false;
  content.reserve(static_cast<size_t>(file.size()));
  std::istream& in = file.stream();
  char block[64 * 1024];
  while (in.read(block, sizeof block) || in.gcount() > 0)
    content.append(block, static_cast<size_t>(in.gcount()));
  if (file.failed()) {
    if (error) *error = file.error();
    content.clear();
    return false;
  }
  return true;
}

}  // namespace zar
