// The network serial device: one non-blocking TCP socket, an eventfd to wake
// the event thread, and an input box of decoded data bytes. Both the owner
// thread (read, waitInput) and the event thread (waitEvent) take bytes off
// the socket; whoever does decodes them into the box under the lock, so the
// Telnet state stays whole and no byte is taken twice.

#include "link/NetworkSerialDevice.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <set>

#include "link/NetworkConnect.h"
#include "link/PosixSerialDevice.h"
#include "link/Rfc2217.h"

namespace zar {
namespace {

using Clock = std::chrono::steady_clock;

int remainingMs(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
  if (left.count() <= 0) return 0;
  return static_cast<int>((left.count() + 999) / 1000);
}

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(s[i])) != prefix[i]) return false;
  return true;
}

// The endpoints this program has open: a second open of the same server port
// is refused here, as a tty refuses a second open, whatever the server allows.
std::mutex gInUseMutex;
std::set<std::string> gInUse;

// How long an accepted connection is watched for the server closing it at
// once, which is how servers turn away a second client on a busy port.
constexpr int kRefusalWatchMs = 60;

// The COM port answers we wait for when setting the line, and the value sent.
struct Pending {
  uint8_t command;
  std::string value;
};

class NetworkSerialDevice final : public SerialDevice {
 public:
  ~NetworkSerialDevice() override { close(); }

  int open(const std::string& path) override;
  bool isCharacterDevice() const override { return sock_ >= 0; }
  bool isPseudoTerminal() const override { return false; }
  void close() override;
  void setOpenTimeout(int ms) override { openTimeoutMs_ = std::max(ms, 1); }
  std::string openFailure() const override { return openFailure_; }
  std::string openNotice() const override { return openNotice_; }

  int setQueueSizes(uint32_t, uint32_t) override { return 0; }
  int getLineSettings(LineSettings& settings) override {
    if (sock_ < 0) return EBADF;
    settings = applied_;
    return 0;
  }
  int setLineSettings(const LineSettings& settings) override;
  int setTimeouts(const CommTimeouts& timeouts) override {
    timeouts_ = timeouts;
    return 0;
  }

  int setEventMask(uint32_t mask) override {
    mask_ = mask;
    return 0;
  }
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
  bool telnet() const { return telnet_; }
  void notify() {
    if (notifyFd_ < 0) return;
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(notifyFd_, &one, sizeof one);
  }
  // Takes what the socket holds now into the box; false once it hung up.
  bool drainSocket();
  void handleEvent(const telnet::Event& e);
  // Sends bytes as they are (already encoded), within the deadline.
  size_t sendRaw(std::string_view bytes, Clock::time_point deadline);
  // Waits for the socket to become readable (or the deadline); drains it.
  void pumpUntil(Clock::time_point deadline);
  int negotiate(Clock::time_point deadline);
  // What the server wrote before closing, as a quoted text (": \"Port already in use\""); "" when nothing.
  std::string serverSaid();
  int awaitAnswers(const std::vector<Pending>& pending, Clock::time_point deadline);

  NetworkPort port_;
  std::string key_;
  int sock_ = -1;
  int notifyFd_ = -1;
  int boxFd_ = -1;  // signalled whenever data enters the box, so that a waiting reader wakes
  bool telnet_ = false;  // speaking Telnet (COM port option agreed)
  int openTimeoutMs_ = 1000;
  std::string openFailure_;
  std::string openNotice_;
  LineSettings applied_{};
  CommTimeouts timeouts_{};

  std::mutex ioMutex_;     // the box, the decoder, the negotiation state
  std::mutex sendMutex_;   // one writer on the socket at a time
  std::string box_;
  telnet::Decoder decoder_;
  telnet::Negotiator negotiator_;
  std::string answers_;    // negotiation answers waiting to be sent
  std::vector<telnet::Event> comReplies_;
  uint8_t modemState_ = 0;
  bool sawTelnet_ = false;
  uint32_t lineErrors_ = 0;
  uint64_t received_ = 0;  // data bytes put into the box so far
  uint64_t reported_ = 0;  // ... of which the event thread has reported

  std::atomic<uint32_t> mask_{0};
  std::atomic<bool> hungUp_{false};
  std::atomic<bool> wakeRequested_{false};
  std::atomic<bool> txDone_{false};
};

int NetworkSerialDevice::open(const std::string& path) {
  if (sock_ >= 0) return EBUSY;
  openFailure_.clear();
  openNotice_.clear();
  std::string why;
  const auto parsed = parseNetworkPort(path, &why);
  if (!parsed) {
    openFailure_ = path + ": " + why;
    return EINVAL;
  }
  port_ = *parsed;
  key_ = port_.endpoint();
  {
    std::lock_guard lock(gInUseMutex);
    if (!gInUse.insert(key_).second) {
      openFailure_ = path + " is already open in this program (a serial server port takes one client).";
      return EBUSY;
    }
  }
  const auto deadline = Clock::now() + std::chrono::milliseconds(openTimeoutMs_);
  const ConnectResult connected = connectTcp(port_.host, port_.port, deadline);
  if (connected.fd < 0) {
    openFailure_ = path + ": " + connected.why;
    std::lock_guard lock(gInUseMutex);
    gInUse.erase(key_);
    return connected.error ? connected.error : EIO;
  }
  sock_ = connected.fd;
  notifyFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  boxFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  hungUp_ = false;
  wakeRequested_ = false;
  txDone_ = false;
  box_.clear();
  decoder_ = telnet::Decoder();
  negotiator_ = telnet::Negotiator();
  answers_.clear();
  comReplies_.clear();
  modemState_ = 0;
  sawTelnet_ = false;
  lineErrors_ = 0;
  received_ = reported_ = 0;
  telnet_ = port_.kind == NetworkPort::Kind::Rfc2217;
  applied_ = LineSettings{};

  int error = telnet_ ? negotiate(deadline) : 0;
  if (error == 0) {
    // A busy server port takes the connection, says why, and closes it again
    // at once (ser2net: "Port already in use", "Port's device already in use").
    const auto watchEnd = std::min(deadline, Clock::now() + std::chrono::milliseconds(kRefusalWatchMs));
    while (!hungUp_ && Clock::now() < watchEnd) pumpUntil(watchEnd);
    if (hungUp_) {
      openFailure_ = path + ": the server closed the connection at once" + serverSaid() +
                     " (is another client using the port or its device?)";
      error = EBUSY;
    }
  }
  if (error != 0) {
    close();
    return error;
  }
  return 0;
}

std::string NetworkSerialDevice::serverSaid() {
  std::lock_guard lock(ioMutex_);
  std::string text;
  for (char c : box_) {
    if (c == '\r' || c == '\n') {
      if (!text.empty() && text.back() != ' ') text += ' ';
    } else if (static_cast<unsigned char>(c) >= ' ' && static_cast<unsigned char>(c) < 0x7F && text.size() < 80) {
      text += c;
    }
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text.empty() ? std::string() : ": \"" + text + "\"";
}

int NetworkSerialDevice::negotiate(Clock::time_point deadline) {
  {
    std::lock_guard lock(ioMutex_);
    answers_ = negotiator_.opening();
  }
  for (;;) {
    std::string out;
    bool accepted = false, refused = false;
    {
      std::lock_guard lock(ioMutex_);
      out.swap(answers_);
      accepted = negotiator_.comPortAccepted();
      refused = negotiator_.comPortRefused();
    }
    if (!out.empty()) sendRaw(out, deadline);
    if (hungUp_) {
      openFailure_ = "rfc2217://" + port_.endpoint() +
                     ": the server closed the connection during the Telnet negotiation" + serverSaid() +
                     " (is another client using the port?)";
      return EBUSY;
    }
    if (accepted) return 0;
    if (refused || Clock::now() >= deadline) {
      // A server that answered speaks Telnet, only not the COM port option.
      {
        std::lock_guard lock(ioMutex_);
        telnet_ = refused || sawTelnet_;
      }
      openNotice_ = "rfc2217://" + port_.endpoint() +
                    (refused ? ": the server declined the COM port option"
                             : ": the server did not answer the Telnet negotiation") +
                    "; the line settings are the server's own (used as a raw connection).";
      return 0;
    }
    pumpUntil(deadline);
  }
}

void NetworkSerialDevice::close() {
  if (sock_ >= 0) {
    ::close(sock_);
    sock_ = -1;
    std::lock_guard lock(gInUseMutex);
    gInUse.erase(key_);
  }
  for (int* fd : {&notifyFd_, &boxFd_}) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
  }
  mask_ = 0;
}

bool NetworkSerialDevice::drainSocket() {
  char buffer[4096];
  std::lock_guard lock(ioMutex_);
  const uint64_t before = received_;
  // Whoever took the bytes, a reader waiting in pumpUntil must look at the box.
  struct Signal {
    const uint64_t& before;
    const uint64_t& now;
    int fd;
    ~Signal() {
      if (now == before || fd < 0) return;
      const uint64_t one = 1;
      [[maybe_unused]] ssize_t n = ::write(fd, &one, sizeof one);
    }
  } signal{before, received_, boxFd_};
  for (;;) {
    if (sock_ < 0 || hungUp_) return false;
    const ssize_t n = ::recv(sock_, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n > 0) {
      const std::string_view bytes(buffer, static_cast<size_t>(n));
      if (telnet_) {
        std::vector<telnet::Event> events;
        const size_t before = box_.size();
        decoder_.setStripCrNul(!negotiator_.remoteBinary());
        decoder_.feed(bytes, box_, events);
        received_ += box_.size() - before;
        for (const telnet::Event& e : events) handleEvent(e);
      } else {
        box_.append(bytes);
        received_ += bytes.size();
      }
      if (static_cast<size_t>(n) < sizeof buffer) return true;
      continue;
    }
    if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
      hungUp_ = true;
      return false;
    }
    return true;
  }
}

void NetworkSerialDevice::handleEvent(const telnet::Event& e) {
  if (e.kind == telnet::Event::Kind::Negotiation) {
    sawTelnet_ = true;
    answers_ += negotiator_.answer(e.verb, e.option);
    return;
  }
  switch (e.command) {
    case telnet::kNotifyModemState + telnet::kServerOffset:
      if (!e.value.empty()) modemState_ = static_cast<uint8_t>(e.value[0]);
      return;
    case telnet::kNotifyLineState + telnet::kServerOffset:
      if (!e.value.empty()) {
        const auto bits = static_cast<uint8_t>(e.value[0]);
        if (bits & 0x02) lineErrors_ |= kErrOverrun;
        if (bits & 0x04) lineErrors_ |= kErrParity;
        if (bits & 0x08) lineErrors_ |= kErrFrame;
        if (bits & 0x10) lineErrors_ |= kErrBreak;
      }
      return;
    default:
      if (comReplies_.size() < 64) comReplies_.push_back(e);
  }
}

size_t NetworkSerialDevice::sendRaw(std::string_view bytes, Clock::time_point deadline) {
  std::lock_guard lock(sendMutex_);
  size_t sent = 0;
  while (sent < bytes.size() && sock_ >= 0 && !hungUp_) {
    const ssize_t n = ::send(sock_, bytes.data() + sent, bytes.size() - sent, MSG_DONTWAIT | MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
      hungUp_ = true;
      notify();
      break;
    }
    const int wait = remainingMs(deadline);
    if (wait <= 0) break;
    pollfd p{sock_, POLLOUT, 0};
    if (::poll(&p, 1, wait) < 0 && errno != EINTR) break;
  }
  return sent;
}

void NetworkSerialDevice::pumpUntil(Clock::time_point deadline) {
  if (sock_ < 0 || hungUp_) return;
  pollfd p[2] = {{sock_, POLLIN, 0}, {boxFd_, POLLIN, 0}};
  const int r = ::poll(p, 2, remainingMs(deadline));
  if (r > 0 && (p[1].revents & POLLIN)) {
    uint64_t value = 0;
    [[maybe_unused]] ssize_t n = ::read(boxFd_, &value, sizeof value);
  }
  if (r > 0 && p[0].revents) drainSocket();
  std::string out;
  {
    std::lock_guard lock(ioMutex_);
    out.swap(answers_);
  }
  if (!out.empty()) sendRaw(out, Clock::now() + std::chrono::milliseconds(openTimeoutMs_));
}

int NetworkSerialDevice::awaitAnswers(const std::vector<Pending>& pending, Clock::time_point deadline) {
  std::vector<bool> seen(pending.size(), false);
  for (;;) {
    {
      std::lock_guard lock(ioMutex_);
      for (const telnet::Event& e : comReplies_) {
        for (size_t i = 0; i < pending.size(); ++i) {
          if (seen[i] || e.command != pending[i].command + telnet::kServerOffset) continue;
          seen[i] = true;
          // A server that cannot do a setting answers with what it does instead.
          if (e.value != pending[i].value) return EINVAL;
          break;
        }
      }
      comReplies_.clear();
    }
    if (std::all_of(seen.begin(), seen.end(), [](bool b) { return b; })) return 0;
    if (hungUp_) return EIO;
    if (Clock::now() >= deadline) return ETIMEDOUT;
    pumpUntil(deadline);
  }
}

int NetworkSerialDevice::setLineSettings(const LineSettings& s) {
  if (sock_ < 0) return EBADF;
  if (s.baudRate == 0 || s.dataBits < 5 || s.dataBits > 8) return EINVAL;
  if (!telnet_ || !negotiator_.comPortAccepted()) {
    applied_ = s;  // the server's own settings rule the line
    return 0;
  }
  uint8_t parity = telnet::kParityNone;
  switch (s.parity) {
    case paNone: parity = telnet::kParityNone; break;
    case paOdd: parity = telnet::kParityOdd; break;
    case paEven: parity = telnet::kParityEven; break;
    case paMark: parity = telnet::kParityMark; break;
    case paSpace: parity = telnet::kParitySpace; break;
  }
  const uint8_t stop = s.stopBits == sb20 ? telnet::kStop2 : s.stopBits == sb15 ? telnet::kStop15 : telnet::kStop1;
  const uint8_t flow = s.rtsCtsFlow ? telnet::kFlowHardware : s.outX ? telnet::kFlowXonXoff : telnet::kFlowNone;
  const std::string baud = telnet::setBaudRate(s.baudRate);
  std::vector<Pending> pending = {
      {telnet::kSetBaudRate, baud.substr(4, baud.size() - 6)},
      {telnet::kSetDataSize, std::string(1, static_cast<char>(s.dataBits))},
      {telnet::kSetParity, std::string(1, static_cast<char>(parity))},
      {telnet::kSetStopSize, std::string(1, static_cast<char>(stop))},
      {telnet::kSetControl, std::string(1, static_cast<char>(flow))},
  };
  // The value sent in the baud command was escaped; compare with the plain one.
  pending[0].value = std::string{static_cast<char>(s.baudRate >> 24), static_cast<char>(s.baudRate >> 16),
                                 static_cast<char>(s.baudRate >> 8), static_cast<char>(s.baudRate)};
  std::string out = baud;
  for (size_t i = 1; i < pending.size(); ++i)
    out += telnet::setByteValue(pending[i].command, static_cast<uint8_t>(pending[i].value[0]));
  {
    std::lock_guard lock(ioMutex_);
    comReplies_.clear();
  }
  const auto deadline = Clock::now() + std::chrono::milliseconds(openTimeoutMs_);
  if (sendRaw(out, deadline) != out.size()) return hungUp_ ? EIO : ETIMEDOUT;
  if (const int error = awaitAnswers(pending, deadline); error != 0) return error;
  applied_ = s;
  return 0;
}

SerialDevice::WaitResult NetworkSerialDevice::waitEvent() {
  WaitResult result;
  if (sock_ < 0 || notifyFd_ < 0) {
    result.error = EBADF;
    return result;
  }
  for (;;) {
    const bool wantInput = (mask_ & kEvRxChar) != 0;
    pollfd fds[2] = {{notifyFd_, POLLIN, 0}, {hungUp_ ? -1 : sock_, POLLIN, 0}};
    const int r = ::poll(fds, 2, -1);
    if (r < 0) {
      if (errno == EINTR) continue;
      result.error = errno;
      return result;
    }
    if (fds[0].revents & POLLIN) {
      uint64_t value = 0;
      [[maybe_unused]] ssize_t n = ::read(notifyFd_, &value, sizeof value);
      if (wakeRequested_.exchange(false)) {
        result.woken = true;
        return result;
      }
    }
    if (fds[1].revents) drainSocket();
    uint32_t events = 0;
    {
      std::lock_guard lock(ioMutex_);
      if (wantInput && received_ > reported_ && !box_.empty()) events |= kEvRxChar;
      reported_ = received_;
      if (lineErrors_) events |= kEvError;
    }
    if (txDone_.exchange(false)) events |= kEvTxEmpty;
    std::string out;
    {
      std::lock_guard lock(ioMutex_);
      out.swap(answers_);
    }
    if (!out.empty()) sendRaw(out, Clock::now() + std::chrono::milliseconds(openTimeoutMs_));
    events &= mask_;
    if (hungUp_) {
      result.hangup = true;
      result.events = events;
      return result;
    }
    if (events) {
      result.events = events;
      return result;
    }
  }
}

int NetworkSerialDevice::clearErrors(uint32_t& errors, TComStat& status) {
  errors = 0;
  status = TComStat{};
  if (sock_ < 0) return EBADF;
  drainSocket();  // the count includes what the server has sent so far
  {
    std::lock_guard lock(ioMutex_);
    errors = lineErrors_;
    lineErrors_ = 0;
    status.cbInQue = static_cast<uint32_t>(box_.size());
  }
  int out = 0;
  if (::ioctl(sock_, TIOCOUTQ, &out) == 0 && out > 0) status.cbOutQue = static_cast<uint32_t>(out);
  return 0;
}

int NetworkSerialDevice::modemStatus(uint32_t& bits) {
  bits = 0;
  if (sock_ < 0) return EBADF;
  std::lock_guard lock(ioMutex_);
  if (modemState_ & telnet::kModemCts) bits |= kMsCtsOn;
  if (modemState_ & telnet::kModemDsr) bits |= kMsDsrOn;
  if (modemState_ & telnet::kModemRing) bits |= kMsRingOn;
  if (modemState_ & telnet::kModemCarrier) bits |= kMsRlsdOn;
  return 0;
}

int NetworkSerialDevice::escape(uint32_t function) {
  if (sock_ < 0) return EBADF;
  uint8_t control = 0;
  switch (function) {
    case kSetRts: control = telnet::kRtsOn; break;
    case kClrRts: control = telnet::kRtsOff; break;
    case kSetDtr: control = telnet::kDtrOn; break;
    case kClrDtr: control = telnet::kDtrOff; break;
    case kSetBreak: control = telnet::kBreakOn; break;
    case kClrBreak: control = telnet::kBreakOff; break;
    case kSetXOn:
    case kSetXOff: return 0;  // nothing held back on our side to release
    default: return EINVAL;
  }
  // Raw TCP carries no modem lines: as on a pseudo-terminal, nothing to do.
  if (!telnet_ || !negotiator_.comPortAccepted()) return 0;
  const std::string out = telnet::setByteValue(telnet::kSetControl, control);
  if (sendRaw(out, Clock::now() + std::chrono::milliseconds(openTimeoutMs_)) != out.size()) return EIO;
  return 0;
}

int NetworkSerialDevice::purge(bool input, bool /*output*/) {
  if (sock_ < 0) return EBADF;
  // Output handed to the socket is on its way and cannot be called back.
  if (input) {
    drainSocket();
    std::lock_guard lock(ioMutex_);
    box_.clear();
  }
  return 0;
}

int NetworkSerialDevice::read(void* buffer, uint32_t count) {
  if (sock_ < 0 || count == 0) return 0;
  auto* out = static_cast<char*>(buffer);
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeouts_.readTotalMs);
  uint32_t got = 0;
  for (;;) {
    drainSocket();
    {
      std::lock_guard lock(ioMutex_);
      if (applied_.nullStrip) box_.erase(std::remove(box_.begin(), box_.end(), '\0'), box_.end());
      const uint32_t take = std::min<uint32_t>(count - got, static_cast<uint32_t>(box_.size()));
      std::memcpy(out + got, box_.data(), take);
      box_.erase(0, take);
      got += take;
    }
    if (got >= count || hungUp_ || remainingMs(deadline) <= 0) break;
    pumpUntil(deadline);
  }
  return static_cast<int>(got);
}

int NetworkSerialDevice::write(const void* buffer, uint32_t count) {
  if (sock_ < 0 || hungUp_ || count == 0) return 0;
  const std::string_view data(static_cast<const char*>(buffer), count);
  const std::string encoded = telnet_ ? telnet::escapeData(data) : std::string(data);
  const bool limited = timeouts_.writePerByteMs != 0;
  const auto deadline = Clock::now() + (limited ? std::chrono::milliseconds(
                                                      static_cast<uint64_t>(timeouts_.writePerByteMs) * count)
                                                : std::chrono::milliseconds(5000));
  size_t sent = sendRaw(encoded, deadline);
  if (sent > 0 && sent < encoded.size() && telnet_) {
    // Never leave half of a doubled 0xFF behind: the server would read the
    // next byte as a command.
    size_t source = 0, at = 0;
    while (at < sent) at += static_cast<uint8_t>(data[source++]) == telnet::kIac ? 2 : 1;
    if (at > sent) sent += sendRaw(encoded.substr(sent, at - sent), Clock::now() + std::chrono::seconds(1));
    sent = source;
  }
  if (sent > 0 && (mask_ & kEvTxEmpty)) {
    txDone_ = true;
    notify();
  }
  return static_cast<int>(std::min<size_t>(sent, count));
}

int NetworkSerialDevice::waitInput(int timeoutMs) {
  if (sock_ < 0) return -1;
  const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
  for (;;) {
    drainSocket();
    {
      std::lock_guard lock(ioMutex_);
      if (!box_.empty()) return 1;
    }
    if (hungUp_) return -1;
    if (remainingMs(deadline) <= 0) return 0;
    pumpUntil(deadline);
  }
}

}  // namespace

std::string NetworkPort::endpoint() const {
  return (host.find(':') != std::string::npos ? "[" + host + "]" : host) + ":" + port;
}

bool isNetworkPortName(std::string_view name) {
  return startsWithNoCase(name, "tcp://") || startsWithNoCase(name, "rfc2217://");
}

std::optional<NetworkPort> parseNetworkPort(std::string_view name, std::string* why) {
  auto failed = [why](std::string text) -> std::optional<NetworkPort> {
    if (why) *why = std::move(text);
    return std::nullopt;
  };
  NetworkPort p;
  if (startsWithNoCase(name, "tcp://")) {
    p.kind = NetworkPort::Kind::RawTcp;
    name.remove_prefix(6);
  } else if (startsWithNoCase(name, "rfc2217://")) {
    p.kind = NetworkPort::Kind::Rfc2217;
    name.remove_prefix(10);
  } else {
    return failed("a network port is tcp://HOST:PORT or rfc2217://HOST:PORT");
  }
  if (!name.empty() && name.back() == '/') name.remove_suffix(1);
  std::string_view host, port;
  if (!name.empty() && name.front() == '[') {
    const size_t close = name.find(']');
    if (close == std::string_view::npos || close + 1 >= name.size() || name[close + 1] != ':')
      return failed("an IPv6 address is written [ADDRESS]:PORT");
    host = name.substr(1, close - 1);
    port = name.substr(close + 2);
  } else {
    const size_t colon = name.rfind(':');
    if (colon == std::string_view::npos) return failed("the port number is missing (HOST:PORT)");
    host = name.substr(0, colon);
    port = name.substr(colon + 1);
    if (host.find(':') != std::string_view::npos) return failed("an IPv6 address is written [ADDRESS]:PORT");
  }
  if (host.empty()) return failed("the host is missing (HOST:PORT)");
  for (char c : host)
    if (static_cast<unsigned char>(c) <= ' ' || c == '/' || c == '@' || c == '[' || c == ']')
      return failed("the host '" + std::string(host) + "' is not a name or an address");
  if (port.empty() || port.size() > 5 || !std::all_of(port.begin(), port.end(), ::isdigit) ||
      std::stoul(std::string(port)) == 0 || std::stoul(std::string(port)) > 65535)
    return failed("the port '" + std::string(port) + "' is not a number from 1 to 65535");
  p.host = std::string(host);
  p.port = std::to_string(std::stoul(std::string(port)));
  return p;
}

std::unique_ptr<SerialDevice> makeNetworkSerialDevice() { return std::make_unique<NetworkSerialDevice>(); }

std::unique_ptr<SerialDevice> makeSerialDeviceFor(const std::string& path) {
  if (isNetworkPortName(path)) return makeNetworkSerialDevice();
  return makePosixSerialDevice();
}

}  // namespace zar
