#pragma once
// NC program files (.nc, .ncd): the slot number, the program name ("ZAR X02"
// only) and every non-empty editor line with its editor line number, so that
// empty lines cost nothing in the file and come back on loading.
//
//   5            slot number
//   OLD          name line, "ZAR X02" only (0 to 8 characters)
//   N1 G00 X0    "N<line number> <text>"
//   N3 M30       (editor line 2 was empty)
//
// Files are written with CR LF line ends and read with CR LF or bare LF, in
// bounded pieces like every text file of the program: 79 characters for the
// first two lines, 119 for program lines (a longer line becomes several).
// Saving goes through the safe replace, so a failed save leaves the previous
// file as it was. Only a regular file within the input bound is read.

#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/SafeFile.h"
#include "base/TextPieces.h"
#include "nc/ProgramTransfer.h"
#include "ui/MessageLog.h"

namespace zar::nc {

using zar::TextPieceReader;
using zar::replaceFileContent;

inline constexpr size_t kHeaderPieceLength = 79;
inline constexpr size_t kLinePieceLength = 119;
inline constexpr size_t kMaxNameLength = 8;
// Gaps between line numbers become empty lines, but never more than this
// many in all: a line number like N2000000000 must not exhaust memory.
inline constexpr size_t kMaxFilledLines = 99999;

enum class LoadStatus {
  Loaded,
  CannotOpen,   // no message; the editor keeps what it held
  NoSlot,       // the file is empty: nothing after the editor was emptied
  BadSlot,      // slot number outside 1..99 (message 112)
  NoName,       // "ZAR X02" file ends after the slot line
  NameTooLong,  // name line longer than 8 characters (message 113)
};

struct ProgramFileData {
  LoadStatus status = LoadStatus::CannotOpen;
  std::optional<int> slot;          // the slot line, once found in range
  std::optional<std::string> name;  // the name ("" for "ZAR X00/X01"), once read
  std::vector<std::string> lines;   // editor lines, gaps filled with empty lines
  std::string error;                // why the file could not be read (CannotOpen)
};

// Reads a program file as a stream: the header, then one editor line at a
// time, so a reader that stops early reads no further.
class ProgramFileReader {
 public:
  ProgramFileReader(std::istream& in, int typeIndex);
  // The slot and (for "ZAR X02") name lines: Loaded when both are good.
  LoadStatus readHeader();
  std::optional<int> slot() const { return slot_; }
  const std::string& name() const { return name_; }
  // The next editor line (a gap in the line numbers gives empty lines
  // first); false at the end of the file.
  bool nextLine(std::string& line);

 private:
  TextPieceReader reader_;
  int typeIndex_;
  std::optional<int> slot_;
  std::string name_;
  long long previous_ = 0;  // line number of the last program line
  size_t filled_ = 0;       // empty lines given for gaps so far
  size_t gap_ = 0;          // empty lines still to give before pending_
  std::string pending_;
  bool hasPending_ = false;
};

// Parses a program file for a controller type (name line only for "ZAR X02").
ProgramFileData parseProgramFile(std::istream& in, int typeIndex);
ProgramFileData parseProgramText(std::string_view text, int typeIndex);
// Reads a file by path; CannotOpen (with the reason) when it is missing,
// unreadable, not a regular file or too large, or a read fails.
ProgramFileData readProgramFile(const std::string& path, int typeIndex);

// The file content for a slot, a name (written for "ZAR X02" only) and the
// editor lines, with CR LF line ends.
std::string formatProgramFile(int slot, std::string_view name, int typeIndex,
                              const std::vector<std::string>& lines);

// The program page's file handlers once a file was chosen. Messages go to
// the program page (111-117), the editor is the operator's program editor.
class ProgramFiles {
 public:
  enum Msg : int {
    kFileLabel = 35, kLoading = 111, kBadSlot = 112, kNameTooLong = 113, kLinesLoaded = 114,
    kLoaded = 115, kSaving = 116, kSaved = 117,
  };

  explicit ProgramFiles(const MessageLog& log) : log_(log) {}

  // Loads `path` into the editor, page.slot and (by type) page.progName.
  LoadStatus load(const std::string& path, ProgramPage& page);
  // Saves the editor with page.slot and page.progName into `path`. False
  // when the file could not be written (the old file is then unchanged).
  bool save(const std::string& path, const ProgramPage& page);

  // The text of `FileNameLabel`: message 35 followed by the path.
  std::string fileNameLabel(const std::string& path) const;
  // Why the last load could not read the file, or the last save failed.
  const std::string& lastError() const { return error_; }
  // Lines the last load put into the editor.
  size_t linesLoaded() const { return linesLoaded_; }

 private:
  void message(int id, std::string_view extra = {});
  const MessageLog& log_;
  std::string error_;
  size_t linesLoaded_ = 0;
};

}  // namespace zar::nc
