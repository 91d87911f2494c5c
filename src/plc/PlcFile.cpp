#include "plc/PlcFile.h"

#include "base/InputFile.h"
#include "base/SafeFile.h"
#include "base/TextPieces.h"

namespace zar::plc {

PlcFileText parsePlcFile(std::string_view rest) {
  PlcFileText text;
  while (!rest.empty()) {
    const size_t lf = rest.find('\n');
    std::string_view line = rest.substr(0, lf);
    rest.remove_prefix(lf == std::string_view::npos ? rest.size() : lf + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.size() > kPlcLineLength && text.longLine == 0) text.longLine = text.lines.size() + 1;
    text.lines.emplace_back(line);
  }
  return text;
}

bool readPlcFile(const std::string& path, std::vector<std::string>& lines, std::string* error) {
  std::string content, why;
  if (!readInputFile(path, content, &why)) {
    if (error) *error = why;
    return false;
  }
  PlcFileText text = parsePlcFile(content);
  if (text.longLine != 0) {
    if (error)
      *error = "line " + std::to_string(text.longLine) + " is longer than " + std::to_string(kPlcLineLength) +
               " characters";
    return false;
  }
  lines = std::move(text.lines);
  return true;
}

std::string formatPlcFile(const std::vector<std::string>& lines) {
  return joinLinesCrLf(lines);
}

// ---------------------------------------------------------------- page handlers

void PlcFiles::message(int id, std::string_view extra) const { log_.addTo(Page::Plc, id, extra); }

std::string PlcFiles::fileNameLabel(const std::string& path) const { return log_.catalog().text(kFileLabel) + path; }

std::string PlcFiles::countLine(std::size_t count) const {
  const std::string text = log_.catalog().text(kLinesLoaded);
  const bool blank = !text.empty() && text.front() == ' ';
  return "PLM" + std::string(blank ? "" : " ") + text + ":" + std::to_string(count);
}

bool PlcFiles::load(const std::string& path) {
  linesLoaded_ = 0;
  error_.clear();
  message(kLoading);
  std::vector<std::string> lines;
  if (!readPlcFile(path, lines, &error_)) {
    message(0, "Cannot load " + path + ": " + error_ + "; the editor is unchanged.");
    return false;
  }
  linesLoaded_ = lines.size();
  log_.op().setEditorLines(Page::Plc, lines);
  message(0, countLine(linesLoaded_));
  message(kLoaded);
  return true;
}

bool PlcFiles::save(const std::string& path) {
  error_.clear();
  message(kSaving);
  if (!replaceFileContent(path, formatPlcFile(log_.op().editorLines(Page::Plc)), &error_)) {
    message(0, "Cannot write " + path + ": " + error_ + "; the file on disk is unchanged.");
    return false;
  }
  message(kSaved);
  return true;
}

}  // namespace zar::plc
