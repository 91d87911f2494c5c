#include "link/Link.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "base/Settings.h"
#include "link/Frames.h"
#include "link/PortNames.h"

namespace zar {

using Clock = std::chrono::steady_clock;

namespace {

void appendHex(std::string& trace, unsigned char byte) {
  char text[8];
  std::snprintf(text, sizeof text, "%02x ", byte);
  trace += text;
}

long long msSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

}  // namespace

LinkSettings LinkSettings::from(const Settings& s) {
  LinkSettings l;
  l.timeoutMs = s.timeOut;
  l.byteDelayMs = s.byteDelay;
  l.transitMode = s.transitMode;
  l.receiveTrace = s.receiveTrace;
  l.sendTrace = s.sendTrace;
  l.baudSelector = s.baudSelector;
  l.reconnectDelayMs = s.reconnectDelay;
  return l;
}

TBaudRate baudRateForSelector(int selector) {
  switch (selector) {
    case 1: return br1200;
    case 2: return br2400;
    case 3: return br4800;
    case 5: return br19200;
    default: return br9600;
  }
}

Link::Link(TComm& comm, LinkSettings settings, const MessageLog& log, PortDirectory* ports)
    : comm_(comm), settings_(settings), log_(log), ports_(ports) {
  if (ports_) comm_.SetPathResolver([ports](const std::string& name) { return ports->devicePathFor(name); });
}

std::string Link::deviceNameFor(int comIndex) {
  std::string name = "COM" + std::to_string(comIndex + 1);
  if (comIndex > 8) name = "\\\\.\\" + name;
  return name;
}

void Link::ConnectRS232(int comIndex) {
  if (stopIfCancelled()) return;
  if (comm_.Enabled()) comm_.Close();
  deviceName_ = devicePath_.empty() ? deviceNameFor(comIndex) : devicePath_;
  lastOpenError_.clear();
  std::string refused;  // a line setting the device would not take
  try {
    comm_.SetDeviceName(deviceName_);
    comm_.SetBaudRate(baudRateForSelector(settings_.baudSelector));
    comm_.SetDataBits(da8);
    comm_.SetParity(paNone);
    // A network port waits no longer for its server than for a reply.
    comm_.SetOpenTimeout(static_cast<uint32_t>(std::max(settings_.timeoutMs, 1)));
    comm_.Open();
  } catch (const CommError& e) {
    // A refused setting closes the port; refused queue sizes leave it open.
    refused = e.what();
  }
  const std::string label = comm_.DeviceLabel();
  if (comm_.Enabled()) {
    log_.add(101, label);
    if (!comm_.OpenNotice().empty()) log_.add(0, comm_.OpenNotice());
    if (!refused.empty()) log_.add(0, label + ": " + refused);
    try {
      comm_.SetRTSState(true);
      comm_.SetDTRState(true);
    } catch (const CommError& e) {
      log_.add(0, label + ": " + e.what());
      closeLink();
    }
    return;
  }
  comm_.Close();
  log_.add(102, label);
  // Every cause gets its line, naming the device tried: the person can act
  // on most of them (plug in, free the port, rights, the port number).
  lastOpenError_ = refused.empty() ? comm_.LastOpenError()
                                   : label + " refused the line settings (" +
                                         std::to_string(baudRateValue(comm_.BaudRate())) +
                                         " baud, 8 data bits, no parity): " + refused;
  if (lastOpenError_.empty()) lastOpenError_ = label + " did not open.";
  log_.add(0, lastOpenError_);
}

void Link::DelayMs(unsigned ms) {
  if (ms == 0) return;
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool Link::pause(unsigned ms) {
  const auto end = Clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    if (cancelRequested()) return false;
    const auto left = end - Clock::now();
    if (left <= Clock::duration::zero()) return true;
    std::this_thread::sleep_for(std::min<Clock::duration>(left, std::chrono::milliseconds(kPumpIntervalMs)));
  }
}

bool Link::stopIfCancelled() {
  if (!cancelRequested()) return false;
  if (!cancelled_) {
    cancelled_ = true;
    log_.add(0, kCancelledText);
  }
  failClosed();
  return true;
}

void Link::clearCancel() noexcept {
  cancelRequest_.store(false, std::memory_order_relaxed);
  cancelled_ = false;
}

void Link::closeLink() {
  if (!comm_.Enabled()) return;
  comm_.Close();
  log_.add(107);
}

void Link::failClosed() {
  if (comm_.Enabled()) {
    comm_.Close();
    log_.add(107);
  }
}

bool Link::TransToZAR(std::string_view frame) { return transmit(frame, false); }
bool Link::TransStr(std::string_view frame) { return transmit(frame, true); }

bool Link::transmit(std::string_view frame, bool withText) {
  // A frame boundary: a cancelled dialogue sends nothing more.
  if (stopIfCancelled()) return false;
  std::string trace = "TRN: ";
  if (withText) trace += frame;
  bool ok = true;
  if (settings_.transitMode == 1) {
    if (!frame.empty()) {
      const int n = comm_.Write(frame.data(), static_cast<uint32_t>(frame.size()));
      // -1 (closed port) counts as sent; a short write does not.
      ok = n < 0 || n == static_cast<int>(frame.size());
      if (n > 0) progress_.countSent(static_cast<size_t>(n));
    }
  } else {
    const unsigned delay = static_cast<unsigned>(std::max(settings_.byteDelayMs, 0));
    for (const char c : frame) {
      appendHex(trace, static_cast<unsigned char>(c));
      const int n = comm_.Write(&c, 1);
      if (n == 0) {
        ok = false;
        break;
      }
      if (n > 0) progress_.countSent(1);
      DelayMs(delay);
    }
  }
  if (!ok) {
    if (comm_.HungUp()) log_.add(0, kHungUpText);
    else log_.add(104);
    failClosed();
    return false;
  }
  if (settings_.sendTrace) log_.add(0, trace);
  return true;
}

// One byte attempt: like a one-byte read with the port's read time-out, but
// waiting in short slices with the event pump in between. 1: a byte came;
// 0: none within the read time-out; -1: the port is closed or hung up;
// kReadCancelled: a cancel was requested meanwhile.
int Link::readOneByte(unsigned char& byte, long long timeoutMs, Clock::time_point start) {
  if (cancelRequested()) return kReadCancelled;
  if (!comm_.Enabled()) {
    // A read on a closed port fails at once; wait a slice (not a busy loop)
    // so the caller's time-out check comes round at the usual pace.
    const long long left = timeoutMs - msSince(start);
    if (left > 0) std::this_thread::sleep_for(std::chrono::milliseconds(std::min<long long>(left, kPumpIntervalMs)));
    return -1;
  }
  const auto attemptEnd = Clock::now() + std::chrono::milliseconds(TThreadComm::kReadTotalTimeoutMs);
  for (;;) {
    const long long left = std::chrono::ceil<std::chrono::milliseconds>(attemptEnd - Clock::now()).count();
    const int ready = comm_.WaitInput(static_cast<int>(std::clamp<long long>(left, 0, kPumpIntervalMs)));
    if (ready < 0) return -1;
    if (ready > 0 && comm_.Read(&byte, 1) == 1) return 1;
    if (Clock::now() >= attemptEnd) return 0;
    log_.op().processEvents();
    if (cancelRequested()) return kReadCancelled;
  }
}

bool Link::receive(int limit, int report, bool progNo) {
  buffer_.clear();
  const Clock::time_point start = Clock::now();
  const long long timeoutMs = std::max(settings_.timeoutMs, 0);
  int count = 0;
  bool complete = false;
  do {
    if (stopIfCancelled()) {
      buffer_.clear();
      return false;
    }
    log_.op().processEvents();
    unsigned char byte = 0;
    const int got = readOneByte(byte, timeoutMs, start);
    if (got == 1) {
      buffer_.push_back(static_cast<char>(byte));
      progress_.countReceived(1);
      ++count;
      complete = byte == frames::LF || byte == frames::ETX;
    } else if (got == kReadCancelled) {
      continue;  // acted on at the top
    } else if (const bool hungUp = comm_.HungUp(); hungUp || msSince(start) >= timeoutMs) {
      // A hang-up is seen at once (the line reports it); it is not a silent controller.
      buffer_.clear();
      if (hungUp) log_.add(0, kHungUpText);
      else log_.add(103);
      log_.op().beep();
      failClosed();
      return false;
    }
  } while (!complete && count < limit);

  const std::string_view text = reply();
  std::string trace = "RCV: ";
  for (const char c : text) appendHex(trace, static_cast<unsigned char>(c));
  if (settings_.receiveTrace) log_.add(0, trace);

  if (text != frames::kNak) return true;
  const Page page = log_.op().currentPage();
  if (progNo) {
    if (report == 1 && page == Page::Program) log_.addTo(Page::Program, 122);
    return false;
  }
  if (report == 1) {
    const int refusal = page == Page::Parameter ? 142 : page == Page::Program ? 122 : page == Page::Plc ? 162 : 0;
    if (refusal) log_.addTo(page, refusal);
    log_.op().beep();
    failClosed();
  }
  return false;
}

bool Link::ReceiveFromZAR(int limit, int report) { return receive(limit, report, false); }
bool Link::ReceiveZARProgNo(int limit, int report) { return receive(limit, report, true); }

std::string_view Link::reply() const {
  const std::string_view all(buffer_);
  return all.substr(0, all.find('\0'));
}

}  // namespace zar
