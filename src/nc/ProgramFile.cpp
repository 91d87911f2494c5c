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
