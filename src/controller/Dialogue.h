#pragma once
// The controller's side of every dialogue, free of any I/O: one complete
// frame from the PC in, the replies to put on the line out. Each reply is
// made at a named reply point (its "step"); an armed fault for that step
// changes what is sent. Dialogues and step names: docs/controller-protocol.md.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "controller/ControllerConfig.h"
#include "controller/ControllerState.h"
#include "controller/FactoryParameters.h"
#include "controller/FrameReader.h"

namespace zar::controller {

// The controller's acknowledgement of a command in STX framing (LON, SQW, LOF):
// STX ACK ETX, three bytes.
inline const std::string kStxAck = "\x02\x06\x03";

// Faults armed for reply points. Not thread-safe; the owner locks.
class FaultList {
 public:
  void add(Fault fault);
  void clear() { armed_.clear(); }
  // The fault armed for `step` ("store.line:3"), used up once. A fault for a
  // step without index ("store.line") matches every index.
  std::optional<Fault> take(std::string_view step);
  size_t armed() const { return armed_.size(); }

 private:
  struct Armed {
    Fault fault;
    int left;  // < 0: forever
  };
  std::vector<Armed> armed_;
};

// One reply point's outcome.
struct Response {
  std::string step;                // reply point, e.g. "list.line:2"
  std::string bytes;               // what goes on the line (may be empty)
  int delayMs = 0;                 // extra wait before it (Delay fault)
  bool hangup = false;             // hang up the line instead (Hangup fault)
  std::optional<FaultKind> fault;  // the fault that shaped it, if any
};

// What the controller answers to the identification queries.
struct Identity {
  ControllerType type = ControllerType::X02;
  std::string modelAnswer;    // reply to STX ZAR ETX
  std::string versionAnswer;  // reply to STX VER ETX
  bool sqrReloading = false;
  // The parameter numbers it answers for, with their factory values.
  FactoryParameters parameters;

  static Identity from(const ControllerConfig& config);
};

// "\x02" count "00" data checksum "\x03" for one line of hexadecimal digits;
// a lone last digit counts its own value in the checksum.
std::string plcRecord(std::string_view hexDigits);

class Dialogue {
 public:
  Dialogue(ControllerState& state, FaultList& faults, Identity identity);

  // Handles one frame from the PC and returns the replies in order (none, one,
  // or a stream of PLC records).
  std::vector<Response> handle(const Frame& frame);
  // Abandons any dialogue in progress (the attention frame does this).
  void reset();
  bool idle() const { return phase_ == Phase::Idle; }
  // Whether slots, parameters or the PLC image changed since the last call.
  bool takeChanged() { return std::exchange(changed_, false); }

 private:
  enum class Phase {
    Idle,
    ListSlot, ListItems,
    StoreSlot, StoreName, StoreLines,
    DeleteSlot, DeleteName,
    ParamSend, ParamReceive,
    PlcWrite, PlcWritten, PlcRead,
  };

  template <typename Apply>
  Response answer(std::string step, std::string normal, Apply&& apply);
  Response unexpected();

  std::vector<Response> handleLine(const Frame& frame);
  std::vector<Response> handleStx(const Frame& frame);
  std::vector<Response> streamImage();

  ControllerState& state_;
  FaultList& faults_;
  Identity id_;
  bool changed_ = false;

  Phase phase_ = Phase::Idle;
  bool plcSession_ = false;  // between LON and LOF
  int slot_ = 0;
  // List: the replies still to come, one per ACK frame.
  std::vector<std::pair<std::string, std::string>> items_;
  size_t nextItem_ = 0;
  // Per-dialogue counters for the step indexes.
  int count_ = 0;
  std::optional<std::int32_t> pendingParameter_;
  // PLC image being written.
  std::vector<std::string> newImage_;
  bool writeFailed_ = false;
};

}  // namespace zar::controller
