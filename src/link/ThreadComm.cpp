#include "link/ThreadComm.h"

#include <grp.h>
#include <sys/stat.h>

#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <optional>
#include <system_error>

#include "link/NetworkSerialDevice.h"

namespace zar {

// ---- Shared types.

uint32_t baudRateValue(TBaudRate rate) {
  static constexpr uint32_t kRates[] = {110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                                        19200, 38400, 56000, 57600, 115200, 128000, 256000};
  const int i = static_cast<int>(rate);
  return i >= 0 && i < 15 ? kRates[i] : 0;
}

uint32_t eventMaskBit(TCommEventType type) {
  switch (type) {
    case evBreak: return kEvBreak;
    case evCts: return kEvCts;
    case evDsr: return kEvDsr;
    case evError: return kEvError;
    case evRing: return kEvRing;
    case evRlsd: return kEvRlsd;
    case evRxChar: return kEvRxChar;
    case evRxFlag: return kEvRxFlag;
    case evTxEmpty: return kEvTxEmpty;
  }
  return 0;
}

uint32_t eventMaskOf(TCommEventTypes types) {
  uint32_t mask = 0;
  for (int i = evBreak; i <= evTxEmpty; ++i) {
    const auto type = static_cast<TCommEventType>(i);
    if (types.contains(type)) mask |= eventMaskBit(type);
  }
  return mask;
}

namespace {
std::string formatError(const char* format, int code) {
  char text[160];
  std::snprintf(text, sizeof text, format, code);
  return text;
}
}  // namespace

CommError::CommError(const char* format, int code)
    : std::runtime_error(formatError(format, code)), code_(code) {}

// ---- TCommEventChars.

void TCommEventChars::Assign(const TCommEventChars& other) {
  std::memcpy(chars_, other.chars_, sizeof chars_);
}

char TCommEventChars::Char(int index) const {
  return index >= 1 && index <= 5 ? chars_[index - 1] : 0;
}

void TCommEventChars::SetChar(int index, char value) {
  if (index < 1 || index > 5) return;
  chars_[index - 1] = value;
  if (owner_) owner_->UpdateDataControlBlockLock();
}

// ---- TCommEventThread.

struct TCommEventThread::Shared {
  std::mutex mutex;  // stop, inDispatch
  bool stop = false;
  bool inDispatch = false;
  std::shared_ptr<std::recursive_mutex> gate;  // held while the handler runs
  Handler handler;
  bool active = true;  // under gate; cleared by Stop (the handler itself is kept:
                       // Stop may be called from inside it)
  std::atomic<uint32_t> lastMask{0};
};

TCommEventThread::TCommEventThread(SerialDevice& device, TCommEventTypes events,
                                   CommDispatcher dispatcher, Handler handler,
                                   std::shared_ptr<std::recursive_mutex> gate)
    : device_(device), dispatcher_(std::move(dispatcher)), shared_(std::make_shared<Shared>()) {
  shared_->handler = std::move(handler);
  shared_->gate = gate ? std::move(gate) : std::make_shared<std::recursive_mutex>();
  device_.setEventMask(eventMaskOf(events));
}

TCommEventThread::~TCommEventThread() { Stop(); }

void TCommEventThread::Start() {
  // The thread keeps its own references: once let go by Stop() it may outlive
  // this object, but then it touches nothing but `shared`.
  thread_ = std::thread([shared = shared_, device = &device_, dispatch = dispatcher_] {
    for (;;) {
      {
        std::lock_guard lock(shared->mutex);
        if (shared->stop) return;
      }
      const SerialDevice::WaitResult result = device->waitEvent();
      std::unique_lock lock(shared->mutex);
      if (shared->stop) return;
      if (result.error != 0) {
        // A failed wait starts the next one, but not in a tight loop.
        lock.unlock();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        continue;
      }
      if (result.woken || result.hangup || result.events == 0) continue;
      shared->lastMask = result.events;
      shared->inDispatch = true;
      lock.unlock();
      auto task = [shared, mask = result.events] {
        std::lock_guard handlerLock(*shared->gate);
        if (shared->active && shared->handler) shared->handler(mask);
      };
      try {
        if (dispatch) dispatch(task);
        else task();
      } catch (...) {
        // A throwing handler must not take the event thread down with it.
      }
      lock.lock();
      shared->inDispatch = false;
      if (shared->stop) return;
    }
  });
}

void TCommEventThread::Stop() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard handlerLock(*shared_->gate);
    shared_->active = false;
  }
  bool letGo;
  {
    std::lock_guard lock(shared_->mutex);
    shared_->stop = true;
    letGo = shared_->inDispatch;
  }
  if (thread_.get_id() == std::this_thread::get_id()) letGo = true;
  if (letGo) {
    thread_.detach();
  } else {
    device_.wakeWaiter();
    thread_.join();
  }
}

uint32_t TCommEventThread::LastEventMask() const { return shared_->lastMask; }

// ---- TThreadComm.

namespace {

std::string groupOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return "dialout";
  struct group gr {};
  struct group* found = nullptr;
  char buffer[4096];
  if (getgrgid_r(st.st_gid, &gr, buffer, sizeof buffer, &found) != 0 || !found) return "dialout";
  return found->gr_name;
}

// "COM3 (/dev/ttyUSB0)", or the path alone when it was given as the name.
std::string deviceLabel(const std::string& name, const std::string& path) {
  if (path.empty() || path == name) return name;
  return name + " (" + path + ")";
}

std::string openFailureText(int error, const std::string& name, const std::string& path) {
  const std::string what = deviceLabel(name, path);
  const bool byNumber = name != path;
  switch (error) {
    case EACCES:
    case EPERM: {
      const std::string group = groupOf(path);
      return what + ": permission denied. Add your user to the '" + group +
             "' group (sudo usermod -aG " + group + " $USER), then log out and in again.";
    }
    case EBUSY:
      return what + " is in use by another program (or ModemManager is probing it); "
             "close that program and try again.";
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return what + " is not present: is the adapter plugged in?" +
             (byNumber ? " (COM numbers: Ports.ini)" : "");
    default:
      return what + ": " + std::strerror(error);
  }
}

// Per-byte write allowance: four byte times at the rate, at least 2 ms.
uint32_t writePerByteMs(TBaudRate rate) {
  const uint32_t baud = baudRateValue(rate);
  if (baud == 0) return 2;
  const uint32_t ms = (4 * 11'000 + baud - 1) / baud;
  return ms < 2 ? 2 : ms;
}

}  // namespace

TThreadComm::TThreadComm(std::unique_ptr<SerialDevice> device)
    : chooseDevice_(device == nullptr), device_(device ? std::move(device) : makePosixSerialDevice()) {}

TThreadComm::~TThreadComm() {
  Close();
  // A handler that closed the port itself may still be returning on the
  // event thread: wait for it before the handlers go away.
  std::lock_guard wait(*handlerGate_);
}

std::string TThreadComm::resolvePath() const {
  if (resolver_) return resolver_(deviceName_);
  if (isNetworkPortName(deviceName_)) return deviceName_;
  return !deviceName_.empty() && deviceName_.front() == '/' ? deviceName_ : std::string();
}

int TThreadComm::CreateHandle() {
  // The kind of device follows the name (closed here, so it may be swapped);
  // a device handed in by the owner is kept whatever the name.
  if (chooseDevice_) device_ = makeSerialDeviceFor(devicePath_);
  device_->setOpenTimeout(static_cast<int>(openTimeoutMs_));
  return device_->open(devicePath_);
}

void TThreadComm::DestroyHandle() {
  device_->close();
  enabled_ = false;
}

void TThreadComm::Open() {
  std::optional<CommError> remembered;
  {
    std::lock_guard lock(mutex_);
    if (enabled_) throw CommError(kErrPortAssigned, -1);
    lastOpenError_.clear();
    lastOpenErrorCode_ = 0;
    openNotice_.clear();
    devicePath_ = resolvePath();
    if (devicePath_.empty()) {
      lastOpenError_ = deviceName_ + " is not assigned to a serial device (see Ports.ini).";
      lastOpenErrorCode_ = -1;
      return;
    }
    if (const int error = CreateHandle(); error != 0) {
      const std::string told = device_->openFailure();
      lastOpenError_ = told.empty() ? openFailureText(error, deviceName_, devicePath_)
                                    : (deviceName_ != devicePath_ ? deviceName_ + ": " + told : told);
      lastOpenErrorCode_ = error;
      return;
    }
    enabled_ = true;
    openNotice_ = device_->openNotice();
    if (!device_->isCharacterDevice()) {
      DestroyHandle();
      lastOpenErrorCode_ = -1;
      lastOpenError_ = deviceLabel(deviceName_, devicePath_) + " is not a serial device (not a terminal).";
      return;
    }
    device_->setEventMask(kEvAll);
    // A device that refuses the settings is not left half open.
    try {
      UpdateCommTimeouts();
      UpdateDataControlBlock();
    } catch (...) {
      DestroyHandle();
      throw;
    }
    if (const int error = device_->setQueueSizes(readBufSize_, writeBufSize_); error != 0)
      remembered.emplace(kErrInitBuffers, error);
    try {
      thread_ = std::make_unique<TCommEventThread>(*device_, monitorEvents_, dispatcher_,
                                                   [this](uint32_t mask) { HandleCommEvent(mask); },
                                                   handlerGate_);
      thread_->Start();
    } catch (const std::system_error&) {
      thread_.reset();
      DestroyHandle();
    }
  }
  if (remembered) throw *remembered;
}

void TThreadComm::Close() {
  if (!enabled_) return;
  // The thread is stopped before the lock is taken: a handler running on the
  // event thread may itself be waiting for the lock.
  std::unique_ptr<TCommEventThread> thread;
  {
    std::lock_guard lock(mutex_);
    thread = std::move(thread_);
  }
  if (thread) {
    thread->Stop();
    lastEventMask_ = thread->LastEventMask();
  }
  std::lock_guard lock(mutex_);
  if (!enabled_) return;
  device_->purge(true, true);
  DestroyHandle();
}

int TThreadComm::Read(void* buffer, uint32_t count) {
  if (!enabled_) return -1;
  std::lock_guard lock(mutex_);
  if (!enabled_) return -1;
  uint32_t errors = 0;
  TComStat stat;
  device_->clearErrors(errors, stat);
  if (count == 0) return 0;
  const int n = device_->read(buffer, count);
  if (n <= 0) device_->clearErrors(errors, stat);
  return n < 0 ? 0 : n;
}

int TThreadComm::Write(const void* buffer, uint32_t count) {
  if (!enabled_) return -1;
  std::lock_guard lock(mutex_);
  if (!enabled_) return -1;
  const int n = device_->write(buffer, count);
  if (n <= 0) {
    uint32_t errors = 0;
    TComStat stat;
    device_->clearErrors(errors, stat);
  }
  return n < 0 ? 0 : n;
}

int TThreadComm::InQueCount() {
  if (!enabled_) return -1;
  uint32_t errors = 0;
  TComStat stat;
  device_->clearErrors(errors, stat);
  return static_cast<int>(stat.cbInQue);
}

int TThreadComm::OutQueCount() {
  if (!enabled_) return -1;
  uint32_t errors = 0;
  TComStat stat;
  device_->clearErrors(errors, stat);
  return static_cast<int>(stat.cbOutQue);
}

void TThreadComm::PurgeIn() {
  if (enabled_) device_->purge(true, false);
}

void TThreadComm::PurgeOut() {
  if (enabled_) device_->purge(false, true);
}

void TThreadComm::EscapeComm(uint32_t function) {
  if (!enabled_) throw CommError(kErrNotOpen, -1);
  std::lock_guard lock(mutex_);
  if (const int error = device_->escape(function); error != 0) throw CommError(kErrEscape, error);
}

void TThreadComm::SetDTRState(bool on) { EscapeComm(on ? kSetDtr : kClrDtr); }
void TThreadComm::SetRTSState(bool on) { EscapeComm(on ? kSetRts : kClrRts); }
void TThreadComm::SetXONState(bool on) { EscapeComm(on ? kSetXOn : kSetXOff); }

void TThreadComm::SetBREAKState(bool on) {
  EscapeComm(on ? kSetBreak : kClrBreak);
  if (enabled_) {
    std::lock_guard lock(mutex_);
    device_->purge(true, true);
  }
}

bool TThreadComm::GetModemState(int index) {
  if (!enabled_ || index < 1 || index > 4) return false;
  uint32_t bits = 0;
  if (device_->modemStatus(bits) != 0) return false;
  static constexpr uint32_t kBits[] = {kMsCtsOn, kMsDsrOn, kMsRingOn, kMsRlsdOn};
  return (bits & kBits[index - 1]) != 0;
}

bool TThreadComm::GetComState(int index) {
  if (!enabled_) return false;
  uint32_t errors = 0;
  TComStat stat;
  if (device_->clearErrors(errors, stat) != 0) return false;
  switch (index) {
    case 2: return stat.dsrHold;
    case 3: return stat.rlsdHold;
    case 4: return stat.xoffHold;
    case 5: return stat.xoffSent;
    default: return stat.ctsHold;
  }
}

void TThreadComm::CheckOpen() const {
  if (enabled_) throw CommError(kErrPortAssigned, -1);
}

void TThreadComm::UpdateDataControlBlock() {
  if (!enabled_) return;
  device_->setQueueSizes(readBufSize_, writeBufSize_);
  LineSettings s;
  if (const int error = device_->getLineSettings(s); error != 0) throw CommError(kErrUpdateDcb, error);
  s.baudRate = baudRateValue(baudRate_);
  s.parity = parity_;
  s.stopBits = stopBits_;
  s.dataBits = dataBitsValue(dataBits_);
  s.xonChar = eventChars_.XOnChar();
  s.xoffChar = eventChars_.XOffChar();
  s.errorChar = eventChars_.ErrorChar();
  s.eofChar = eventChars_.EofChar();
  s.evtChar = eventChars_.EvtChar();
  s.xonLimit = 1024;
  s.xoffLimit = 1024;
  s.parityCheck = options_.contains(coParityCheck);
  s.dsrSensitivity = options_.contains(coDsrSensitivity);
  s.txContinueOnXoff = options_.contains(coIgnoreXOff);
  s.errorReplace = options_.contains(coErrorChar);
  s.nullStrip = options_.contains(coNullStrip);
  // The handshake keeps what the device reports unless asked otherwise.
  switch (flowControl_) {
    case fcDefault: break;
    case fcNone: s.rtsCtsFlow = s.dtrDsrFlow = s.outX = s.inX = false; break;
    case fcCTS: s.rtsCtsFlow = true; s.dtrDsrFlow = s.outX = s.inX = false; break;
    case fcDTR: s.dtrDsrFlow = true; s.rtsCtsFlow = s.outX = s.inX = false; break;
    // Obey the peer's XON/XOFF; this side never sends XOFF (see ThreadComm.h).
    case fcSoftware: s.outX = true; s.inX = s.rtsCtsFlow = s.dtrDsrFlow = false; break;
  }
  if (const int error = device_->setLineSettings(s); error != 0) throw CommError(kErrUpdateDcb, error);
}

void TThreadComm::UpdateDataControlBlockLock() {
  std::lock_guard lock(mutex_);
  UpdateDataControlBlock();
}

void TThreadComm::UpdateCommTimeouts() {
  if (!enabled_) return;
  CommTimeouts timeouts;
  timeouts.readTotalMs = kReadTotalTimeoutMs;
  timeouts.writePerByteMs = writePerByteMs(baudRate_);
  if (const int error = device_->setTimeouts(timeouts); error != 0)
    throw CommError(kErrUpdateTimeouts, error);
}

void TThreadComm::HandleCommEvent(uint32_t mask) {
  uint32_t errors = 0;
  TComStat stat;
  if (enabled_) device_->clearErrors(errors, stat);
  if ((mask & kEvBreak) && OnBreak) OnBreak(*this);
  if ((mask & kEvCts) && OnCts) OnCts(*this);
  if ((mask & kEvDsr) && OnDsr) OnDsr(*this);
  if ((mask & kEvError) && OnError) OnError(*this, errors);
  if ((mask & kEvRing) && OnRing) OnRing(*this);
  if ((mask & kEvRlsd) && OnRlsd) OnRlsd(*this);
  if ((mask & kEvRxChar) && stat.cbInQue > 0 && OnRxChar) OnRxChar(*this, stat.cbInQue);
  if ((mask & kEvRxFlag) && OnRxFlag) OnRxFlag(*this);
  if ((mask & kEvTxEmpty) && OnTxEmpty) OnTxEmpty(*this);
  if (OnComStatEvent) OnComStatEvent(*this, mask, stat);
}

void TThreadComm::SetDeviceName(const std::string& name) {
  if (!enabled_ && name != deviceName_) deviceName_ = name;
}
void TThreadComm::SetReadBufSize(uint16_t size) {
  if (!enabled_ && size != readBufSize_) readBufSize_ = size;
}
void TThreadComm::SetWriteBufSize(uint16_t size) {
  if (!enabled_ && size != writeBufSize_) writeBufSize_ = size;
}
void TThreadComm::SetMonitorEvents(TCommEventTypes events) {
  if (!enabled_ && events != monitorEvents_) monitorEvents_ = events;
}

void TThreadComm::setLineProperty(auto& field, auto value) {
  if (field == value) return;
  field = value;
  UpdateDataControlBlockLock();
}

void TThreadComm::SetBaudRate(TBaudRate rate) {
  if (rate == baudRate_) return;
  baudRate_ = rate;
  std::lock_guard lock(mutex_);
  UpdateDataControlBlock();
  UpdateCommTimeouts();  // the write allowance follows the rate
}
void TThreadComm::SetParity(TParity parity) { setLineProperty(parity_, parity); }
void TThreadComm::SetStopBits(TStopBits bits) { setLineProperty(stopBits_, bits); }
void TThreadComm::SetDataBits(TDataBits bits) { setLineProperty(dataBits_, bits); }
void TThreadComm::SetOptions(TCommOptions options) { setLineProperty(options_, options); }
void TThreadComm::SetFlowControl(TFlowControl flow) { setLineProperty(flowControl_, flow); }

std::string TThreadComm::DeviceLabel() const { return deviceLabel(deviceName_, devicePath_); }

bool TThreadComm::HungUp() const { return enabled_ && device_->hungUp(); }

int TThreadComm::WaitInput(int timeoutMs) {
  if (!enabled_) return -1;
  return device_->waitInput(timeoutMs);
}

uint32_t TThreadComm::LastEventMask() const {
  if (thread_) return thread_->LastEventMask();
  return lastEventMask_;
}

// ---- OwnerQueue.

struct OwnerQueue::State {
  struct Item {
    std::function<void()> task;
    bool done = false;
  };
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<std::shared_ptr<Item>> queue;
  bool shutDown = false;
};

OwnerQueue::OwnerQueue() : state_(std::make_shared<State>()) {}
OwnerQueue::~OwnerQueue() { shutdown(); }

CommDispatcher OwnerQueue::dispatcher() const {
  return [state = state_](std::function<void()> task) {
    auto item = std::make_shared<State::Item>();
    item->task = std::move(task);
    std::unique_lock lock(state->mutex);
    if (state->shutDown) return;
    state->queue.push_back(item);
    state->changed.notify_all();
    state->changed.wait(lock, [&] { return item->done || state->shutDown; });
  };
}

int OwnerQueue::pump() {
  int ran = 0;
  for (;;) {
    std::shared_ptr<State::Item> item;
    {
      std::lock_guard lock(state_->mutex);
      if (state_->queue.empty()) return ran;
      item = state_->queue.front();
      state_->queue.pop_front();
    }
    item->task();
    ++ran;
    std::lock_guard lock(state_->mutex);
    item->done = true;
    state_->changed.notify_all();
  }
}

int OwnerQueue::waitAndPump(int timeoutMs) {
  {
    std::unique_lock lock(state_->mutex);
    state_->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return !state_->queue.empty() || state_->shutDown; });
  }
  return pump();
}

void OwnerQueue::shutdown() {
  std::lock_guard lock(state_->mutex);
  state_->shutDown = true;
  state_->queue.clear();
  state_->changed.notify_all();
}

}  // namespace zar
