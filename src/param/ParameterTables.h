#pragma once
// The parameters offered on the parameter page: read from per-model data
// files and held as the list behind the page's check list.
//
// Two kinds of data file, both plain text without header or comment syntax,
// read in pieces of at most 253 characters (a longer physical line counts as
// several lines):
//   definition file  "102ParK.txt"   name = number     per model and version
//   address table    "Z102Add.Ini"   name=number       per model
// A line gives an entry when it holds "=": the name is the text before the
// LAST "=", the number the decimal integer after it (leading blanks, an
// optional sign, digits up to the first non-digit; none give 0; beyond the
// 32-bit range the nearest bound). Lines without "=" (titles, remarks,
// blanks) are passed over. Definition names lose trailing blanks and tabs;
// address-table names are kept exactly as written.
//
//   ParameterTables tables(FileLocator(dir), language);
//   tables.LoadAddressTables();                 // once, at start-up
//   ParameterList list = tables.buildList(0, 1);  // model 102, version K
//
// Bounds: at most 1000 entries per address table and 2000 in a list. The
// definitions come first; the model's address entries are appended only
// while the list has room, so a list never holds more than 2000 entries.
// A name longer than 39 bytes is cut to 39 (in Big5 text never inside a
// character): a received parameter line "name(number)=value" then stays
// within the 79 characters of a parameter file line.

#include <array>
#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/FileLocator.h"
#include "param/ParameterModels.h"

namespace zar::param {

inline constexpr size_t kDataPieceLength = 253;
inline constexpr size_t kMaxNameLength = 39;
inline constexpr size_t kMaxListEntries = 2000;
inline constexpr size_t kMaxAddressEntries = 1000;

struct ParameterEntry {
  std::string name;         // 8-bit text in the language's code page, at most 39 bytes
  std::int32_t number = 0;  // the parameter's number on the controller
  bool operator==(const ParameterEntry&) const = default;
};

// How a name is taken from its line.
enum class NameRule {
  Definition,  // trailing blanks and tabs removed
  Address,     // exactly as written
};

// One data-file line as an entry, or nothing when it holds no "=". Names are
// cut to 39 bytes; `language` kChinese keeps Big5 characters whole.
std::optional<ParameterEntry> parseEntryLine(std::string_view line, NameRule rule, int language);

// Reads entries from a stream until its end or until `limit` entries are
// held in `out` (entries already there count); returns how many were added.
size_t readEntries(std::istream& in, NameRule rule, int language, size_t limit,
                   std::vector<ParameterEntry>& out);
// The same from a file; false (nothing added) when it is not a regular file
// (a directory, a device) or cannot be opened for reading.
bool readEntryFile(const std::string& path, NameRule rule, int language, size_t limit,
                   std::vector<ParameterEntry>& out);

// The entries behind the check list, in display order: item i of the list
// is entry i.
struct ParameterList {
  std::vector<ParameterEntry> entries;
  std::string definitionPath;  // the definition file read; "" when neither name was found
  size_t definitionCount = 0;  // entries from it; the address entries follow

  size_t count() const { return entries.size(); }
  const ParameterEntry& operator[](size_t i) const { return entries[i]; }
  bool empty() const { return entries.empty(); }
};

// The address tables of the six models (loaded once) and the building of a
// model's list. Data files are found through the locator; nothing is cached
// of the definition files, so an edited file shows on the next build.
class ParameterTables {
 public:
  ParameterTables(FileLocator files, int language);

  // Reads the six address tables. A file that is missing or cannot be read
  // leaves that model's table empty; nothing is reported.
  void LoadAddressTables();
  const std::vector<ParameterEntry>& addressTable(int modelIndex) const;

  // The list for a model and firmware version: the definition file (primary
  // name, else fallback name) up to 2000 entries, then the model's address
  // entries while there is room. Empty for a model index outside 0..5.
  ParameterList buildList(int modelIndex, int versionIndex) const;

  int language() const { return language_; }
  const FileLocator& files() const { return files_; }

 private:
  FileLocator files_;
  int language_;
  std::array<std::vector<ParameterEntry>, kModelCount> address_;
};

// The parameter page's selection state: `ModelIndex`, `VersionIndex` and the
// list built for them. The window refills its check list (all unchecked)
// from list() after every call that rebuilds it.
class ParameterChooser {
 public:
  explicit ParameterChooser(const ParameterTables& tables) : tables_(tables) {}

  // Sets ModelIndex and rebuilds the list for it, the current version and
  // the language. An index outside 0..5 leaves ModelIndex and gives an empty list.
  void SetParameterList(int model);
  // A model or version button took the focus: the selector table, then
  // SetParameterList with the resulting model.
  void enter(SelectorButton button);
  // Sets both (as auto-detection does) and rebuilds the list.
  void select(ModelVersion selection);

  int ModelIndex = kStartModel;
  int VersionIndex = kStartVersion;
  ModelVersion selection() const { return {ModelIndex, VersionIndex}; }
  const ParameterList& list() const { return list_; }

 private:
  const ParameterTables& tables_;
  ParameterList list_;
};

}  // namespace zar::param
