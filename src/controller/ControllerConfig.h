#pragma once
// Configuration of the virtual controller: which controller it plays, where
// its memory persists, how fast its line is, and which faults it injects.
// See docs/controller-protocol.md for the dialogues and the fault step names.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zar::controller {

// Program names travel only with the X02 type.
enum class ControllerType { X02, X00 };
enum class FirmwareVersion { SD, K, M };

// The type a model number belongs to: 102/202/302 are X02, 101/200/300 X00/X01.
std::optional<ControllerType> typeOfModel(int model);
bool isKnownModel(int model);

// "X02", "ZAR X02", "X00", "X01", "X00/X01", "ZAR X00/X01" (any case).
std::optional<ControllerType> parseControllerType(std::string_view text);
std::optional<FirmwareVersion> parseFirmwareVersion(std::string_view text);  // SD, K, M
std::string_view versionName(FirmwareVersion version);                       // "SD", "K", "M"

enum class FaultKind {
  NoReply,  // the reply is not sent (the frame still takes effect)
  Nak,      // the NAK frame instead of the reply; the frame is refused, no effect
  Garbage,  // kGarbageReply instead of the reply (the frame takes effect)
  Short,    // only the first half of the reply, terminator lost
  Delay,    // the reply comes delayMs later than it would
  Hangup,   // the line is hung up (master closed) instead of replying
  Reply,    // `bytes` instead of the reply (the frame takes effect)
  Corrupt,  // one byte in the middle of the reply damaged (its lowest bit flipped)
  Flood,    // `count` bytes 0x55 with no line end instead of the reply: a line that keeps talking
};

// The bytes a Garbage fault puts on the line: a terminated line that is
// neither a NAK nor any reply the dialogues look for.
inline const std::string kGarbageReply = "?~\xA5Z#\r\n";

// One fault, armed until it has fired `times` times (0: fires every time).
// `step` names a reply point: "list.name", "store.line:3" (exactly the third
// line), "store.line" (any line). The names are listed in the protocol notes.
struct Fault {
  std::string step;
  FaultKind kind = FaultKind::NoReply;
  int delayMs = 0;    // Delay
  std::string bytes;  // Reply
  int count = 0;      // Flood
  int times = 1;

  static Fault make(std::string step, FaultKind kind, int delayMs = 0, std::string bytes = {}) {
    Fault f;
    f.step = std::move(step);
    f.kind = kind;
    f.delayMs = delayMs;
    f.bytes = std::move(bytes);
    return f;
  }
  static Fault noReply(std::string step) { return make(std::move(step), FaultKind::NoReply); }
  static Fault nak(std::string step) { return make(std::move(step), FaultKind::Nak); }
  static Fault garbage(std::string step) { return make(std::move(step), FaultKind::Garbage); }
  static Fault shortReply(std::string step) { return make(std::move(step), FaultKind::Short); }
  static Fault hangup(std::string step) { return make(std::move(step), FaultKind::Hangup); }
  static Fault delay(std::string step, int ms) {
    return make(std::move(step), FaultKind::Delay, ms);
  }
  static Fault corrupt(std::string step) { return make(std::move(step), FaultKind::Corrupt); }
  static Fault reply(std::string step, std::string bytes) {
    return make(std::move(step), FaultKind::Reply, 0, std::move(bytes));
  }
  static Fault flood(std::string step, int count) {
    Fault f = make(std::move(step), FaultKind::Flood);
    f.count = count;
    return f;
  }
};

// Parses "STEP[:N]:KIND[=ARG][*TIMES]" as given to `zarctl controller --fault`:
// kinds none, nak, garbage, short, hangup, delay=MS, reply=BYTES, flood=COUNT (C escapes
// \r \n \t \\ \xHH; write ':' and '*' as \x3a and \x2a). TIMES 0 = every time.
// Returns nothing and sets *error on a malformed text.
std::optional<Fault> parseFault(std::string_view text, std::string* error = nullptr);
std::string_view faultKindName(FaultKind kind);

// C-style escaping of arbitrary bytes for logs and fault arguments:
// printable ASCII stays, everything else becomes \r, \n, \t, \\ or \xHH.
std::string escapeBytes(std::string_view bytes);
std::optional<std::string> unescapeBytes(std::string_view text);

struct TrafficEntry;

struct ControllerConfig {
  ControllerType type = ControllerType::X02;
  int model = 102;
  FirmwareVersion version = FirmwareVersion::K;

  // Slots, parameters and PLC image are loaded from here at start and written
  // back (atomically) after every dialogue that changed them. Empty: memory only.
  std::string stateFile;
  // Fill the sample programs into empty slots (and the sample PLC image when
  // none is stored) at start.
  bool samples = false;

  // Line speed in bit/s; each byte in either direction takes 10 bits. 0: no pacing.
  int paceBaud = 0;

  std::vector<Fault> faults;

  // Override the identification answers (whole reply bytes, terminator
  // included). Empty: derived from model and version ("A-102\r\n", "V1.05K\r\n").
  std::string modelAnswer;
  std::string versionAnswer;
  // Answer SQR first with a short "reloading" reply before the first record.
  bool sqrReloading = false;

  // Called on the controller's thread for every traffic entry as it is
  // recorded, with the controller locked: it must not call the controller.
  std::function<void(const TrafficEntry&)> monitor;
  // The most traffic entries the record keeps: beyond it the oldest half
  // goes, so a controller that runs for days does not grow with every
  // frame. 0 keeps none (the monitor still sees every entry).
  size_t trafficLimit = 100000;
};

}  // namespace zar::controller
