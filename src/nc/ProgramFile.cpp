#include "nc/ProgramFile.h"

#include <algorithm>
#include <sstream>

#include "base/InputFile.h"
#include "base/Settings.h"

namespace zar::nc {

// ---------------------------------------------------------------- reading

ProgramFileReader::ProgramFileReader(std::istream& in, int typeIndex) : reader_(in), typeIndex_(typeIndex) {}

LoadStatus ProgramFileReader::readHeader() {
  std::string piece;
  if (!reader_.next(kHeaderPieceLength, piece)) return LoadStatus::NoSlot;
  const int slot = parseDecimal(piece);
  if (slot < 1 || slot > 99) return LoadStatus::BadSlot;
  slot_ = slot;

  if (namesTravel(typeIndex_)) {
    if (!reader_.next(kHeaderPieceLength, piece)) return LoadStatus::NoName;
    if (piece.size() > kMaxNameLength) return LoadStatus::NameTooLong;
    name_ = piece;
  } else {
    name_ = std::string();
  }
  return LoadStatus::Loaded;
}

bool ProgramFileReader::nextLine(std::string& line) {
  if (gap_ > 0) {
    --gap_;
    line.clear();
    return true;
  }
  if (hasPending_) {
    hasPending_ = false;
    line = std::move(pending_);
    pending_.clear();
    return true;
  }
  std::string piece;
  while (reader_.next(kLinePieceLength, piece)) {
    const size_t blank = piece.find(' ');
    if (blank == std::string::npos) continue;  // not a program line
    // "N<number>": the first character is not examined.
    const std::string_view head = std::string_view(piece).substr(0, blank);
    const long long number = head.size() > 1 ? parseDecimal(head.substr(1)) : 0;
    std::string text = piece.substr(blank + 1);
    size_t gap = 0;
    if (number - previous_ > 1) {
      const size_t wanted = static_cast<size_t>(std::min<long long>(number - previous_ - 1, kMaxFilledLines));
      gap = std::min(wanted, kMaxFilledLines - filled_);
      filled_ += gap;
    }
    previous_ = number;
    if (gap == 0) {
      line = std::move(text);
      return true;
    }
    // The empty lines of the gap come first, then this line.
    gap_ = gap - 1;
    pending_ = std::move(text);
    hasPending_ = true;
    line.clear();
    return true;
  }
  return false;
}

ProgramFileData parseProgramFile(std::istream& in, int typeIndex) {
  ProgramFileData d;
  ProgramFileReader reader(in, typeIndex);
  d.status = reader.readHeader();
  d.slot = reader.slot();
  if (d.status != LoadStatus::Loaded) return d;
  d.name = reader.name();
  std::string line;
  while (reader.nextLine(line)) d.lines.push_back(line);
  return d;
}

ProgramFileData parseProgramText(std::string_view text, int typeIndex) {
  std::istringstream in{std::string(text)};
  return parseProgramFile(in, typeIndex);
}

ProgramFileData readProgramFile(const std::string& path, int typeIndex) {
  InputFile file;
  ProgramFileData d;
  if (!file.open(path, &d.error)) return d;
  d = parseProgramFile(file.stream(), typeIndex);
  if (file.failed()) {
    d = ProgramFileData{};
    d.error = file.error();
  }
  return d;
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
  error_.clear();
  ProgramFileData d = readProgramFile(path, page.typeIndex);
  if (d.status == LoadStatus::CannotOpen) {
    error_ = d.error;
    return d.status;
  }
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
