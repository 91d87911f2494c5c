#pragma once
// The link primitives every controller dialogue is built from: open the port
// with the configured settings, send a frame, receive one reply, wait.
//
//   Link link(commPort, LinkSettings::from(settings), messageLog, &portDirectory);
//   DialogueGuard guard(link);            // one dialogue at a time
//   if (!guard) return false;             // another one is running
//   link.ConnectRS232(comIndex);          // reports 101/102 itself
//   link.TransToZAR(frames::kAttention);  // false: 104 (+107) written, port closed
//   if (!link.ReceiveFromZAR(Link::kReplyLimit, 1)) return false;  // 103 / refusal written
//   use(link.reply());
//
// Every failure is reported here, once, through the message log (messages
// 101-108 and the per-page refusals 122/142/162) and closes the port where
// the rules say so; callers only look at the result. Sent frames and received
// replies are traced as "TRN: " / "RCV: " lines when the trace flags are on.
//
// While a reply is awaited the operator's event pump runs at least every
// kPumpIntervalMs, so the window stays live; use DialogueGuard to keep a
// second dialogue from starting meanwhile. All calls belong to the thread
// that owns the port, except requestCancel().
//
// Dialogues are written with Exchange (link/Exchange.h), not with these
// primitives directly. The link also counts the bytes of every frame and
// reply into progress() and carries the cancel request (see below).

#include <atomic>
#include <chrono>
#include <string>
#include <string_view>

#include "link/Progress.h"
#include "link/ThreadComm.h"
#include "ui/MessageLog.h"

namespace zar {

struct Settings;
class PortDirectory;

// The settings the link works with (from "Init.Ini" and "Customer.ini").
struct LinkSettings {
  int timeoutMs = 1000;        // whole-reply time limit
  int byteDelayMs = 10;        // pause after each byte in transit mode 0
  int transitMode = 0;         // 1: a frame in one write; anything else: byte by byte
  bool receiveTrace = false;   // "RCV: " lines
  bool sendTrace = false;      // "TRN: " lines
  int baudSelector = 4;        // 1..5 -> 1200, 2400, 4800, 9600, 19200 baud
  int reconnectDelayMs = 200;  // pause before re-opening the port inside a dialogue

  static LinkSettings from(const Settings& settings);
};

// The port rate of a baud selector (br9600 outside 1..5).
TBaudRate baudRateForSelector(int selector);

class Link {
 public:
  // Length limit of one reply in every dialogue.
  static constexpr int kReplyLimit = 75;
  // Written instead of 103 (or 104) when the line hung up: the other end
  // closed it, so waiting longer or checking the baud rate would not help.
  // A fixed English text, like the serial port's own errors.
  static constexpr std::string_view kHungUpText =
      "The line hung up: the other end closed the connection (cable or adapter unplugged, or the "
      "controller's program ended).";
  // Written once when a cancel takes effect. A fixed English text: there is
  // no catalog message for it, and like the port's own errors it needs none.
  static constexpr std::string_view kCancelledText = "Cancelled.";
  // Longest pause between two event pumps while a reply is awaited.
  static constexpr int kPumpIntervalMs = 20;

  // `ports` turns the "COMn" names into device paths; without it only
  // absolute device paths open. `log` also gives the operator (beep, pump).
  Link(TComm& comm, LinkSettings settings, const MessageLog& log, PortDirectory* ports = nullptr);

  // "COM1" for list index 0 ... "COM9" for 8, "\\.\COM10" for 9 and above.
  static std::string deviceNameFor(int comIndex);

  // (Re)opens the port of list index `comIndex` (or the device path set with
  // setDevicePath) at the configured rate, 8 data bits, no parity; appends
  // 101 + the device and raises RTS and DTR, or appends 102 + the device and
  // then one line with the reason (lastOpenError()). The device is named as
  // opened: "COM3 (/dev/ttyUSB0)", or "/dev/pts/3" when a path was set.
  void ConnectRS232(int comIndex);
  // Sends a frame; false (104, or kHungUpText, then 107 if the port was
  // open) when a write fails. A write on a closed port counts as sent.
  bool TransToZAR(std::string_view frame);
  // As TransToZAR; its trace line also shows the frame text.
  bool TransStr(std::string_view frame);
  // Receives one reply (up to LF or ETX, or `limit` bytes) into the receive
  // buffer. False on time-out (103, beep, 107 if open), on a hang-up
  // (kHungUpText, beep, 107) or when the reply is the NAK frame (with
  // report 1: the page's refusal message, beep, 107 if open).
  bool ReceiveFromZAR(int limit, int report);
  // As ReceiveFromZAR, but a NAK only writes 122 when report is 1 and the
  // program page is shown: no beep, the port stays open.
  bool ReceiveZARProgNo(int limit, int report);
  // Waits `ms` milliseconds without pumping events.
  void DelayMs(unsigned ms);
  // Waits `ms` milliseconds, or less when a cancel is requested (false then).
  bool pause(unsigned ms);

  // The last reply as a NUL-terminated buffer reads: up to its first NUL.
  std::string_view reply() const;
  // Every byte of the last reply, NULs included.
  const std::string& replyBytes() const { return buffer_; }

  // If the port is open: close it and append 107 (the end of a phase).
  void closeLink();

  // ---- Cancel.
  // Asks the running dialogue to stop. Safe from a signal handler or another
  // thread (a lock-free atomic store). It takes effect at the next frame
  // boundary, or while a reply is awaited within kPumpIntervalMs: nothing
  // more is sent, the port is closed (107), kCancelledText is written once,
  // and the dialogue's outcome is DialogueOutcome::Cancelled. The request
  // holds until the dialogue ends; one made while no dialogue runs applies
  // to the next, so a view offers Cancel only while busy().
  void requestCancel() noexcept { cancelRequest_.store(true, std::memory_order_relaxed); }
  bool cancelRequested() const noexcept { return cancelRequest_.load(std::memory_order_relaxed); }
  // Acts on a pending request (the steps above, once); true when the
  // dialogue must stop. The primitives call it; dialogues need not.
  bool stopIfCancelled();
  // Whether a cancel took effect in the running dialogue.
  bool cancelled() const { return cancelled_; }
  // Drops the request and its effect (the dialogue guard does so at the end).
  void clearCancel() noexcept;

  // Units, bytes, rate and time left of the running dialogue.
  Progress& progress() { return progress_; }

  bool busy() const { return busy_; }
  TComm& comm() { return comm_; }
  const LinkSettings& settings() const { return settings_; }
  void setSettings(const LinkSettings& settings) { settings_ = settings; }
  // Opens `path` at every ConnectRS232 instead of the list index's COM name
  // (zarctl --port /dev/ttyUSB0); empty: COM names again.
  void setDevicePath(std::string path) { devicePath_ = std::move(path); }
  const std::string& devicePath() const { return devicePath_; }
  // Device name set by the last ConnectRS232 ("COM3", or the path set).
  const std::string& deviceName() const { return deviceName_; }
  // Why the last ConnectRS232 left the port closed, naming the device tried
  // (empty after success). It is also the line written after 102.
  const std::string& lastOpenError() const { return lastOpenError_; }

 private:
  friend class DialogueGuard;
  bool transmit(std::string_view frame, bool withText);
  bool receive(int limit, int report, bool progNo);
  static constexpr int kReadCancelled = -2;
  int readOneByte(unsigned char& byte, long long timeoutMs,
                  std::chrono::steady_clock::time_point start);
  void failClosed();

  TComm& comm_;
  LinkSettings settings_;
  const MessageLog& log_;
  PortDirectory* ports_;
  std::string buffer_;
  std::string deviceName_;
  std::string devicePath_;
  std::string lastOpenError_;
  bool busy_ = false;
  std::atomic<bool> cancelRequest_{false};
  static_assert(std::atomic<bool>::is_always_lock_free, "requestCancel() must be signal-safe");
  bool cancelled_ = false;
  Progress progress_;
};

// Marks the link busy for one dialogue. A guard taken while another dialogue
// runs is not acquired (and false): the caller must not start its dialogue.
// Releasing it ends the dialogue's cancel request.
class DialogueGuard {
 public:
  explicit DialogueGuard(Link& link) : link_(link), acquired_(!link.busy_) {
    if (acquired_) link_.busy_ = true;
  }
  ~DialogueGuard() {
    if (!acquired_) return;
    link_.busy_ = false;
    link_.clearCancel();
  }
  DialogueGuard(const DialogueGuard&) = delete;
  DialogueGuard& operator=(const DialogueGuard&) = delete;

  bool acquired() const { return acquired_; }
  explicit operator bool() const { return acquired_; }

 private:
  Link& link_;
  bool acquired_;
};

}  // namespace zar
