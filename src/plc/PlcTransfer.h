#pragma once
// Sending a PLC program to the controller and receiving one: the two
// dialogues of the PLC page, free of widgets.
//
//   send                                   receive
//   LON          SACK  (one retry)         LON          SACK
//   SQW          SACK                      SQR          [SACK, when reloading]
//   record 1     -     streamed            -            x record 1 (one byte ahead)
//   ...                                    -            record 2 ... n, streamed
//   record n     -                         -            end record
//   end record   -                         LOF          SACK
//   (transit delay)
//   LOF          SACK
//
//   PlcTransfer transfer(link, log, comIndex, PlcWorkspace::process());
//   transfer.PLMTrnBtnClick(currentPlcPath, settings.plcTransitDelay);
//   transfer.PLMRcvBtnClick(workingDirectory + "/Mcn.tmp");   // into the editor
//
// A send compiles the editor first when it holds source (the image file is
// named after the current PLC file) and streams the image's lines as
// records; an editor that already holds an image is sent line by line.
// A receive checks every record as it arrives: the first one whose count,
// checksum or digits do not add up is named and ends the dialogue, before
// any file is written or the editor touched. The editor is replaced only by
// a whole, checked image.
//
// Outcomes: Done; EmptyEditor (message 161); LineFormat (the source does
// not compile, or its image file cannot be written: nothing was sent);
// LineTooLong (an image line too long for one record, or a record that
// came back longer than any can be); BadValue (a damaged record came);
// Refused; LinkFailed; Cancelled; Busy.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "link/DialogueOutcome.h"
#include "link/Exchange.h"
#include "plc/PlcCompiler.h"
#include "plc/PlcDecompiler.h"
#include "plc/PlcRecords.h"
#include "plc/PlcWorkspace.h"
#include "ui/MessageLog.h"

namespace zar::plc {

class PlcTransfer {
 public:
  enum Msg : int {
    kPlcDone = 106, kCommunicating = 108, kReceived = 109, kEditorEmpty = 161, kNoWriteReply = 163,
    kSending = 164, kAllReceived = 171, kReceiving = 176,
  };
  // Lines of the image file read per record.
  static constexpr std::size_t kImagePieceLength = 128;
  // The most record data a receive keeps (an image far larger than any
  // controller holds): the receive stops beyond it.
  static constexpr std::size_t kMaxReceivedDigits = std::size_t{16} << 20;

  PlcTransfer(Link& link, const MessageLog& log, int comIndex, PlcWorkspace& workspace)
      : x_(link, log, Page::Plc), comIndex_(comIndex), workspace_(workspace) {}

  // `PLMTrnBtn`: compile if need be, then send. `currentPlcPath` names the
  // image file; `transitDelayMs` is waited after the end record.
  DialogueOutcome PLMTrnBtnClick(const std::string& currentPlcPath, int transitDelayMs);
  // `PLMRcvBtn`: receive, write the records to `imagePath` ("Mcn.tmp" in the
  // working directory), then decompile that into the emptied editor.
  DialogueOutcome PLMRcvBtnClick(const std::string& imagePath);
  // The receive dialogue alone: records() holds the checked image lines.
  DialogueOutcome receiveImage();

  // ---- what the last dialogue did
  // Send: the compile step's result (mode Image: nothing compiled).
  const PlcCompileResult& compiled() const { return compiled_; }
  // Send: the image file the records came from ("" when the editor's own lines went).
  const std::string& imagePath() const { return imagePath_; }
  std::size_t recordsToSend() const { return recordsToSend_; }
  std::size_t recordsSent() const { return recordsSent_; }
  // Receive: the data of every good record, in order.
  const std::vector<std::string>& records() const { return records_; }
  // Receive: the damaged record's number (1-based) and what is wrong with it.
  std::optional<std::size_t> badRecord() const { return badRecord_; }
  RecordProblem badRecordProblem() const { return badProblem_; }
  // PLMRcvBtnClick: whether the editor now holds the decompiled image.
  bool decompiled() const { return decompiled_; }
  const PlcDecompileResult& decompileResult() const { return decompile_; }

  // The image text of received records: one line each, CR LF after each.
  static std::string imageText(const std::vector<std::string>& records);

 private:
  DialogueOutcome send(const std::string& currentPlcPath, int transitDelayMs);
  DialogueOutcome receive();
  // Collects the lines to send: the editor's, or the image file's pieces.
  bool lineSource(const std::vector<std::string>& editor, std::vector<std::string>& lines);
  bool linkOn();
  // One reply that should be a record (`number` names it in messages).
  bool receiveRecord(std::size_t number, std::string& reply);
  // Checks `record`; on a fault names it and stops the dialogue.
  bool takeRecord(std::size_t number, std::string_view record);
  DialogueOutcome refuseRecord(std::size_t number, RecordProblem problem);

  Exchange x_;
  int comIndex_;
  PlcWorkspace& workspace_;
  PlcCompileResult compiled_;
  std::string imagePath_;
  std::size_t recordsToSend_ = 0;
  std::size_t recordsSent_ = 0;
  std::vector<std::string> records_;
  std::size_t receivedDigits_ = 0;
  std::optional<std::size_t> badRecord_;
  RecordProblem badProblem_ = RecordProblem::None;
  bool decompiled_ = false;
  PlcDecompileResult decompile_;
};

}  // namespace zar::plc
