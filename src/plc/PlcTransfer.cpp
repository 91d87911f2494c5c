#include "plc/PlcTransfer.h"

#include <algorithm>

#include "base/InputFile.h"
#include "base/SafeFile.h"
#include "base/TextPieces.h"
#include "link/Frames.h"

namespace zar::plc {

namespace f = zar::frames;

namespace {

// The most characters of a first SQR reply that is not yet a record.
constexpr std::size_t kShortSqrReply = 6;
constexpr std::string_view kTryAgain = "Try again!";
constexpr std::string_view kReloading = "Reloading....";

std::string nth(std::size_t number) { return "Record " + std::to_string(number); }

// Whether the file at `path` holds something other than image text: source
// the compile would write over. An image there (the last compile's, or
// "Tmp.mcn") may be replaced; a file that cannot be read is no concern here.
bool holdsSource(const std::string& path) {
  std::string content, why;
  if (!readInputFile(path, content, &why)) return false;
  for (char c : content)
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || c == '\r' || c == '\n')) return true;
  return false;
}

}  // namespace

std::string PlcTransfer::imageText(const std::vector<std::string>& records) {
  return joinLinesCrLf(records);
}

// ---------------------------------------------------------------- send

DialogueOutcome PlcTransfer::PLMTrnBtnClick(const std::string& currentPlcPath, int transitDelayMs) {
  return x_.run([&] { return send(currentPlcPath, transitDelayMs); });
}

bool PlcTransfer::linkOn() {
  if (!x_.sendText(f::kLon)) return false;
  x_.message(kCommunicating);
  return x_.receive();
}

bool PlcTransfer::lineSource(const std::vector<std::string>& editor, std::vector<std::string>& lines) {
  if (compiled_.mode == PlcEditorMode::Image) {
    lines = editor;
    return true;
  }
  InputFile file;
  std::string why;
  if (!file.open(imagePath_, &why)) {
    x_.message(0, "Cannot open the image file " + imagePath_ + ": " + why + "; no records are sent.");
    return false;
  }
  TextPieceReader pieces(file.stream());
  for (std::string piece; pieces.next(kImagePieceLength, piece);) lines.push_back(std::move(piece));
  if (file.failed()) {
    x_.message(0, "Cannot read the image file " + imagePath_ + ": " + file.error() + "; no records are sent.");
    lines.clear();
    return false;
  }
  return true;
}

DialogueOutcome PlcTransfer::send(const std::string& currentPlcPath, int transitDelayMs) {
  compiled_ = {};
  imagePath_.clear();
  recordsToSend_ = recordsSent_ = 0;
  const std::vector<std::string> editor = x_.op().editorLines(Page::Plc);
  if (editor.empty()) {
    x_.beep();
    x_.message(kEditorEmpty);
    return DialogueOutcome::EmptyEditor;
  }

  // Source is compiled into the image file first; a failure sends nothing.
  const std::string imageFile = PlcImageFileName(currentPlcPath);
  if (DecidePlcEditorMode(editor) == PlcEditorMode::Source && sameFile(imageFile, currentPlcPath) &&
      holdsSource(imageFile)) {
    // A source file named like its image ("prog.mcn") would be written over.
    compiled_.mode = PlcEditorMode::Source;
    x_.beep();
    x_.message(0, "The image of " + currentPlcPath + " would be written over the source file itself; save the "
                  "source under another name (.pmc). Nothing was sent.");
    return DialogueOutcome::LineFormat;
  }
  compiled_ = CompilePlcProgram(editor, workspace_, imageFile, x_.log());
  if (compiled_.mode == PlcEditorMode::Source) {
    if (compiled_.status != psOk) return DialogueOutcome::LineFormat;
    if (!compiled_.imageWritten) {
      // Sending the image file left from before would send another program.
      x_.message(0, "Cannot write the image file " + imageFile + ": " + compiled_.imageError + "; nothing was sent.");
      return DialogueOutcome::LineFormat;
    }
    imagePath_ = imageFile;
  } else {
    // An image line has its one record; a count of more than 255 bytes
    // would not fit into it.
    for (std::size_t i = 0; i < editor.size(); ++i) {
      if (recordDigits(editor[i]).size() <= kMaxRecordDataDigits) continue;
      x_.beep();
      x_.message(0, "Line " + std::to_string(i + 1) + " holds more than " + std::to_string(kMaxRecordDataDigits) +
                        " digits, more than one record carries; nothing was sent.");
      return DialogueOutcome::LineTooLong;
    }
  }

  if (!x_.connect(comIndex_)) return x_.failure();
  if (!linkOn()) {
    if (x_.cancelled()) return x_.failure();
    x_.closeLink();
    x_.message(0, kTryAgain);
    x_.reconnectPause();
    if (!x_.connect(comIndex_) || !linkOn()) return x_.failure();
  }
  if (!x_.sendText(f::kSqw) || (x_.message(kCommunicating), !x_.receive())) {
    if (x_.cancelled()) return x_.failure();
    const DialogueOutcome why = x_.failure();
    x_.beep();
    x_.message(kNoWriteReply);
    x_.closeLink();
    return why;
  }

  x_.message(kSending);
  std::vector<std::string> lines;
  lineSource(editor, lines);
  recordsToSend_ = lines.size();
  x_.progress().begin(ProgressUnit::Records, lines.size());
  const bool trace = x_.settings().sendTrace;
  for (const std::string& line : lines) {
    x_.progress().advance();
    x_.op().processEvents();
    if (line.empty()) continue;
    const std::string record = dataRecord(line);
    if (trace) x_.message(0, record);
    if (!x_.send(record)) break;
    ++recordsSent_;
  }
  // A record that could not be written closed the port (the link said so):
  // the end record and LOF could only run into a time-out now.
  if (!x_.link().comm().Enabled()) return x_.failure();

  if (!x_.sendText(f::kFe)) return x_.failure();
  if (!x_.link().pause(static_cast<unsigned>(std::max(transitDelayMs, 0)))) return DialogueOutcome::Cancelled;
  if (!x_.sendText(f::kLof) || !x_.receive()) return x_.failure();
  x_.message(kCommunicating);
  x_.message(kPlcDone);
  x_.closeLink();
  return DialogueOutcome::Done;
}

// ---------------------------------------------------------------- receive

DialogueOutcome PlcTransfer::receiveImage() {
  return x_.run([&] { return receive(); });
}

bool PlcTransfer::receiveRecord(std::size_t number, std::string& reply) {
  return x_.receiveLine(reply, kMaxRecordBytes + 1,
                        nth(number) + " from the controller is longer than any record can be; the receive "
                                      "stopped, nothing was written and the editor is unchanged.");
}

DialogueOutcome PlcTransfer::refuseRecord(std::size_t number, RecordProblem problem) {
  badRecord_ = number;
  badProblem_ = problem;
  x_.beep();
  x_.message(0, nth(number) + " from the controller is damaged: " + std::string(recordProblemText(problem)) +
                    ". The receive stopped; nothing was written and the editor is unchanged.");
  x_.closeLink();
  return DialogueOutcome::BadValue;
}

bool PlcTransfer::takeRecord(std::size_t number, std::string_view record) {
  RecordCheck check = checkDataRecord(record);
  if (!check.ok()) {
    refuseRecord(number, check.problem);
    return false;
  }
  receivedDigits_ += check.data.size();
  if (receivedDigits_ > kMaxReceivedDigits) {
    x_.beep();
    x_.message(0, "The controller sent more PLC records than any image holds; the receive stopped, nothing was "
                  "written and the editor is unchanged.");
    x_.closeLink();
    badRecord_ = number;
    badProblem_ = RecordProblem::None;
    return false;
  }
  records_.push_back(std::move(check.data));
  x_.progress().advance();
  return true;
}

DialogueOutcome PlcTransfer::receive() {
  records_.clear();
  receivedDigits_ = 0;
  badRecord_.reset();
  badProblem_ = RecordProblem::None;
  if (!x_.connect(comIndex_)) return x_.failure();
  if (!linkOn()) return x_.failure();
  if (!x_.sendText(f::kSqr)) return x_.failure();
  x_.message(kCommunicating);
  std::string reply;
  if (!receiveRecord(1, reply)) return x_.failure();
  if (reply.size() <= kShortSqrReply) {
    x_.message(0, kReloading);
    if (!receiveRecord(1, reply)) return x_.failure();
  }
  // The first record comes one byte behind the reply's start.
  const std::string_view first = std::string_view(reply).substr(std::min<std::size_t>(1, reply.size()));
  const bool empty = first == f::kFe || reply == f::kFe;
  x_.progress().begin(ProgressUnit::Records);
  if (!empty && !takeRecord(1, first)) return DialogueOutcome::BadValue;
  x_.message(kReceiving);
  const bool trace = x_.settings().receiveTrace;
  for (std::size_t number = 2; !empty; ++number) {
    x_.op().processEvents();
    if (!receiveRecord(number, reply)) return x_.failure();
    if (reply == f::kFe) break;
    if (!takeRecord(number, reply)) return DialogueOutcome::BadValue;
    if (trace) x_.message(0, records_.back());
  }
  if (!x_.sendText(f::kLof) || !x_.receive()) return x_.failure();
  x_.message(kCommunicating);
  x_.message(kReceived);
  x_.closeLink();
  x_.message(kAllReceived);
  return DialogueOutcome::Done;
}

DialogueOutcome PlcTransfer::PLMRcvBtnClick(const std::string& imagePath) {
  decompiled_ = false;
  decompile_ = {};
  const DialogueOutcome outcome = receiveImage();
  if (outcome != DialogueOutcome::Done) return outcome;
  std::string why;
  if (!replaceFileContent(imagePath, imageText(records_), &why)) {
    x_.message(0, "Cannot write " + imagePath + ": " + why + "; the received program is not decompiled.");
    return DialogueOutcome::FileFailed;
  }
  x_.op().setEditorLines(Page::Plc, {});
  decompile_ = DecompilePlcImage(imagePath, workspace_, x_.log());
  decompiled_ = true;
  return outcome;
}

}  // namespace zar::plc
