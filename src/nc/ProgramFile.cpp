#include "nc/ProgramFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/Settings.h"

namespace zar::nc {

namespace fs = std::filesystem;

// ---------------------------------------------------------------- reading

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

ProgramFileData parseProgramFile(std::istream& in, int typeIndex) {
  ProgramFileData d;
  TextPieceReader reader(in);
  std::string piece;

  if (!reader.next(kHeaderPieceLength, piece)) {
    d.status = LoadStatus::NoSlot;
    return d;
  }
  const int slot = parseDecimal(piece);
  if (slot < 1 || slot > 99) {
    d.status = LoadStatus::BadSlot;
    return d;
  }
  d.slot = slot;

  if (namesTravel(typeIndex)) {
    if (!reader.next(kHeaderPieceLength, piece)) {
      d.status = LoadStatus::NoName;
      return d;
    }
    if (piece.size() > kMaxNameLength) {
      d.status = LoadStatus::NameTooLong;
      return d;
    }
    d.name = piece;
  } else {
    d.name = std::string();
  }

  long long previous = 0;
  size_t filled = 0;
  while (reader.next(kLinePieceLength, piece)) {
    const size_t blank = piece.find(' ');
    if (blank == std::string::npos) continue;  // not a program line
    // "N<number>": the first character is not examined.
    const std::string_view head = std::string_view(piece).substr(0, blank);
    const long long number = head.size() > 1 ? parseDecimal(head.substr(1)) : 0;
    if (number - previous > 1) {
      const size_t gap = static_cast<size_t>(std::min<long long>(number - previous - 1, kMaxFilledLines));
      const size_t room = kMaxFilledLines - filled;
      const size_t add = std::min(gap, room);
      d.lines.insert(d.lines.end(), add, std::string());
      filled += add;
    }
    previous = number;
    d.lines.push_back(piece.substr(blank + 1));
  }
  d.status = LoadStatus::Loaded;
  return d;
}

ProgramFileData parseProgramText(std::string_view text, int typeIndex) {
  std::istringstream in{std::string(text)};
  return parseProgramFile(in, typeIndex);
}

ProgramFileData readProgramFile(const std::string& path, int typeIndex) {
  std::error_code ec;
  if (fs::is_directory(path, ec)) return {};
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  return parseProgramFile(in, typeIndex);
}

// ---------------------------------------------------------------- writing

std::string formatProgramFile(int slot, std::string_view name, int typeIndex,
                              const std::vector<std::string>& lines) {
  std::string text = std::to_string(slot) + "\n";
  if (namesTravel(typeIndex)) {
    text += name;
    text += '\n';
  }
  for (size_t k = 0; k < lines.size(); ++k) {
    const std::string& line = lines[k];
    if (line.empty()) continue;
    text += "N" + std::to_string(k + 1) + " ";
    text += line;
    if (line.find('\n') == std::string::npos) text += '\n';
  }
  // Text-mode line ends.
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (const char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

namespace {

std::string errnoText(int code) { return std::strerror(code); }

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

}  // namespace

bool replaceFileContent(const std::string& path, std::string_view content, std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  if (path.empty()) return fail(errnoText(ENOENT));

  // Write beside the file a link points to, so the link stays a link.
  fs::path target(path);
  std::error_code ec;
  if (fs::is_symlink(target, ec)) {
    const fs::path resolved = fs::weakly_canonical(target, ec);
    if (!ec) target = resolved;
  }
  if (fs::is_directory(target, ec)) return fail(errnoText(EISDIR));
  struct stat old {};
  const bool existed = ::stat(target.c_str(), &old) == 0;

  static std::atomic<unsigned> counter{0};
  const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
  const fs::path temporary =
      dir / ("." + target.filename().string() + ".new-" + std::to_string(::getpid()) + "-" +
             std::to_string(counter++));
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return fail(errnoText(errno));

  bool ok = writeAll(fd, content);
  int code = ok ? 0 : errno;
  if (ok && existed) (void)::fchmod(fd, old.st_mode & 07777);
  if (ok && ::fsync(fd) != 0) {
    ok = false;
    code = errno;
  }
  if (::close(fd) != 0 && ok) {
    ok = false;
    code = errno;
  }
  if (ok && ::rename(temporary.c_str(), target.c_str()) != 0) {
    ok = false;
    code = errno;
  }
  if (!ok) {
    ::unlink(temporary.c_str());
    return fail(errnoText(code));
  }
  // Make the rename itself durable.
  const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    (void)::fsync(dirFd);
    ::close(dirFd);
  }
  return true;
}

// ---------------------------------------------------------------- handlers

void ProgramFiles::message(int id, std::string_view extra) { log_.addTo(Page::Program, id, extra); }

std::string ProgramFiles::fileNameLabel(const std::string& path) const {
  return log_.catalog().text(kFileLabel) + path;
}

LoadStatus ProgramFiles::load(const std::string& path, ProgramPage& page) {
  Operator& op = log_.op();
  linesLoaded_ = 0;
  message(kLoading);
  ProgramFileData d = readProgramFile(path, page.typeIndex);
  if (d.status == LoadStatus::CannotOpen) return d.status;
  op.setEditorLines(Page::Program, {});
  if (d.status == LoadStatus::BadSlot) message(kBadSlot);
  if (d.slot) page.slot = *d.slot;
  if (d.status == LoadStatus::NameTooLong) message(kNameTooLong);
  if (d.status != LoadStatus::Loaded) return d.status;
  page.progName = *d.name;
  linesLoaded_ = d.lines.size();
  op.setEditorLines(Page::Program, d.lines);
  message(kLinesLoaded, ":" + std::to_string(linesLoaded_));
  message(kLoaded);
  return d.status;
}

bool ProgramFiles::save(const std::string& path, const ProgramPage& page) {
  message(kSaving);
  const std::string content =
      formatProgramFile(page.slot, page.progName, page.typeIndex, log_.op().editorLines(Page::Program));
  error_.clear();
  if (!replaceFileContent(path, content, &error_)) {
    message(0, "The file could not be written (" + error_ + "); the file on disk is unchanged.");
    return false;
  }
  message(kSaved);
  return true;
}

}  // namespace zar::nc
