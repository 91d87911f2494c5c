#include "ui/MessageCatalog.h"

#include "base/FileLocator.h"
#include "base/InputFile.h"

namespace zar {

std::string MessageCatalog::fileNameFor(int language) {
  switch (language) {
    case 0: return "Message.C";
    case 2: return "Message.X";
    default: return "Message.E";
  }
}

bool MessageCatalog::load(const std::string& directory, int language) {
  language_ = language;
  return loadFile(FileLocator(directory).readPath(FileKind::Data, fileNameFor(language)));
}

bool MessageCatalog::loadFile(const std::string& path) {
  entries_.clear();
  std::string content;
  if (!readInputFile(path, content, nullptr)) return false;
  loadText(content);
  return true;
}

void MessageCatalog::loadText(const std::string& raw) {
  entries_.clear();
  // Text mode: CR LF is one line end.
  std::string content;
  content.reserve(raw.size());
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') continue;
    content += raw[i];
  }
  // Each piece is what one bounded line read returns: up to 253 characters,
  // ending early after a line end. Its last character is cut, whatever it is.
  size_t pos = 0;
  while (pos < content.size() && static_cast<int>(entries_.size()) < kMaxEntries) {
    size_t end = pos;
    while (end < content.size() && end - pos < static_cast<size_t>(kPieceLength)) {
      if (content[end++] == '\n') break;
    }
    std::string piece = content.substr(pos, end - pos);
    piece.pop_back();
    entries_.push_back(std::move(piece));
    pos = end;
  }
}

std::string MessageCatalog::text(int id) const {
  if (id < 1 || id > count()) return {};
  const std::string& entry = entries_[static_cast<size_t>(id - 1)];
  const size_t blank = entry.find(' ');
  if (blank == std::string::npos) return {};
  return entry.substr(blank + 1);
}

std::array<std::string, 11> MessageCatalog::buttonCaptions() const {
  std::array<std::string, 11> captions;
  for (int i = 0; i < 11; ++i) captions[static_cast<size_t>(i)] = text(71 + i);
  return captions;
}

}  // namespace zar
