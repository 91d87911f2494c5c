#pragma once
// The serial port component: one RS-232 device, its line settings, byte I/O,
// queue counts, purge, modem lines, and an event thread that waits for line
// events and hands each one, synchronously, to the thread owning the port.
//
//   TComm port;                          // or TComm port(std::move(fakeDevice))
//   port.SetPathResolver(...);           // "COM3" -> "/dev/ttyUSB0" (see PortNames.h)
//   port.SetDeviceName("COM3");
//   port.Open();                         // raises nothing when the device won't open:
//   if (!port.Enabled()) puts(port.LastOpenError().c_str());
//
// Errors of the component itself are raised as CommError with fixed English
// texts; Read/Write/InQueCount/OutQueCount never raise and return -1 on a
// closed port. Everything except the event thread runs on the owner thread.
//
// Events: the event thread passes each event to the dispatcher, which must
// run the given task on the owner thread and return once it ran (the GUI posts
// it into its event loop and waits; see OwnerQueue for a loop-less owner).
// Close() wakes the thread and returns promptly; no handler runs after
// Close() returned.
//
// Without a dispatcher the handlers (OnBreak ... OnComStatEvent, and the
// error and status read before them) run on the event thread itself, while
// the owner may be inside Read or Write. zarctl works that way: it assigns no
// handler, so the events are only consumed. An owner without an event loop
// that does assign handlers sets an OwnerQueue's dispatcher and pumps it.
//
// Line settings follow one rule: what Linux cannot carry out is refused with
// "Error updating DataControlBlock (Error: 22)" (EINVAL), never dropped.
// Refused: 4 data bits; 1.5 stop bits except with 5 data bits; a rate the
// driver misses by more than 2 %; fcDTR (no DTR/DSR handshake); the option
// coDsrSensitivity (no input gating by DSR); coErrorChar with coParityCheck
// and an ErrorChar other than NUL (the tty replaces bad bytes by NUL only);
// and a device-level request to send XOFF ourselves (inX).
// Accepted because there is nothing on Linux for them to act on: EofChar
// (the port always runs in binary mode), EvtChar (it only selects evRxFlag),
// the XON/XOFF limits and coIgnoreXOff (they govern the XOFF this side sends,
// and it never sends one: fcSoftware means obeying the peer's XON/XOFF).
// Never reported: the evRxFlag event (a tty cannot be searched for a byte
// without consuming its input) and the hold flags of the status other than
// CTS hold under RTS/CTS (DSR and RLSD holds need handshakes Linux lacks, XOFF
// sent cannot happen, and the tty does not tell whether the peer's XOFF
// holds it).
//
// The port is opened raw: every byte is data, 0x11, 0x13, 0x00 and 0xFF
// included, and fcDefault keeps that (software flow control stays off).

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "link/CommTypes.h"
#include "link/SerialDevice.h"

namespace zar {

class TThreadComm;

using CommDispatcher = std::function<void(std::function<void()>)>;

// The five special characters of the line, by index 1 to 5.
class TCommEventChars {
 public:
  explicit TCommEventChars(TThreadComm* owner = nullptr) : owner_(owner) {}
  TCommEventChars(const TCommEventChars& other) : owner_(nullptr) { Assign(other); }
  // Copies the five characters without applying them; the owner stays.
  TCommEventChars& operator=(const TCommEventChars& other) {
    Assign(other);
    return *this;
  }
  void Assign(const TCommEventChars& other);

  // Index 1 XOnChar, 2 XOffChar, 3 ErrorChar, 4 EofChar, 5 EvtChar; other indexes read 0.
  char Char(int index) const;
  // Stores the character and applies the line settings if the owner's port is open.
  void SetChar(int index, char value);

  char XOnChar() const { return chars_[0]; }
  char XOffChar() const { return chars_[1]; }
  char ErrorChar() const { return chars_[2]; }
  char EofChar() const { return chars_[3]; }
  char EvtChar() const { return chars_[4]; }
  void SetXOnChar(char c) { SetChar(1, c); }
  void SetXOffChar(char c) { SetChar(2, c); }
  void SetErrorChar(char c) { SetChar(3, c); }
  void SetEofChar(char c) { SetChar(4, c); }
  void SetEvtChar(char c) { SetChar(5, c); }

 private:
  TThreadComm* owner_;
  char chars_[5] = {0x11, 0x13, 0, 0, 0};
};

// Waits for line events on the open device and hands them to the owner.
class TCommEventThread {
 public:
  using Handler = std::function<void(uint32_t mask)>;

  // Sets the device's event mask to the monitored events. `gate` is held
  // while the handler runs; its owner can lock it to wait for a running handler.
  TCommEventThread(SerialDevice& device, TCommEventTypes events, CommDispatcher dispatcher,
                   Handler handler, std::shared_ptr<std::recursive_mutex> gate);
  ~TCommEventThread();
  TCommEventThread(const TCommEventThread&) = delete;
  TCommEventThread& operator=(const TCommEventThread&) = delete;

  void Start();
  // Clears the handler (waiting for one running on another thread), wakes the
  // thread and joins it; a thread caught inside a dispatch is let go instead,
  // and ends without touching the device once the dispatch returns.
  void Stop();
  // Event mask of the last event handed over.
  uint32_t LastEventMask() const;

 private:
  struct Shared;
  SerialDevice& device_;
  CommDispatcher dispatcher_;
  std::shared_ptr<Shared> shared_;
  std::thread thread_;
};

class TThreadComm {
 public:
  using NotifyEvent = std::function<void(TThreadComm& sender)>;
  using ErrorEvent = std::function<void(TThreadComm& sender, uint32_t errors)>;
  using RxCharEvent = std::function<void(TThreadComm& sender, uint32_t count)>;
  using ComStatEvent = std::function<void(TThreadComm& sender, uint32_t status, const TComStat& stat)>;
  // Turns a device name ("COM3", "\\.\COM10", "/dev/ttyUSB0") into a path; "" = unknown.
  using PathResolver = std::function<std::string(const std::string& deviceName)>;

  // The read time-out: a read returns when its count arrived, or after this.
  static constexpr uint32_t kReadTotalTimeoutMs = 1000;

  // Without a device, the port name chooses one at each Open: a network
  // server for tcp:// and rfc2217:// names, the Linux tty otherwise.
  explicit TThreadComm(std::unique_ptr<SerialDevice> device = nullptr);
  virtual ~TThreadComm();
  TThreadComm(const TThreadComm&) = delete;
  TThreadComm& operator=(const TThreadComm&) = delete;

  void Open();
  void Close();
  bool Enabled() const { return enabled_; }

  int Read(void* buffer, uint32_t count);
  int Write(const void* buffer, uint32_t count);
  int InQueCount();
  int OutQueCount();
  void PurgeIn();
  void PurgeOut();

  void SetDTRState(bool on);
  void SetRTSState(bool on);
  void SetXONState(bool on);
  void SetBREAKState(bool on);
  void EscapeComm(uint32_t function);
  // 1 CTS, 2 DSR, 3 RING, 4 RLSD (carrier).
  bool GetModemState(int index);
  // 1 CTS hold, 2 DSR hold, 3 RLSD hold, 4 XOFF hold, 5 XOFF sent; other indexes read 1.
  bool GetComState(int index);

  void Lock() { mutex_.lock(); }
  void Unlock() { mutex_.unlock(); }
  void CheckOpen() const;
  void UpdateDataControlBlock();
  void UpdateDataControlBlockLock();
  void UpdateCommTimeouts();
  // Hands one line event to the handlers, in their fixed order.
  void HandleCommEvent(uint32_t mask);

  // ---- Properties.
  const std::string& DeviceName() const { return deviceName_; }
  void SetDeviceName(const std::string& name);
  uint16_t ReadBufSize() const { return readBufSize_; }
  void SetReadBufSize(uint16_t size);
  uint16_t WriteBufSize() const { return writeBufSize_; }
  void SetWriteBufSize(uint16_t size);
  TCommEventTypes MonitorEvents() const { return monitorEvents_; }
  void SetMonitorEvents(TCommEventTypes events);
  TBaudRate BaudRate() const { return baudRate_; }
  void SetBaudRate(TBaudRate rate);
  TParity Parity() const { return parity_; }
  void SetParity(TParity parity);
  TStopBits StopBits() const { return stopBits_; }
  void SetStopBits(TStopBits bits);
  TDataBits DataBits() const { return dataBits_; }
  void SetDataBits(TDataBits bits);
  TCommOptions Options() const { return options_; }
  void SetOptions(TCommOptions options);
  TFlowControl FlowControl() const { return flowControl_; }
  void SetFlowControl(TFlowControl flow);
  TCommEventChars& EventChars() { return eventChars_; }

  NotifyEvent OnBreak, OnCts, OnDsr, OnRing, OnRlsd, OnRxFlag, OnTxEmpty;
  ErrorEvent OnError;
  RxCharEvent OnRxChar;
  ComStatEvent OnComStatEvent;

  // ---- Linux side.
  // How events reach the owner thread; takes effect at the next Open.
  void SetDispatcher(CommDispatcher dispatcher) { dispatcher_ = std::move(dispatcher); }
  // Without a resolver only absolute paths and network port names open.
  void SetPathResolver(PathResolver resolver) { resolver_ = std::move(resolver); }
  // Why the last Open left the port closed (permission, busy, missing, ...);
  // empty after a successful Open.
  const std::string& LastOpenError() const { return lastOpenError_; }
  // errno of the last failed Open (EACCES, EBUSY, ENOENT, ...); -1 when the
  // name maps to no device or the device is no tty; 0 after success.
  int LastOpenErrorCode() const { return lastOpenErrorCode_; }
  // Something to tell about the last successful Open (a network server that
  // would not take the line settings); empty when nothing.
  const std::string& OpenNotice() const { return openNotice_; }
  // The longest an Open may wait for a network server (connect and
  // negotiation); local devices open at once.
  void SetOpenTimeout(uint32_t ms) { openTimeoutMs_ = ms ? ms : 1; }
  // The path the last Open used.
  const std::string& DevicePath() const { return devicePath_; }
  // The device as messages name it: "COM3 (/dev/ttyUSB0)", the path alone
  // when the name was a path ("/dev/pts/3"), the name when it maps to none.
  std::string DeviceLabel() const;
  // True once the open line hung up (adapter unplugged, peer closed).
  bool HungUp() const;
  // Waits up to timeoutMs for input: 1 input waits, 0 time-out, -1 closed or hung up.
  int WaitInput(int timeoutMs);
  // Event mask of the last event the event thread handed over (0 when none).
  uint32_t LastEventMask() const;
  SerialDevice& Device() { return *device_; }

 protected:
  int CreateHandle();
  void DestroyHandle();

 private:
  std::string resolvePath() const;
  void setLineProperty(auto& field, auto value);

  bool chooseDevice_;  // no device handed in: pick one by the port name at each Open
  std::unique_ptr<SerialDevice> device_;
  uint32_t openTimeoutMs_ = kReadTotalTimeoutMs;
  std::string openNotice_;
  std::recursive_mutex mutex_;
  std::atomic<bool> enabled_{false};
  std::unique_ptr<TCommEventThread> thread_;
  std::shared_ptr<std::recursive_mutex> handlerGate_ = std::make_shared<std::recursive_mutex>();
  uint32_t lastEventMask_ = 0;

  std::string deviceName_ = "Com2";
  uint16_t readBufSize_ = 4096;
  uint16_t writeBufSize_ = 2048;
  TCommEventTypes monitorEvents_ = TCommEventTypes::all();
  TBaudRate baudRate_ = br9600;
  TParity parity_ = paNone;
  TStopBits stopBits_ = sb10;
  TDataBits dataBits_ = da8;
  TCommEventChars eventChars_{this};
  TCommOptions options_{};
  TFlowControl flowControl_ = fcDefault;

  CommDispatcher dispatcher_;
  PathResolver resolver_;
  std::string lastOpenError_;
  int lastOpenErrorCode_ = 0;
  std::string devicePath_;
};

// The component as the main window holds it; it adds no behaviour.
class TComm : public TThreadComm {
 public:
  using TThreadComm::TThreadComm;
};

// A dispatcher for owners without an event loop (command line, tests): the
// event thread queues its task and waits; the owner runs queued tasks with
// pump(). shutdown() (also on destruction) releases waiting event threads
// without running their tasks.
class OwnerQueue {
 public:
  OwnerQueue();
  ~OwnerQueue();
  OwnerQueue(const OwnerQueue&) = delete;
  OwnerQueue& operator=(const OwnerQueue&) = delete;

  CommDispatcher dispatcher() const;
  // Runs the queued tasks on the calling thread; returns how many ran.
  int pump();
  // Waits up to timeoutMs for a task, then pumps; returns how many ran.
  int waitAndPump(int timeoutMs);
  void shutdown();

 private:
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace zar
