#pragma once
// PLC files (.pmc source, .plm, .mcn images as hexadecimal text): the PLC
// editor's text line for line, CR LF line ends.
//
// A PLC line is at most kPlcLineLength characters. A file holding a longer
// line is refused whole, naming the line: cut into pieces, the tail of a
// long comment would come back as a line of its own and be compiled as an
// instruction. Saving writes every editor line through a new file renamed
// into place, so a failed save leaves the old file as it was.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "ui/MessageLog.h"

namespace zar::plc {

inline constexpr std::size_t kPlcLineLength = 255;

struct PlcFileText {
  std::vector<std::string> lines;
  std::size_t longLine = 0;  // 1-based number of the first line over the bound; 0: none
};

// The lines of a PLC file's content (LF or CR LF ends).
PlcFileText parsePlcFile(std::string_view content);
// The lines of a PLC file. False, with the reason in *error, when it cannot
// be read or holds a line over the bound (nothing in `lines` then).
bool readPlcFile(const std::string& path, std::vector<std::string>& lines, std::string* error);
// The file content of editor lines: each line followed by CR LF.
std::string formatPlcFile(const std::vector<std::string>& lines);

// The PLC page's file buttons once the chooser has given a path. The page
// shows the path (message 35 and the path) and takes it as its current PLC
// file only when load() or save() returned true: a failed open or write
// leaves the label, the editor and the old file as they were, and the
// message area says why.
class PlcFiles {
 public:
  enum Msg : int { kFileLabel = 35, kLoading = 111, kLinesLoaded = 114, kLoaded = 115, kSaving = 116, kSaved = 117 };

  explicit PlcFiles(const MessageLog& log) : log_(log) {}

  // `ReadPLMBtnClick`: message 111; the file's lines replace the editor;
  // "PLM <message 114>:<count>", message 115.
  bool load(const std::string& path);
  // `WritePLMBtnClick`: message 116, the editor's lines into the file, message 117.
  bool save(const std::string& path);

  // The count line after a load: "PLM" and message 114 (with a blank
  // between them whether or not the catalog text begins with one), ":" and
  // the count.
  std::string countLine(std::size_t count) const;
  std::string fileNameLabel(const std::string& path) const;
  const std::string& lastError() const { return error_; }
  std::size_t linesLoaded() const { return linesLoaded_; }

 private:
  void message(int id, std::string_view extra = {}) const;
  const MessageLog& log_;
  std::string error_;
  std::size_t linesLoaded_ = 0;
};

}  // namespace zar::plc
