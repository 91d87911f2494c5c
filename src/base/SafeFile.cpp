#include "base/SafeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <streambuf>
#include <vector>

#include "base/InputFile.h"

namespace zar {

namespace fs = std::filesystem;

namespace {

// The injected failure, if any: step + 1 (0 none) and its errno.
std::atomic<int> gFailingStep{0};
std::atomic<int> gFailingCode{0};

int injected(SafeFileStep step) {
  return gFailingStep.load() == static_cast<int>(step) + 1 ? gFailingCode.load() : 0;
}

bool writeAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) {
      errno = EIO;
      return false;
    }
    data.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

constexpr int kMaxLinkHops = 40;
// Room left for the temporary name's decoration within a file name.
constexpr size_t kMaxBaseName = 200;

// The file a write to `path` replaces: `path` itself, or the file at the end
// of its chain of symbolic links, which need not exist yet. The type of an
// existing file is checked here; *error is set on refusal.
bool resolveTarget(const std::string& path, fs::path& target, struct stat& existing,
                   bool& exists, std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  fs::path p(path);
  for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
    if (::lstat(p.c_str(), &existing) != 0) {
      if (errno != ENOENT) return fail(std::strerror(errno));
      exists = false;
      target = p;
      return true;
    }
    if (!S_ISLNK(existing.st_mode)) {
      if (std::string why = refusedFileType(existing.st_mode); !why.empty()) return fail(why);
      exists = true;
      target = p;
      return true;
    }
    std::vector<char> buffer(4096);
    const ssize_t n = ::readlink(p.c_str(), buffer.data(), buffer.size() - 1);
    if (n < 0) return fail(std::strerror(errno));
    const fs::path next(std::string(buffer.data(), static_cast<size_t>(n)));
    p = next.is_absolute() ? next : p.parent_path() / next;
  }
  return fail(std::strerror(ELOOP));
}

}  // namespace

// ---------------------------------------------------------------- writer

// Collects stream output and hands it to the writer in blocks.
class SafeFileWriter::Buffer : public std::streambuf {
 public:
  explicit Buffer(SafeFileWriter& writer) : writer_(writer), block_(kBlock) {
    setp(block_.data(), block_.data() + block_.size());
  }

 protected:
  int_type overflow(int_type c) override {
    if (!flushBlock()) return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }
  int sync() override { return flushBlock() ? 0 : -1; }

 private:
  bool flushBlock() {
    const std::string_view pending(pbase(), static_cast<size_t>(pptr() - pbase()));
    setp(block_.data(), block_.data() + block_.size());
    return pending.empty() || writer_.write(pending);
  }
  static constexpr size_t kBlock = 64 * 1024;
  SafeFileWriter& writer_;
  std::vector<char> block_;
};

SafeFileWriter::SafeFileWriter(std::string path) : path_(std::move(path)) {}

SafeFileWriter::~SafeFileWriter() { discard(); }

bool SafeFileWriter::open(std::string* error) {
  discard();
  error_ = 0;
  if (path_.empty()) return failWith(ENOENT, error);
  fs::path target;
  struct stat existing {};
  bool exists = false;
  if (!resolveTarget(path_, target, existing, exists, error)) return false;
  hadMode_ = exists;
  mode_ = existing.st_mode & 07777;
  target_ = target.string();
  const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
  directory_ = dir.string();
  if (const int code = injected(SafeFileStep::Create)) return failWith(code, error);

  // The process id and a counter make the name unique among this machine's
  // writers; O_EXCL settles the rest.
  static std::atomic<unsigned> counter{0};
  std::string base = target.filename().string();
  if (base.size() > kMaxBaseName) base.resize(kMaxBaseName);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path temporary =
        dir / ("." + base + ".new-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    // Never more open than the file it replaces, not even for a moment.
    const mode_t mode = hadMode_ ? static_cast<mode_t>(mode_ & 0666) : 0666;
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0) {
      fd_ = fd;
      temporary_ = temporary.string();
      return true;
    }
    if (errno != EEXIST) return failWith(errno, error);
  }
  return failWith(EEXIST, error);
}

bool SafeFileWriter::write(std::string_view data) {
  if (fd_ < 0 && !error_) error_ = EBADF;
  if (error_) return false;
  if (const int code = injected(SafeFileStep::Write)) {
    // A disk that fills up part-way through.
    (void)writeAll(fd_, data.substr(0, data.size() / 2));
    error_ = code;
    return false;
  }
  if (!writeAll(fd_, data)) {
    error_ = errno ? errno : EIO;
    return false;
  }
  return true;
}

std::ostream& SafeFileWriter::stream() {
  if (!stream_) {
    buffer_ = std::make_unique<Buffer>(*this);
    stream_ = std::make_unique<std::ostream>(buffer_.get());
  }
  return *stream_;
}

bool SafeFileWriter::failWith(int code, std::string* error) {
  if (error) *error = std::strerror(code);
  discard();
  return false;
}

bool SafeFileWriter::commit(std::string* error) {
  if (stream_) stream_->flush();
  if (fd_ < 0) return failWith(error_ ? error_ : EBADF, error);
  if (error_) return failWith(error_, error);
  if (hadMode_) (void)::fchmod(fd_, static_cast<mode_t>(mode_));
  if (const int code = injected(SafeFileStep::Sync)) return failWith(code, error);
  if (::fsync(fd_) != 0) return failWith(errno, error);
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) return failWith(errno, error);
  if (const int code = injected(SafeFileStep::Rename)) return failWith(code, error);
  if (::rename(temporary_.c_str(), target_.c_str()) != 0) return failWith(errno, error);
  temporary_.clear();
  // Make the rename itself durable. Some file systems cannot sync a
  // directory; the content is on disk all the same, so that is no failure.
  const int dirFd = ::open(directory_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    (void)::fsync(dirFd);
    ::close(dirFd);
  }
  return true;
}

void SafeFileWriter::discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
  temporary_.clear();
}

// ---------------------------------------------------------------- helpers

bool replaceFileContent(const std::string& path, std::string_view content, std::string* error) {
  SafeFileWriter out(path);
  if (!out.open(error)) return false;
  out.write(content);
  return out.commit(error);
}

bool checkReplaceable(const std::string& path, std::string* error) {
  SafeFileWriter probe(path);
  if (!probe.open(error)) return false;
  probe.discard();
  return true;
}

bool sameFile(const std::string& a, const std::string& b) {
  struct stat sa {}, sb {};
  if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

std::string keepInTemporaryFile(std::string_view content, const std::string& prefix,
                                const std::string& suffix) {
  const char* tmp = std::getenv("TMPDIR");
  std::string name = (tmp && *tmp ? std::string(tmp) : std::string("/tmp")) + "/" + prefix + "XXXXXX" + suffix;
  const int fd = ::mkstemps(name.data(), static_cast<int>(suffix.size()));
  if (fd < 0) return {};
  const bool ok = writeAll(fd, content) && ::fsync(fd) == 0;
  if (::close(fd) != 0 || !ok) {
    ::unlink(name.c_str());
    return {};
  }
  return name;
}

// ---------------------------------------------------------------- testing

InjectedWriteFailure::InjectedWriteFailure(SafeFileStep step, int code) {
  gFailingCode = code;
  gFailingStep = static_cast<int>(step) + 1;
}

InjectedWriteFailure::~InjectedWriteFailure() {
  gFailingStep = 0;
  gFailingCode = 0;
}

}  // namespace zar
