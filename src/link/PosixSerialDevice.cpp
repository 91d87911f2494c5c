// The serial device on Linux: a tty opened non-blocking and exclusively,
// driven with termios2 (so that rates without a B-constant work through
// BOTHER), poll() for waits, an eventfd to wake the event thread, and a
// helper thread for modem-line waits (TIOCMIWAIT) that is interrupted with a
// private real-time signal when the port closes.
//
// The line is raw: every byte is data, 0x11, 0x13, 0x00 and 0xFF included
// (no software flow control unless asked for, no CR/LF translation, no
// signals, no parity marks). Settings the tty cannot carry out are refused
// with EINVAL rather than dropped; see the rule in ThreadComm.h.
//
// <termios.h> must not be included here: it clashes with <asm/termbits.h>.

#include <asm/termbits.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include "link/PosixSerialDevice.h"

namespace zar {
namespace {

using Clock = std::chrono::steady_clock;

struct SpeedCode {
  uint32_t rate;
  tcflag_t code;
};

constexpr SpeedCode kSpeedCodes[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},
    {150, B150},       {200, B200},       {300, B300},       {600, B600},
    {1200, B1200},     {1800, B1800},     {2400, B2400},     {4800, B4800},
    {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},
    {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
};

// While read input waits unread, the event thread looks again at this interval
// instead of polling the (still readable) descriptor in a tight loop.
constexpr int kUnreadRecheckMs = 50;

// Byte time on the line, with start, parity and two stop bits: 11 bits.
uint32_t byteTimeUs(uint32_t baud) { return baud ? 11'000'000u / baud + 1 : 1000; }

uint32_t rateOf(const termios2& t) {
  const tcflag_t code = t.c_cflag & CBAUD;
  if (code == BOTHER) return t.c_ospeed;
  for (const SpeedCode& s : kSpeedCodes)
    if (s.code == code) return s.rate;
  return 0;
}

int remainingMs(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
  if (left.count() <= 0) return 0;
  return static_cast<int>((left.count() + 999) / 1000);
}

// The signal that interrupts a modem-line wait. Installed once, only when
// nobody else uses it; without it modem-line events are not reported.
int modemWakeSignal() { return SIGRTMAX - 3; }
void ignoreSignal(int) {}

bool installModemWakeSignal() {
  static std::once_flag once;
  static bool installed = false;
  std::call_once(once, [] {
    struct sigaction old {};
    if (sigaction(modemWakeSignal(), nullptr, &old) != 0) return;
    if ((old.sa_flags & SA_SIGINFO) == 0 && old.sa_handler == ignoreSignal) {
      installed = true;
      return;
    }
    if ((old.sa_flags & SA_SIGINFO) != 0 || old.sa_handler != SIG_DFL) return;
    struct sigaction sa {};
    sa.sa_handler = ignoreSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;  // no SA_RESTART: the blocked ioctl must return EINTR
    installed = sigaction(modemWakeSignal(), &sa, nullptr) == 0;
  });
  return installed;
}

bool isPtySlaveMajor(unsigned major) {
  return (major >= 136 && major <= 143) || major == 3;  // Unix98 and legacy slaves
}

class PosixSerialDevice final : public SerialDevice {
 public:
  explicit PosixSerialDevice(TtyCalls calls) : calls_(std::move(calls)) {}
  ~PosixSerialDevice() override { close(); }

  int open(const std::string& path) override;
  bool isCharacterDevice() const override { return isTty_; }
  bool isPseudoTerminal() const override { return isPty_; }
  void close() override;

  int setQueueSizes(uint32_t, uint32_t) override { return 0; }  // the kernel sizes its queues
  int getLineSettings(LineSettings& settings) override;
  int setLineSettings(const LineSettings& settings) override;
  int setTimeouts(const CommTimeouts& timeouts) override {
    timeouts_ = timeouts;
    return 0;
  }

  int setEventMask(uint32_t mask) override;
  WaitResult waitEvent() override;
  void wakeWaiter() override {
    wakeRequested_ = true;
    notify();
  }

  int clearErrors(uint32_t& errors, TComStat& status) override;
  int modemStatus(uint32_t& bits) override;
  int escape(uint32_t function) override;
  int purge(bool input, bool output) override;

  int read(void* buffer, uint32_t count) override;
  int write(const void* buffer, uint32_t count) override;
  int waitInput(int timeoutMs) override;
  bool hungUp() const override { return hungUp_; }

 private:
  void notify() {
    if (notifyFd_ < 0) return;
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(notifyFd_, &one, sizeof one);
  }
  uint32_t lineErrorEvents();
  void startWatcher();
  void stopWatcher();
  void watchModemLines();
  int drainOutput(Clock::time_point deadline);

  TtyCalls calls_;
  int fd_ = -1;
  int notifyFd_ = -1;
  bool isTty_ = false;
  bool isPty_ = false;
  bool haveSaved_ = false;
  termios2 saved_{};
  LineSettings applied_{};  // owner thread only
  CommTimeouts timeouts_{};
  std::atomic<uint32_t> baud_{9600};    // copies for the event thread
  std::atomic<bool> rtsCts_{false};

  std::atomic<uint32_t> mask_{0};
  std::atomic<bool> hungUp_{false};
  std::atomic<bool> wakeRequested_{false};
  std::atomic<uint32_t> modemEvents_{0};
  std::atomic<bool> txPending_{false};
  long rxReported_ = -1;  // input count last reported; -1: waiting for new input

  std::mutex countMutex_;
  bool haveCounters_ = false;
  serial_icounter_struct errorBase_{};  // counters at the last clearErrors
  serial_icounter_struct eventBase_{};  // counters at the last event check

  std::thread watcher_;
  std::atomic<bool> watcherStop_{false};
  std::atomic<bool> watcherDone_{false};
};

// A fresh tty starts with XON/XOFF flow control and CR to LF translation on:
// both would change or swallow program text and line noise.
void makeRaw(termios2& t) {
  t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                      IUCLC | IXON | IXOFF | IXANY | IMAXBEL);
  t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  t.c_cflag |= CREAD | CLOCAL;
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
}

// Many USB serial adapters hold received bytes up to 16 ms before passing
// them on; with one short reply per program line that is more than the
// whole wire time. Asking for low latency costs nothing where the driver
// does not know it: it is only a request, and the open never fails for it.
static void askLowLatency(int fd) {
  serial_struct serial {};
  if (::ioctl(fd, TIOCGSERIAL, &serial) != 0) return;
  if (serial.flags & ASYNC_LOW_LATENCY) return;
  serial.flags |= ASYNC_LOW_LATENCY;
  ::ioctl(fd, TIOCSSERIAL, &serial);
}

int PosixSerialDevice::open(const std::string& path) {
  if (fd_ >= 0) return EBUSY;
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return errno;
  // TIOCEXCL keeps other programs out, but not root; the lock also stops a
  // second open by anyone who asks for it (every well-behaved serial program).
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int e = errno;
    ::close(fd);
    return e == EWOULDBLOCK ? EBUSY : e;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    const int e = errno;
    ::close(fd);
    return e;
  }
  fd_ = fd;
  hungUp_ = false;
  wakeRequested_ = false;
  modemEvents_ = 0;
  txPending_ = false;
  rxReported_ = -1;
  mask_ = 0;
  isTty_ = false;
  isPty_ = false;
  haveSaved_ = false;
  if (S_ISCHR(st.st_mode) && ::ioctl(fd, TCGETS2, &saved_) == 0) {
    isTty_ = true;
    haveSaved_ = true;
    isPty_ = isPtySlaveMajor(major(st.st_rdev));
    ::ioctl(fd, TIOCEXCL);
    termios2 raw = saved_;
    makeRaw(raw);
    ::ioctl(fd, TCSETS2, &raw);
    if (!isPty_) askLowLatency(fd);
    std::lock_guard lock(countMutex_);
    haveCounters_ = ::ioctl(fd, TIOCGICOUNT, &errorBase_) == 0;
    eventBase_ = errorBase_;
  }
  notifyFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  return 0;
}

void PosixSerialDevice::close() {
  stopWatcher();
  if (fd_ >= 0) {
    if (haveSaved_) ::ioctl(fd_, TCSETS2, &saved_);
    if (isTty_) ::ioctl(fd_, TIOCNXCL);
    ::close(fd_);  // also releases the lock
    fd_ = -1;
  }
  if (notifyFd_ >= 0) {
    ::close(notifyFd_);
    notifyFd_ = -1;
  }
  isTty_ = isPty_ = haveSaved_ = false;
  mask_ = 0;
}

int PosixSerialDevice::getLineSettings(LineSettings& s) {
  if (fd_ < 0) return EBADF;
  termios2 t{};
  if (::ioctl(fd_, TCGETS2, &t) != 0) return errno;
  s = applied_;  // what the tty does not hold (characters it ignores, limits, options)
  s.baudRate = rateOf(t);
  switch (t.c_cflag & CSIZE) {
    case CS5: s.dataBits = 5; break;
    case CS6: s.dataBits = 6; break;
    case CS7: s.dataBits = 7; break;
    default: s.dataBits = 8; break;
  }
  if (!(t.c_cflag & PARENB)) s.parity = paNone;
  else if (t.c_cflag & CMSPAR) s.parity = (t.c_cflag & PARODD) ? paMark : paSpace;
  else s.parity = (t.c_cflag & PARODD) ? paOdd : paEven;
  s.stopBits = sb10;
  if (t.c_cflag & CSTOPB) s.stopBits = (s.dataBits == 5 && applied_.stopBits == sb15) ? sb15 : sb20;
  s.xonChar = static_cast<char>(t.c_cc[VSTART]);
  s.xoffChar = static_cast<char>(t.c_cc[VSTOP]);
  s.rtsCtsFlow = (t.c_cflag & CRTSCTS) != 0;
  s.dtrDsrFlow = false;
  s.outX = (t.c_iflag & IXON) != 0;
  s.inX = (t.c_iflag & IXOFF) != 0;
  return 0;
}

int PosixSerialDevice::setLineSettings(const LineSettings& s) {
  if (fd_ < 0) return EBADF;
  termios2 t{};
  if (::ioctl(fd_, TCGETS2, &t) != 0) return errno;
  makeRaw(t);

  if (s.baudRate == 0) return EINVAL;
  tcflag_t code = BOTHER;
  for (const SpeedCode& sc : kSpeedCodes)
    if (sc.rate == s.baudRate) code = sc.code;
  t.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
  t.c_cflag |= code;  // input rate follows the output rate
  t.c_ispeed = t.c_ospeed = s.baudRate;

  t.c_cflag &= ~static_cast<tcflag_t>(CSIZE);
  switch (s.dataBits) {
    case 5: t.c_cflag |= CS5; break;
    case 6: t.c_cflag |= CS6; break;
    case 7: t.c_cflag |= CS7; break;
    case 8: t.c_cflag |= CS8; break;
    default: return EINVAL;  // a UART has no 4-bit characters
  }
  t.c_cflag &= ~static_cast<tcflag_t>(PARENB | PARODD | CMSPAR);
  switch (s.parity) {
    case paNone: break;
    case paOdd: t.c_cflag |= PARENB | PARODD; break;
    case paEven: t.c_cflag |= PARENB; break;
    case paMark: t.c_cflag |= PARENB | PARODD | CMSPAR; break;
    case paSpace: t.c_cflag |= PARENB | CMSPAR; break;
  }
  t.c_cflag &= ~static_cast<tcflag_t>(CSTOPB);
  if (s.stopBits == sb20) t.c_cflag |= CSTOPB;
  if (s.stopBits == sb15) {
    if (s.dataBits != 5) return EINVAL;  // 1.5 stop bits exist only with 5 data bits
    t.c_cflag |= CSTOPB;
  }

  t.c_cc[VSTART] = static_cast<cc_t>(s.xonChar);
  t.c_cc[VSTOP] = static_cast<cc_t>(s.xoffChar);

  // Parity checking drops bad bytes, unless they are to be replaced; the
  // tty can only replace them by NUL.
  if (s.parityCheck && s.errorReplace && s.errorChar != 0) return EINVAL;
  t.c_iflag &= ~static_cast<tcflag_t>(INPCK | IGNPAR);
  if (s.parityCheck) t.c_iflag |= s.errorReplace ? INPCK : (INPCK | IGNPAR);

  // No DTR/DSR handshake and no input gating by DSR on Linux. Sending XOFF
  // ourselves is refused too: the tty would do it at its own fill levels,
  // not at the limits asked, and keep sending meanwhile.
  if (s.dtrDsrFlow || s.dsrSensitivity || s.inX) return EINVAL;
  t.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
  if (s.rtsCtsFlow) t.c_cflag |= CRTSCTS;
  t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF);
  if (s.outX) t.c_iflag |= IXON;

  if (::ioctl(fd_, TCSETS2, &t) != 0) return errno;

  // Drivers substitute what they cannot do without saying so: read back.
  termios2 back{};
  if (::ioctl(fd_, TCGETS2, &back) != 0) return errno;
  const uint32_t got = rateOf(back);
  const uint32_t tolerance = s.baudRate / 50;  // 2 %, what a UART tolerates
  if (got + tolerance < s.baudRate || got > s.baudRate + tolerance) return EINVAL;
  // A pseudo-terminal has no line: it forces 8 data bits without parity.
  constexpr tcflag_t framing = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB;
  if (!isPty_ && (back.c_cflag & framing) != (t.c_cflag & framing)) return EINVAL;
  if ((back.c_cflag & CRTSCTS) != (t.c_cflag & CRTSCTS)) return EINVAL;
  constexpr tcflag_t software = IXON | IXOFF | IXANY;
  if ((back.c_iflag & software) != (t.c_iflag & software)) return EINVAL;

  applied_ = s;
  baud_ = s.baudRate;
  rtsCts_ = s.rtsCtsFlow;
  return 0;
}

int PosixSerialDevice::setEventMask(uint32_t mask) {
  mask_ = mask;
  if ((mask & (kEvCts | kEvDsr | kEvRing | kEvRlsd)) && !isPty_ && isTty_) startWatcher();
  return 0;
}

uint32_t PosixSerialDevice::lineErrorEvents() {
  if (!haveCounters_) return 0;
  serial_icounter_struct now{};
  if (::ioctl(fd_, TIOCGICOUNT, &now) != 0) return 0;
  uint32_t events = 0;
  if (now.brk != eventBase_.brk) events |= kEvBreak;
  if (now.frame != eventBase_.frame || now.overrun != eventBase_.overrun ||
      now.parity != eventBase_.parity || now.buf_overrun != eventBase_.buf_overrun)
    events |= kEvError;
  eventBase_ = now;
  return events;
}

SerialDevice::WaitResult PosixSerialDevice::waitEvent() {
  WaitResult result;
  if (fd_ < 0 || notifyFd_ < 0) {
    result.error = EBADF;
    return result;
  }
  for (;;) {
    const bool watchLine = !hungUp_;
    const bool wantInput = (mask_ & (kEvRxChar | kEvBreak | kEvError)) != 0;
    const bool armed = rxReported_ < 0;
    pollfd fds[2] = {{notifyFd_, POLLIN, 0}, {watchLine ? fd_ : -1, 0, 0}};
    if (wantInput && armed) fds[1].events = POLLIN;
    int timeout = -1;
    if (watchLine && wantInput && !armed) timeout = kUnreadRecheckMs;
    if (watchLine && txPending_) {
      int out = 0;
      ::ioctl(fd_, TIOCOUTQ, &out);
      const int drainMs = static_cast<int>(
          (static_cast<uint64_t>(std::max(out, 0)) * byteTimeUs(baud_)) / 1000 + 1);
      timeout = timeout < 0 ? drainMs : std::min(timeout, drainMs);
    }
    const int r = ::poll(fds, 2, timeout);
    if (r < 0) {
      if (errno == EINTR) continue;
      result.error = errno;
      return result;
    }
    uint32_t events = 0;
    if (fds[0].revents & POLLIN) {
      uint64_t value = 0;
      [[maybe_unused]] ssize_t n = ::read(notifyFd_, &value, sizeof value);
      if (wakeRequested_.exchange(false)) {
        result.woken = true;
        return result;
      }
      events |= modemEvents_.exchange(0);
    }
    if (watchLine) {
      if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) {
        hungUp_ = true;
        result.hangup = true;
        return result;
      }
      if (wantInput && ((fds[1].revents & POLLIN) || !armed)) {
        int pending = 0;
        if (::ioctl(fd_, FIONREAD, &pending) != 0) pending = 0;
        if (pending > rxReported_ && pending > 0) {
          events |= kEvRxChar;
          rxReported_ = pending;
        } else if (pending == 0 && !armed) {
          rxReported_ = -1;  // all read: wait for new input again
        } else {
          rxReported_ = pending;  // read in part, or readable without data: look again later
        }
        events |= lineErrorEvents();
      }
      if (txPending_) {
        int out = 0;
        if (::ioctl(fd_, TIOCOUTQ, &out) != 0 || out <= 0) {
          txPending_ = false;
          events |= kEvTxEmpty;
        }
      }
    }
    events &= mask_;
    if (events) {
      result.events = events;
      return result;
    }
  }
}

int PosixSerialDevice::clearErrors(uint32_t& errors, TComStat& status) {
  errors = 0;
  status = TComStat{};
  if (fd_ < 0) return EBADF;
  {
    std::lock_guard lock(countMutex_);
    serial_icounter_struct now{};
    if (haveCounters_ && ::ioctl(fd_, TIOCGICOUNT, &now) == 0) {
      if (now.buf_overrun != errorBase_.buf_overrun) errors |= kErrRxOver;
      if (now.overrun != errorBase_.overrun) errors |= kErrOverrun;
      if (now.parity != errorBase_.parity) errors |= kErrParity;
      if (now.frame != errorBase_.frame) errors |= kErrFrame;
      if (now.brk != errorBase_.brk) errors |= kErrBreak;
      errorBase_ = now;
    }
  }
  int in = 0;
  if (::ioctl(fd_, FIONREAD, &in) != 0) return errno;
  int out = 0;
  if (::ioctl(fd_, TIOCOUTQ, &out) != 0) out = 0;
  status.cbInQue = static_cast<uint32_t>(std::max(in, 0));
  status.cbOutQue = static_cast<uint32_t>(std::max(out, 0));
  if (rtsCts_ && !isPty_) {
    int lines = 0;
    if (::ioctl(fd_, TIOCMGET, &lines) == 0) status.ctsHold = (lines & TIOCM_CTS) == 0;
  }
  return 0;
}

int PosixSerialDevice::modemStatus(uint32_t& bits) {
  bits = 0;
  if (fd_ < 0) return EBADF;
  int lines = 0;
  if (::ioctl(fd_, TIOCMGET, &lines) != 0) return errno;
  if (lines & TIOCM_CTS) bits |= kMsCtsOn;
  if (lines & TIOCM_DSR) bits |= kMsDsrOn;
  if (lines & TIOCM_RNG) bits |= kMsRingOn;
  if (lines & TIOCM_CAR) bits |= kMsRlsdOn;
  return 0;
}

int PosixSerialDevice::escape(uint32_t function) {
  if (fd_ < 0) return EBADF;
  int r = 0;
  int line = 0;
  switch (function) {
    case kSetRts: line = TIOCM_RTS; r = ::ioctl(fd_, TIOCMBIS, &line); break;
    case kClrRts: line = TIOCM_RTS; r = ::ioctl(fd_, TIOCMBIC, &line); break;
    case kSetDtr: line = TIOCM_DTR; r = ::ioctl(fd_, TIOCMBIS, &line); break;
    case kClrDtr: line = TIOCM_DTR; r = ::ioctl(fd_, TIOCMBIC, &line); break;
    case kSetBreak: r = ::ioctl(fd_, TIOCSBRK); break;
    case kClrBreak: r = ::ioctl(fd_, TIOCCBRK); break;
    case kSetXOn: r = ::ioctl(fd_, TCXONC, TCOON); break;
    case kSetXOff: r = ::ioctl(fd_, TCXONC, TCOOFF); break;
    default: return EINVAL;
  }
  if (r == 0) return 0;
  const int e = errno;
  // A pseudo-terminal has no modem lines to drive: nothing to do there.
  if (isPty_ && line != 0 && (e == ENOTTY || e == EINVAL)) return 0;
  return e;
}

int PosixSerialDevice::purge(bool input, bool output) {
  if (fd_ < 0) return EBADF;
  if (!input && !output) return 0;
  const int which = input && output ? TCIOFLUSH : (input ? TCIFLUSH : TCOFLUSH);
  return ::ioctl(fd_, TCFLSH, which) == 0 ? 0 : errno;
}

int PosixSerialDevice::read(void* buffer, uint32_t count) {
  if (fd_ < 0 || count == 0) return 0;
  auto* out = static_cast<unsigned char*>(buffer);
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeouts_.readTotalMs);
  uint32_t got = 0;
  bool last = hungUp_;  // after a hang-up, take what is there and stop
  for (;;) {
    const ssize_t n = calls_.read(fd_, out + got, count - got);
    if (n > 0) {
      uint32_t kept = static_cast<uint32_t>(n);
      if (applied_.nullStrip) {
        unsigned char* begin = out + got;
        kept = static_cast<uint32_t>(std::remove(begin, begin + n, 0) - begin);
      }
      got += kept;
      if (got >= count) break;
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) {
      if (errno == EIO) hungUp_ = true;
      break;
    }
    if (last) break;
    const int wait = remainingMs(deadline);
    if (wait <= 0) break;
    pollfd p{fd_, POLLIN, 0};
    const int r = calls_.poll(&p, 1, wait);
    if (r < 0 && errno != EINTR) break;
    if (r > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) {
      hungUp_ = true;
      last = true;  // one more read for what arrived before the hang-up
    }
  }
  return static_cast<int>(got);
}

int PosixSerialDevice::drainOutput(Clock::time_point deadline) {
  for (;;) {
    int out = 0;
    if (::ioctl(fd_, TIOCOUTQ, &out) != 0 || out <= 0) return 0;
    const int wait = remainingMs(deadline);
    if (wait <= 0) return out;
    const uint64_t us = static_cast<uint64_t>(out) * byteTimeUs(baud_);
    std::this_thread::sleep_for(
        std::chrono::microseconds(std::min<uint64_t>(us, static_cast<uint64_t>(wait) * 1000)));
  }
}

int PosixSerialDevice::write(const void* buffer, uint32_t count) {
  if (fd_ < 0 || hungUp_ || count == 0) return 0;
  const auto* in = static_cast<const unsigned char*>(buffer);
  const bool limited = timeouts_.writePerByteMs != 0;
  const auto deadline =
      Clock::now() + std::chrono::milliseconds(static_cast<uint64_t>(timeouts_.writePerByteMs) * count);
  uint32_t sent = 0;
  while (sent < count) {
    const ssize_t n = calls_.write(fd_, in + sent, count - sent);
    if (n > 0) {
      sent += static_cast<uint32_t>(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) {
      if (errno == EIO) hungUp_ = true;
      break;
    }
    const int wait = limited ? remainingMs(deadline) : -1;
    if (limited && wait <= 0) break;
    pollfd p{fd_, POLLOUT, 0};
    const int r = calls_.poll(&p, 1, wait);
    if (r < 0 && errno != EINTR) break;
    if (r > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) {
      hungUp_ = true;
      break;
    }
  }
  // A write completes when its bytes have left, as far as the time-out allows,
  // so that closing right after it (which purges) loses nothing.
  if (sent > 0) {
    drainOutput(limited ? deadline : Clock::now() + std::chrono::seconds(5));
    if (mask_ & kEvTxEmpty) {
      txPending_ = true;
      notify();
    }
  }
  return static_cast<int>(sent);
}

int PosixSerialDevice::waitInput(int timeoutMs) {
  if (fd_ < 0) return -1;
  int pending = 0;
  if (::ioctl(fd_, FIONREAD, &pending) == 0 && pending > 0) return 1;
  if (hungUp_) return -1;
  const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
  for (;;) {
    pollfd p{fd_, POLLIN, 0};
    const int r = calls_.poll(&p, 1, remainingMs(deadline));
    if (r < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (r == 0) return 0;
    if (p.revents & POLLIN) {
      if (::ioctl(fd_, FIONREAD, &pending) == 0 && pending > 0) return 1;
    }
    if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) {
      hungUp_ = true;
      return -1;
    }
    if (remainingMs(deadline) <= 0) return 0;
  }
}

void PosixSerialDevice::startWatcher() {
  if (watcher_.joinable() || !installModemWakeSignal()) return;
  watcherStop_ = false;
  watcherDone_ = false;
  watcher_ = std::thread([this] {
    watchModemLines();
    watcherDone_ = true;
  });
}

void PosixSerialDevice::stopWatcher() {
  if (!watcher_.joinable()) return;
  watcherStop_ = true;
  // The signal may arrive just before the thread enters its wait: repeat it.
  while (!watcherDone_) {
    pthread_kill(watcher_.native_handle(), modemWakeSignal());
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  watcher_.join();
}

void PosixSerialDevice::watchModemLines() {
  int before = 0;
  if (::ioctl(fd_, TIOCMGET, &before) != 0) return;
  serial_icounter_struct countsBefore{};
  const bool counted = ::ioctl(fd_, TIOCGICOUNT, &countsBefore) == 0;
  while (!watcherStop_) {
    if (::ioctl(fd_, TIOCMIWAIT, TIOCM_CTS | TIOCM_DSR | TIOCM_RNG | TIOCM_CAR) != 0) {
      if (errno == EINTR) continue;
      return;  // the driver has no modem-line waits, or the line is gone
    }
    if (watcherStop_) return;
    uint32_t events = 0;
    int now = 0;
    ::ioctl(fd_, TIOCMGET, &now);
    serial_icounter_struct counts{};
    if (counted && ::ioctl(fd_, TIOCGICOUNT, &counts) == 0) {
      if (counts.cts != countsBefore.cts) events |= kEvCts;
      if (counts.dsr != countsBefore.dsr) events |= kEvDsr;
      if (counts.rng != countsBefore.rng) events |= kEvRing;
      if (counts.dcd != countsBefore.dcd) events |= kEvRlsd;
      countsBefore = counts;
    } else {
      const int changed = now ^ before;
      if (changed & TIOCM_CTS) events |= kEvCts;
      if (changed & TIOCM_DSR) events |= kEvDsr;
      if (changed & TIOCM_CAR) events |= kEvRlsd;
      if ((before & TIOCM_RNG) && !(now & TIOCM_RNG)) events |= kEvRing;
    }
    before = now;
    if (events) {
      modemEvents_ |= events;
      notify();
    }
  }
}

}  // namespace

TtyCalls TtyCalls::system() {
  TtyCalls calls;
  calls.read = [](int fd, void* buffer, size_t count) { return ::read(fd, buffer, count); };
  calls.write = [](int fd, const void* buffer, size_t count) { return ::write(fd, buffer, count); };
  calls.poll = [](pollfd* fds, nfds_t count, int timeoutMs) { return ::poll(fds, count, timeoutMs); };
  return calls;
}

std::unique_ptr<SerialDevice> makePosixSerialDevice(TtyCalls calls) {
  return std::make_unique<PosixSerialDevice>(std::move(calls));
}

std::unique_ptr<SerialDevice> makePosixSerialDevice() { return makePosixSerialDevice(TtyCalls::system()); }

}  // namespace zar
