#include "param/ParameterFile.h"

#include "base/InputFile.h"
#include "base/SafeFile.h"
#include "base/TextPieces.h"

namespace zar::param {

namespace {

// Takes the line end that directly follows a piece which filled the bound,
// so that a line of exactly the bound's length is not followed by an empty
// one. Returns "\r" when it took a CR that turned out to be text (no LF
// after it): that CR begins the next line.
std::string takeLineEndAfterFullPiece(std::istream& in) {
  std::streambuf* buf = in.rdbuf();
  using Traits = std::streambuf::traits_type;
  const auto c = buf->sgetc();
  if (Traits::eq_int_type(c, Traits::to_int_type('\n'))) {
    buf->sbumpc();
  } else if (Traits::eq_int_type(c, Traits::to_int_type('\r'))) {
    buf->sbumpc();
    if (!Traits::eq_int_type(buf->sgetc(), Traits::to_int_type('\n'))) return "\r";
    buf->sbumpc();
  }
  return {};
}

}  // namespace

std::vector<std::string> parseParameterFile(std::istream& in) {
  std::vector<std::string> lines;
  TextPieceReader reader(in);
  std::string piece, carried;
  for (;;) {
    if (!reader.next(kParameterLineLength - carried.size(), piece)) {
      if (!carried.empty()) lines.push_back(carried);
      break;
    }
    piece.insert(0, carried);
    carried = piece.size() == kParameterLineLength ? takeLineEndAfterFullPiece(in) : std::string();
    lines.push_back(std::move(piece));
  }
  return lines;
}

bool readParameterFile(const std::string& path, std::vector<std::string>& lines, std::string* error) {
  InputFile file;
  if (!file.open(path, error)) return false;
  lines = parseParameterFile(file.stream());
  if (file.failed()) {
    lines.clear();
    if (error) *error = file.error();
    return false;
  }
  return true;
}

std::string formatParameterFile(const std::vector<std::string>& lines) {
  return joinLinesCrLf(lines);
}

// ---------------------------------------------------------------- page handlers

void ParameterFiles::message(int id, std::string_view extra) const { log_.addTo(Page::Parameter, id, extra); }

std::string ParameterFiles::fileNameLabel(const std::string& path) const {
  return log_.catalog().text(kFileLabel) + path;
}

bool ParameterFiles::load(const std::string& path) {
  linesLoaded_ = 0;
  error_.clear();
  message(kLoading);

  std::vector<std::string> lines;
  if (!readParameterFile(path, lines, &error_)) {
    message(0, "Cannot read " + path + ": " + error_ + "; the editor is unchanged.");
    return false;
  }

  Operator& op = log_.op();
  linesLoaded_ = lines.size();
  op.setEditorLines(Page::Parameter, lines);
  message(kLinesLoaded, ":" + std::to_string(linesLoaded_));
  message(kLoaded);
  return true;
}

bool ParameterFiles::save(const std::string& path) {
  error_.clear();
  message(kSaving);
  const std::string content = formatParameterFile(log_.op().editorLines(Page::Parameter));
  if (!replaceFileContent(path, content, &error_)) {
    message(0, "Cannot write " + path + ": " + error_ + "; the file on disk is unchanged.");
    return false;
  }
  message(kSaved);
  return true;
}

}  // namespace zar::param
