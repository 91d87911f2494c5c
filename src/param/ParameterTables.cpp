#include "param/ParameterTables.h"

#include <algorithm>

#include "base/InputFile.h"
#include "base/Settings.h"
#include "base/TextPieces.h"

namespace zar::param {

namespace {

// Cuts a name to 39 bytes. In Big5 text a byte from 0x81 up leads a
// two-byte character, which is kept whole or dropped whole.
void cutName(std::string& name, int language) {
  if (name.size() <= kMaxNameLength) return;
  if (language != kChinese) {
    name.resize(kMaxNameLength);
    return;
  }
  size_t end = 0;
  while (end < name.size()) {
    const size_t width = static_cast<unsigned char>(name[end]) >= 0x81 && end + 1 < name.size() ? 2 : 1;
    if (end + width > kMaxNameLength) break;
    end += width;
  }
  name.resize(end);
}

}  // namespace

std::optional<ParameterEntry> parseEntryLine(std::string_view line, NameRule rule, int language) {
  const size_t eq = line.rfind('=');
  if (eq == std::string_view::npos) return std::nullopt;
  ParameterEntry entry;
  entry.number = parseDecimal(line.substr(eq + 1));
  entry.name.assign(line.substr(0, eq));
  cutName(entry.name, language);
  if (rule == NameRule::Definition) {
    const size_t last = entry.name.find_last_not_of(" \t");
    entry.name.resize(last == std::string::npos ? 0 : last + 1);
  }
  return entry;
}

size_t readEntries(std::istream& in, NameRule rule, int language, size_t limit,
                   std::vector<ParameterEntry>& out) {
  const size_t before = out.size();
  TextPieceReader reader(in);
  std::string piece;
  while (out.size() < limit && reader.next(kDataPieceLength, piece)) {
    if (auto entry = parseEntryLine(piece, rule, language)) out.push_back(std::move(*entry));
  }
  return out.size() - before;
}

bool readEntryFile(const std::string& path, NameRule rule, int language, size_t limit,
                   std::vector<ParameterEntry>& out) {
  if (path.empty()) return false;
  // Only regular files: a directory cannot be read, a FIFO or device could
  // block or never end.
  InputFile file;
  if (!file.open(path, nullptr)) return false;
  readEntries(file.stream(), rule, language, limit, out);
  return true;
}

// ---------------------------------------------------------------- tables

ParameterTables::ParameterTables(FileLocator files, int language)
    : files_(std::move(files)), language_(language) {}

void ParameterTables::LoadAddressTables() {
  for (int model = 0; model < kModelCount; ++model) {
    std::vector<ParameterEntry>& table = address_[static_cast<size_t>(model)];
    table.clear();
    const std::string path = files_.find(FileKind::Data, addressTableFileName(model, language_));
    if (!readEntryFile(path, NameRule::Address, language_, kMaxAddressEntries, table)) table.clear();
    table.shrink_to_fit();
  }
}

const std::vector<ParameterEntry>& ParameterTables::addressTable(int modelIndex) const {
  static const std::vector<ParameterEntry> none;
  return validModel(modelIndex) ? address_[static_cast<size_t>(modelIndex)] : none;
}

ParameterList ParameterTables::buildList(int modelIndex, int versionIndex) const {
  ParameterList list;
  if (!validModel(modelIndex)) return list;
  const DefinitionFileNames names = definitionFileNames(modelIndex, versionIndex, language_);
  for (const std::string& name : {names.primary, names.fallback}) {
    const std::string path = files_.find(FileKind::Data, name);
    if (readEntryFile(path, NameRule::Definition, language_, kMaxListEntries, list.entries)) {
      list.definitionPath = path;
      break;
    }
  }
  list.definitionCount = list.entries.size();
  const std::vector<ParameterEntry>& address = addressTable(modelIndex);
  const size_t room = kMaxListEntries - list.entries.size();
  list.entries.insert(list.entries.end(), address.begin(),
                      address.begin() + static_cast<std::ptrdiff_t>(std::min(room, address.size())));
  return list;
}

// ---------------------------------------------------------------- chooser

void ParameterChooser::SetParameterList(int model) {
  if (!validModel(model)) {
    list_ = ParameterList{};
    return;
  }
  ModelIndex = model;
  list_ = tables_.buildList(ModelIndex, VersionIndex);
}

void ParameterChooser::enter(SelectorButton button) { select(enterSelector(button, selection())); }

void ParameterChooser::select(ModelVersion selection) {
  VersionIndex = selection.version;
  SetParameterList(selection.model);
}

}  // namespace zar::param
