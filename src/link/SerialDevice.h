#pragma once
// The device operations the serial port component is built on. The default
// implementation talks to a Linux tty (PosixSerialDevice); tests substitute a
// fake to produce modem-line changes, breaks, line errors and refused
// settings, which a pseudo-terminal cannot.
//
// Calls that can fail return 0 or an errno value. Apart from waitEvent() and
// wakeWaiter(), which belong to the event thread, all calls come from the
// thread that owns the component.

#include <cstdint>
#include <memory>
#include <string>

#include "link/CommTypes.h"

namespace zar {

class SerialDevice {
 public:
  // What ended one waitEvent() call.
  struct WaitResult {
    uint32_t events = 0;   // line event bits (kEv*), limited to the event mask
    bool woken = false;    // wakeWaiter() was called
    bool hangup = false;   // the line hung up (adapter unplugged, peer gone)
    int error = 0;         // the wait failed with this errno
  };

  virtual ~SerialDevice() = default;

  // Opens `path` for reading and writing, exclusively, without blocking.
  virtual int open(const std::string& path) = 0;
  virtual bool isCharacterDevice() const = 0;
  // True for a pseudo-terminal: it has no modem lines and forces 8 data
  // bits without parity whatever is asked.
  virtual bool isPseudoTerminal() const = 0;
  // Restores the line settings found at open and closes. Harmless when closed.
  virtual void close() = 0;
  // The longest an open may take (devices that wait for a peer); set before open.
  virtual void setOpenTimeout(int /*ms*/) {}
  // Why the last open failed, in words naming the device, when the device
  // knows better than its errno value ("... connection refused"); else empty.
  virtual std::string openFailure() const { return {}; }
  // Something the person should know about the last successful open (a
  // server that would not take the line settings); else empty.
  virtual std::string openNotice() const { return {}; }

  virtual int setQueueSizes(uint32_t input, uint32_t output) = 0;
  virtual int getLineSettings(LineSettings& settings) = 0;
  // Applies the settings; fails (EINVAL) when the device silently substituted
  // something that matters on its line.
  virtual int setLineSettings(const LineSettings& settings) = 0;
  virtual int setTimeouts(const CommTimeouts& timeouts) = 0;

  // Line events to report from waitEvent().
  virtual int setEventMask(uint32_t mask) = 0;
  // Blocks until a line event, a hang-up or wakeWaiter(). Must not return the
  // same still-unread input again and again (no spinning on unread data).
  virtual WaitResult waitEvent() = 0;
  // Makes the current or next waitEvent() return with `woken` set. Thread-safe.
  virtual void wakeWaiter() = 0;

  // Reads and clears the pending error bits (kErr*) and fills the status.
  virtual int clearErrors(uint32_t& errors, TComStat& status) = 0;
  // Modem status bits (kMs*).
  virtual int modemStatus(uint32_t& bits) = 0;
  // One modem-line function (kSetDtr, kClrRts, kSetBreak, kSetXOn, ...).
  virtual int escape(uint32_t function) = 0;
  virtual int purge(bool input, bool output) = 0;

  // Reads up to `count` bytes within the read time-out; returns the bytes read.
  virtual int read(void* buffer, uint32_t count) = 0;
  // Writes `count` bytes within the write time-out; returns the bytes written.
  virtual int write(const void* buffer, uint32_t count) = 0;
  // Waits up to timeoutMs for input: 1 input waits, 0 time-out, -1 hang-up or error.
  virtual int waitInput(int timeoutMs) = 0;
  // True once the line hung up; reads and writes then fail at once.
  virtual bool hungUp() const = 0;
};

std::unique_ptr<SerialDevice> makePosixSerialDevice();

}  // namespace zar
