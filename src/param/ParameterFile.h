#pragma once
// Parameter files (.par): the parameter editor's text line for line, with
// CR LF line ends; the program imposes no structure on them (see
// ParameterLine.h for the lines the transfers read and write).
//
// Loading reads pieces of at most 79 characters, so a longer physical line
// becomes several editor lines; a line of exactly 79 characters stays one
// line, so saving and loading again gives back every line of up to 79
// characters. Saving writes every line whole (longer ones too) through a new
// file renamed into place: a failed save leaves the old file as it was.

#include <istream>
#include <string>
#include <vector>

#include "ui/MessageLog.h"

namespace zar::param {

inline constexpr size_t kParameterLineLength = 79;

// The editor lines of a parameter file's content.
std::vector<std::string> parseParameterFile(std::istream& in);
// The editor lines of a parameter file. False, with the reason in *error,
// when it is not a regular file, cannot be opened, is larger than any
// reader takes, or a read fails.
bool readParameterFile(const std::string& path, std::vector<std::string>& lines, std::string* error);
// The file content of editor lines: each line followed by CR LF.
std::string formatParameterFile(const std::vector<std::string>& lines);

// The parameter page's file buttons once the chooser has given a path: the
// editor is the operator's parameter editor, messages go to the parameter
// page's message area. The window sets `ParFileNameLabel` to
// fileNameLabel(path) only when load() or save() returned true, so a failed
// open or write leaves the label (and the editor, or the old file) as it was;
// the message area then says why.
class ParameterFiles {
 public:
  enum Msg : int { kFileLabel = 35, kLoading = 111, kLinesLoaded = 114, kLoaded = 115, kSaving = 116, kSaved = 117 };

  explicit ParameterFiles(const MessageLog& log) : log_(log) {}

  // `ReadParBtnClick`: message 111; the file's lines replace the editor;
  // "<message 114>:<count>", message 115. False, with the reason after 111,
  // when the file cannot be read (the editor is left alone).
  bool load(const std::string& path);
  // `WriteParBtnClick`: message 116, the editor's lines into the file,
  // message 117. False, with the reason after 116, when it cannot be written.
  bool save(const std::string& path);

  // `ParFileNameLabel`'s text: message 35 followed by the path.
  std::string fileNameLabel(const std::string& path) const;
  // Why the last load or save failed ("" after a success).
  const std::string& lastError() const { return error_; }
  // Lines the last load put into the editor.
  size_t linesLoaded() const { return linesLoaded_; }

 private:
  void message(int id, std::string_view extra = {}) const;
  const MessageLog& log_;
  std::string error_;
  size_t linesLoaded_ = 0;
};

}  // namespace zar::param
