#pragma once
// A ZAR-series controller in software, at the far end of a pseudo-terminal.
//
//   VirtualController ctrl({.type = ControllerType::X02, .model = 102});
//   ctrl.setProgram(5, {"OLD", {"G00 X0", "M30"}});
//   ctrl.addFault(Fault::nak("store.line:3"));
//   std::string error;
//   if (!ctrl.start(&error)) ...;
//   open(ctrl.devicePath().c_str(), ...)   // our side: the serial device
//   ...run a dialogue...
//   ctrl.waitForTraffic([](auto& t) { return !t.empty() && ...; }, 2000);
//   EXPECT_EQ(ctrl.inputFrames(), (std::vector<std::string>{"$%\r\n", "$S\r\n", ...}));
//
// The controller runs on its own thread from start() to stop() (or until a
// Hangup fault closes the line). It keeps its own descriptor of the terminal
// side open, so clients may open and close the device as often as they like;
// it notices each client open and close (they appear in the traffic record),
// clears a client's exclusive-use flag when the last client closes, and drops
// replies still queued for a client that has gone.
//
// Every accessor is thread-safe. The dialogues, the reply of each step and
// the fault step names are documented in docs/controller-protocol.md.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "controller/ControllerConfig.h"
#include "controller/ControllerState.h"
#include "controller/Dialogue.h"
#include "controller/FrameReader.h"

namespace zar::controller {

// One entry of the traffic record.
struct TrafficEntry {
  enum class Kind {
    In,      // one complete frame from the PC (as the controller took it)
    Out,     // one reply as put on the line (faults applied); may be empty
    Open,    // a client opened the device
    Close,   // the last client closed the device
    Hangup,  // the controller hung up the line
  };
  Kind kind;
  std::string bytes;
  std::string step;  // Out: the reply point ("list.line:2"); empty otherwise
  std::optional<FaultKind> fault;  // Out: the fault that shaped the reply
  double ms = 0;     // milliseconds since start(), when the frame was taken / reply queued

  // One readable line: "PC  $L\r\n", "ZAR \x06\x07\x01\r\n  [list] nak", "-- open".
  std::string describe() const;
};

class VirtualController {
 public:
  explicit VirtualController(ControllerConfig config = {});
  ~VirtualController();
  VirtualController(const VirtualController&) = delete;
  VirtualController& operator=(const VirtualController&) = delete;

  // Loads the state file (when configured; once per object), adds the samples
  // when asked, opens a new pseudo-terminal and starts answering. False with
  // *error when the state file cannot be read or no terminal can be had.
  bool start(std::string* error = nullptr);
  // Stops promptly and writes the state file if anything changed. Idempotent.
  void stop();
  bool running() const;
  // Whether a Hangup fault has closed the line (the controller then stops;
  // start() again opens a new device with a new path).
  bool hungUp() const;
  // The terminal device a client opens, e.g. "/dev/pts/3". Valid after start().
  std::string devicePath() const;
  const ControllerConfig& config() const { return config_; }

  // ---- memory (may be changed while running; saved like any change)
  std::optional<Program> program(int slot) const;
  void setProgram(int slot, Program program);
  void clearProgram(int slot);
  // A parameter never set reads its factory value (0 when the controller
  // does not know the number). Setting a number makes it known.
  std::int32_t parameter(std::int32_t number) const;
  void setParameter(std::int32_t number, std::int32_t value);
  // Whether the controller answers for a parameter number (its model's and
  // version's factory set, or its memory).
  bool knowsParameter(std::int32_t number) const;
  std::vector<std::string> plcImage() const;
  void setPlcImage(std::vector<std::string> lines);
  ControllerState state() const;
  void setState(ControllerState state);
  // Writes the state file now (no-op without one).
  bool saveNow(std::string* error = nullptr);

  // ---- faults
  void addFault(Fault fault);
  void clearFaults();
  size_t armedFaults() const;

  // ---- traffic record (the newest entries, see ControllerConfig::trafficLimit)
  std::vector<TrafficEntry> traffic() const;
  void clearTraffic();
  // The frames received, in order, and the replies sent (non-empty ones), as bytes.
  std::vector<std::string> inputFrames() const;
  std::vector<std::string> outputReplies() const;
  // Every traffic line joined by '\n' (see TrafficEntry::describe).
  std::string transcript() const;
  // Waits until `done(traffic)` holds or `timeoutMs` passes; returns whether it holds.
  bool waitForTraffic(const std::function<bool(const std::vector<TrafficEntry>&)>& done,
                      int timeoutMs) const;
  // Waits until `count` frames have been received since the last clearTraffic().
  bool waitForFrames(size_t count, int timeoutMs) const;
  // Number of clients that have the device open.
  int clients() const;

 private:
  using Clock = std::chrono::steady_clock;
  // What arrives from the line, in order: bytes, and the client opening and
  // closing the device (queued behind the bytes it sent before closing).
  struct InByte {
    enum class Kind { Byte, Open, Close } kind;
    char byte;
    Clock::time_point due;  // when its last bit has arrived on a paced line
    bool reopened = false;  // Close: another client opened right after
  };
  struct OutItem {
    std::string bytes;
    size_t written = 0;
    Clock::time_point ready;  // not to start before
    bool hangup = false;
  };

  void run();
  void readInput(Clock::time_point now);
  void readClientEvents(Clock::time_point now);
  void processInput(Clock::time_point now);
  void clientLeft(bool reopened, Clock::time_point at);  // caller holds mutex_
  void writeOutput(Clock::time_point now);
  std::optional<Clock::time_point> inputDue() const;  // caller holds mutex_
  Clock::time_point outputDue() const;                // caller holds mutex_; output not empty
  static size_t pieceEnd(const OutItem& item);
  bool hangupDue() const;
  void hangUp();
  void record(TrafficEntry entry);  // caller holds mutex_
  void saveIfChanged();
  std::optional<Clock::time_point> nextSave() const;  // caller holds mutex_
  bool saveDue(Clock::time_point now) const;          // caller holds mutex_
  double sinceStart(Clock::time_point t) const;
  void closeAll();

  ControllerConfig config_;
  FactoryParameters factory_;
  Clock::duration byteTime_{};  // zero when not paced

  mutable std::mutex mutex_;
  mutable std::condition_variable trafficChanged_;
  ControllerState state_;
  FaultList faults_;
  std::unique_ptr<Dialogue> dialogue_;
  std::vector<TrafficEntry> traffic_;
  size_t framesIn_ = 0;
  bool dirty_ = false;
  bool saveFailed_ = false;
  Clock::time_point lastSave_{};
  bool stateLoaded_ = false;
  int clients_ = 0;
  bool running_ = false;
  bool hungUp_ = false;
  std::string path_;

  // Owned by the controller thread while it runs.
  int master_ = -1;
  int slave_ = -1;
  int wake_ = -1;
  int watch_ = -1;
  bool stopRequested_ = false;
  Clock::time_point started_;
  FrameReader reader_;
  std::deque<InByte> input_;
  std::deque<OutItem> output_;
  Clock::time_point inLineFree_;
  Clock::time_point lastByteDue_;  // arrival of the last byte read
  bool atFrameStart_ = true;       // that byte ended a frame
  Clock::time_point outLineFree_;
  std::optional<Clock::time_point> hangupSince_;
  std::thread thread_;
};

}  // namespace zar::controller
