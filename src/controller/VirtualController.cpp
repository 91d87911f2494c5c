#include "controller/VirtualController.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

namespace zar::controller {

namespace {

// How long a hang-up waits for the client to read what was sent before it.
constexpr auto kHangupDrain = std::chrono::milliseconds(1000);
// Longest time the state stays unsaved while a long dialogue is running.
constexpr auto kSaveInterval = std::chrono::milliseconds(1000);

void closeFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

std::string errnoText(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

}  // namespace

std::string TrafficEntry::describe() const {
  switch (kind) {
    case Kind::In: return "PC  " + escapeBytes(bytes);
    case Kind::Out: {
      std::string line = "ZAR " + escapeBytes(bytes) + "  [" + step + "]";
      if (fault) {
        line += ' ';
        line += faultKindName(*fault);
      }
      return line;
    }
    case Kind::Open: return "-- open";
    case Kind::Close: return "-- close";
    case Kind::Hangup: return "-- hang-up";
  }
  return "";
}

VirtualController::VirtualController(ControllerConfig config)
    : config_(std::move(config)), factory_(config_.model, config_.version) {
  if (config_.paceBaud > 0)
    byteTime_ = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
        10.0 / config_.paceBaud));
  for (const auto& fault : config_.faults) faults_.add(fault);
}

VirtualController::~VirtualController() { stop(); }

bool VirtualController::start(std::string* error) {
  stop();
  std::lock_guard lock(mutex_);
  if (!stateLoaded_ && !config_.stateFile.empty()) {
    bool exists = false;
    auto loaded = loadState(config_.stateFile, &exists, error);
    if (!loaded) return false;
    if (exists) state_ = std::move(*loaded);
  }
  stateLoaded_ = true;
  if (config_.samples && addSamples(state_)) dirty_ = true;

  char name[PATH_MAX] = {};
  if (::openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0) {
    if (error) *error = errnoText("openpty");
    return false;
  }
  if (::ttyname_r(slave_, name, sizeof name) != 0) {
    if (error) *error = errnoText("ttyname");
    closeAll();
    return false;
  }
  path_ = name;
  // Raw bytes both ways: no echo, no line editing, no CR/LF translation.
  termios tio{};
  ::tcgetattr(slave_, &tio);
  ::cfmakeraw(&tio);
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
  ::tcsetattr(slave_, TCSANOW, &tio);
  ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  ::fcntl(master_, F_SETFD, FD_CLOEXEC);
  ::fcntl(slave_, F_SETFD, FD_CLOEXEC);

  wake_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  // Client opens and closes are seen through inotify on the device node.
  // Without it the controller still works, only without those events.
  watch_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (watch_ >= 0 && ::inotify_add_watch(watch_, name, IN_OPEN | IN_CLOSE) < 0) closeFd(watch_);
  if (wake_ < 0) {
    if (error) *error = errnoText("eventfd");
    closeAll();
    return false;
  }

  dialogue_ = std::make_unique<Dialogue>(state_, faults_, Identity::from(config_));
  reader_.reset();
  input_.clear();
  output_.clear();
  started_ = Clock::now();
  inLineFree_ = outLineFree_ = lastByteDue_ = started_;
  atFrameStart_ = true;
  hangupSince_.reset();
  clients_ = 0;
  stopRequested_ = false;
  hungUp_ = false;
  running_ = true;
  thread_ = std::thread(&VirtualController::run, this);
  return true;
}

void VirtualController::stop() {
  {
    std::lock_guard lock(mutex_);
    stopRequested_ = true;
    if (wake_ >= 0) {
      const std::uint64_t one = 1;
      [[maybe_unused]] auto n = ::write(wake_, &one, sizeof one);
    }
  }
  if (thread_.joinable()) thread_.join();
  std::lock_guard lock(mutex_);
  closeAll();
  running_ = false;
  if (dirty_ && !config_.stateFile.empty()) {
    std::string ignored;
    if (saveState(state_, config_.stateFile, &ignored)) dirty_ = false;
  }
}

void VirtualController::closeAll() {
  closeFd(master_);
  closeFd(slave_);
  closeFd(wake_);
  closeFd(watch_);
}

bool VirtualController::running() const {
  std::lock_guard lock(mutex_);
  return running_ && !hungUp_;
}

bool VirtualController::hungUp() const {
  std::lock_guard lock(mutex_);
  return hungUp_;
}

std::string VirtualController::devicePath() const {
  std::lock_guard lock(mutex_);
  return path_;
}

// ---- the controller thread ---------------------------------------------------

void VirtualController::run() {
  // Paced bytes are due every half millisecond at 19200 baud: wake on time.
  ::prctl(PR_SET_TIMERSLACK, 1UL);
  for (;;) {
    const auto now = Clock::now();
    // Sleep until a frame may be complete or a reply is due on a paced
    // line, or until something happens.
    std::optional<Clock::time_point> next;
    auto wakeAt = [&next](Clock::time_point t) { next = next ? std::min(*next, t) : t; };
    bool wantWrite = false;
    {
      std::lock_guard lock(mutex_);
      if (stopRequested_) return;
      if (const auto due = inputDue()) wakeAt(*due);
      if (!output_.empty()) {
        if (output_.front().hangup) {
          wakeAt(now + std::chrono::milliseconds(5));
        } else if (const auto due = outputDue(); due <= now) {
          wantWrite = true;
        } else {
          wakeAt(due);
        }
      }
      if (const auto save = nextSave()) wakeAt(*save);
    }
    pollfd fds[3] = {{wake_, POLLIN, 0},
                     {master_, static_cast<short>(POLLIN | (wantWrite ? POLLOUT : 0)), 0},
                     {watch_, POLLIN, 0}};
    timespec timeout{};
    timespec* wait = nullptr;
    if (next) {
      const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(*next - now).count();
      timeout.tv_sec = ns > 0 ? ns / 1000000000 : 0;
      timeout.tv_nsec = ns > 0 ? ns % 1000000000 : 0;
      wait = &timeout;
    }
    const int n = ::ppoll(fds, watch_ >= 0 ? 3 : 2, wait, nullptr);
    if (n < 0 && errno != EINTR) return;

    // Client events first, so that a new client's open comes before its frames.
    const auto t = Clock::now();
    if (watch_ >= 0 && (fds[2].revents & POLLIN)) readClientEvents(t);
    if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) readInput(t);
    processInput(t);
    writeOutput(Clock::now());
    if (hangupDue()) {
      hangUp();
      return;
    }
    saveIfChanged();
  }
}

void VirtualController::readInput(Clock::time_point now) {
  char buf[4096];
  for (;;) {
    const ssize_t n = ::read(master_, buf, sizeof buf);
    if (n <= 0) return;  // EAGAIN; EIO cannot happen while we hold the slave
    std::lock_guard lock(mutex_);
    for (ssize_t i = 0; i < n; ++i) {
      // On a paced line each byte of a frame arrives 10 bits after the one
      // before it. A frame the PC writes before the previous one has crossed
      // (streamed PLC records) is not queued behind it, though: a terminal,
      // unlike a real port, cannot hold the PC's writes back, so the backlog
      // would only count against the PC's time-out for the next reply.
      const auto due = (atFrameStart_ ? now : std::max(lastByteDue_, now)) + byteTime_;
      lastByteDue_ = due;
      inLineFree_ = std::max(inLineFree_, due);
      input_.push_back({InByte::Kind::Byte, buf[i], due});
      atFrameStart_ = buf[i] == '\n' || buf[i] == '\x03';
    }
  }
}

void VirtualController::readClientEvents(Clock::time_point now) {
  // What a leaving client wrote is in the terminal before its close: take it
  // first. The events are read after it: a client that opened the device
  // and wrote at once may have bytes among those just read, and its open,
  // which came before them, must then be seen with the close before it, or
  // the close would drop the replies meant for it.
  readInput(now);
  alignas(inotify_event) char buf[4096];
  const ssize_t n = ::read(watch_, buf, sizeof buf);
  if (n <= 0) return;
  std::lock_guard lock(mutex_);
  const auto at = std::max(now, inLineFree_);
  for (ssize_t off = 0; off < n;) {
    const auto* ev = reinterpret_cast<const inotify_event*>(buf + off);
    off += static_cast<ssize_t>(sizeof(inotify_event) + ev->len);
    if (ev->mask & IN_OPEN) {
      if (clients_++ == 0) input_.push_back({InByte::Kind::Open, 0, at});
    } else if (ev->mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE)) {
      if (clients_ == 0 || --clients_ > 0) continue;
      // The device is free for the next client at once.
      ::ioctl(slave_, TIOCNXCL);
      bool reopened = false;
      for (ssize_t o = off; o < n && !reopened;) {
        const auto* later = reinterpret_cast<const inotify_event*>(buf + o);
        reopened = later->mask & IN_OPEN;
        o += static_cast<ssize_t>(sizeof(inotify_event) + later->len);
      }
      input_.push_back({InByte::Kind::Close, 0, at, reopened});
    }
  }
}

void VirtualController::clientLeft(bool reopened, Clock::time_point at) {
  // Nobody listens any more: what is still queued for the line is lost, as on
  // a real port. (Unless a new client is already there, whose replies these
  // may be.)
  if (!reopened) {
    while (!output_.empty() && !output_.front().hangup) output_.pop_front();
    ::tcflush(slave_, TCIFLUSH);
  }
  record({TrafficEntry::Kind::Close, {}, {}, {}, sinceStart(at)});
  if (dialogue_->takeChanged()) dirty_ = true;
}

void VirtualController::processInput(Clock::time_point now) {
  std::lock_guard lock(mutex_);
  while (!input_.empty() && input_.front().due <= now) {
    const InByte in = input_.front();
    input_.pop_front();
    if (in.kind == InByte::Kind::Open) {
      record({TrafficEntry::Kind::Open, {}, {}, {}, sinceStart(in.due)});
      continue;
    }
    if (in.kind == InByte::Kind::Close) {
      clientLeft(in.reopened, in.due);
      continue;
    }
    auto frame = reader_.push(in.byte);
    if (!frame) continue;
    ++framesIn_;
    record({TrafficEntry::Kind::In, frame->bytes, {}, {}, sinceStart(in.due)});
    for (Response& r : dialogue_->handle(*frame)) {
      record({TrafficEntry::Kind::Out, r.bytes, r.step, r.fault, sinceStart(in.due)});
      const auto ready = in.due + std::chrono::milliseconds(r.delayMs);
      if (r.hangup) {
        output_.push_back({{}, 0, ready, true});
        input_.clear();
        break;
      }
      if (!r.bytes.empty()) output_.push_back({std::move(r.bytes), 0, ready, false});
    }
    if (dialogue_->takeChanged()) dirty_ = true;
  }
}

// The first byte in the queue that may end a frame (or a client event): no
// frame can be complete before it has arrived.
std::optional<VirtualController::Clock::time_point> VirtualController::inputDue() const {
  for (const InByte& in : input_)
    if (in.kind != InByte::Kind::Byte || in.byte == '\n' || in.byte == '\x03') return in.due;
  return std::nullopt;
}

// Replies go out in pieces that end at a line end or ETX (or at the reply's
// end), each when its last byte has crossed a paced line: the client sees a
// reply complete exactly when it would on the wire, with one wake-up per reply.
size_t VirtualController::pieceEnd(const OutItem& item) {
  const size_t end = item.bytes.find_first_of("\n\x03", item.written);
  return end == std::string::npos ? item.bytes.size() : end + 1;
}

VirtualController::Clock::time_point VirtualController::outputDue() const {
  const OutItem& item = output_.front();
  if (byteTime_.count() == 0) return item.ready;
  return std::max(item.ready, outLineFree_) +
         byteTime_ * static_cast<long>(pieceEnd(item) - item.written);
}

void VirtualController::writeOutput(Clock::time_point now) {
  std::lock_guard lock(mutex_);
  while (!output_.empty() && !output_.front().hangup) {
    OutItem& item = output_.front();
    if (outputDue() > now) return;
    const size_t piece = byteTime_.count() ? pieceEnd(item) - item.written
                                           : item.bytes.size() - item.written;
    const ssize_t n = ::write(master_, item.bytes.data() + item.written, piece);
    if (n <= 0) return;  // the terminal's buffer is full; wait for POLLOUT
    if (byteTime_.count() > 0) outLineFree_ = std::max(item.ready, outLineFree_) + byteTime_ * n;
    item.written += static_cast<size_t>(n);
    if (item.written < item.bytes.size()) continue;
    output_.pop_front();
  }
}

bool VirtualController::hangupDue() const {
  std::lock_guard lock(mutex_);
  return !output_.empty() && output_.front().hangup && output_.front().ready <= Clock::now();
}

void VirtualController::hangUp() {
  // Let the client read what was sent before the hang-up, then close the line.
  const auto since = Clock::now();
  for (;;) {
    int unread = 0;
    if (::ioctl(slave_, FIONREAD, &unread) != 0 || unread == 0) break;
    if (Clock::now() - since > kHangupDrain) break;
    {
      std::lock_guard lock(mutex_);
      if (stopRequested_) break;
    }
    ::usleep(2000);
  }
  std::lock_guard lock(mutex_);
  closeFd(master_);
  closeFd(slave_);
  hungUp_ = true;
  output_.clear();
  input_.clear();
  record({TrafficEntry::Kind::Hangup, {}, {}, {}, sinceStart(Clock::now())});
  if (dialogue_->takeChanged()) dirty_ = true;
  if (dirty_ && !config_.stateFile.empty()) {
    std::string ignored;
    if (saveState(state_, config_.stateFile, &ignored)) dirty_ = false;
  }
}

void VirtualController::saveIfChanged() {
  std::lock_guard lock(mutex_);
  if (!saveDue(Clock::now())) return;
  std::string ignored;
  saveFailed_ = !saveState(state_, config_.stateFile, &ignored);  // retried a little later
  if (!saveFailed_) dirty_ = false;
  lastSave_ = Clock::now();
}

// The state is written when a dialogue has ended, and during a long one at
// most once per kSaveInterval (also the pause before retrying a failed save).
std::optional<VirtualController::Clock::time_point> VirtualController::nextSave() const {
  if (!dirty_ || config_.stateFile.empty()) return std::nullopt;
  if (dialogue_->idle() && !saveFailed_) return lastSave_;
  return lastSave_ + kSaveInterval;
}

bool VirtualController::saveDue(Clock::time_point now) const {
  const auto due = nextSave();
  return due && *due <= now;
}

void VirtualController::record(TrafficEntry entry) {
  if (config_.monitor) config_.monitor(entry);
  if (config_.trafficLimit > 0) {
    if (traffic_.size() >= config_.trafficLimit)
      traffic_.erase(traffic_.begin(), traffic_.begin() + static_cast<std::ptrdiff_t>(traffic_.size() / 2 + 1));
    traffic_.push_back(std::move(entry));
  }
  trafficChanged_.notify_all();
}

double VirtualController::sinceStart(Clock::time_point t) const {
  return std::chrono::duration<double, std::milli>(t - started_).count();
}

// ---- accessors ---------------------------------------------------------------

std::optional<Program> VirtualController::program(int slot) const {
  std::lock_guard lock(mutex_);
  if (slot < kFirstSlot || slot > kLastSlot) return std::nullopt;
  return state_.programs[slot];
}

void VirtualController::setProgram(int slot, Program program) {
  std::lock_guard lock(mutex_);
  if (slot < kFirstSlot || slot > kLastSlot) return;
  if (program.name.size() > kMaxNameLength) program.name.resize(kMaxNameLength);
  state_.programs[slot] = std::move(program);
  dirty_ = true;
}

void VirtualController::clearProgram(int slot) {
  std::lock_guard lock(mutex_);
  if (slot < kFirstSlot || slot > kLastSlot) return;
  state_.programs[slot].reset();
  dirty_ = true;
}

std::int32_t VirtualController::parameter(std::int32_t number) const {
  std::lock_guard lock(mutex_);
  return factory_.value(state_, number);
}

bool VirtualController::knowsParameter(std::int32_t number) const {
  std::lock_guard lock(mutex_);
  return factory_.knows(state_, number);
}

void VirtualController::setParameter(std::int32_t number, std::int32_t value) {
  std::lock_guard lock(mutex_);
  state_.parameters[number] = value;
  dirty_ = true;
}

std::vector<std::string> VirtualController::plcImage() const {
  std::lock_guard lock(mutex_);
  return state_.plcImage;
}

void VirtualController::setPlcImage(std::vector<std::string> lines) {
  std::lock_guard lock(mutex_);
  state_.plcImage = std::move(lines);
  dirty_ = true;
}

ControllerState VirtualController::state() const {
  std::lock_guard lock(mutex_);
  return state_;
}

void VirtualController::setState(ControllerState state) {
  std::lock_guard lock(mutex_);
  state_ = std::move(state);
  stateLoaded_ = true;
  dirty_ = true;
}

bool VirtualController::saveNow(std::string* error) {
  std::lock_guard lock(mutex_);
  if (config_.stateFile.empty()) return true;
  if (!saveState(state_, config_.stateFile, error)) return false;
  dirty_ = false;
  return true;
}

void VirtualController::addFault(Fault fault) {
  std::lock_guard lock(mutex_);
  faults_.add(std::move(fault));
}

void VirtualController::clearFaults() {
  std::lock_guard lock(mutex_);
  faults_.clear();
}

size_t VirtualController::armedFaults() const {
  std::lock_guard lock(mutex_);
  return faults_.armed();
}

std::vector<TrafficEntry> VirtualController::traffic() const {
  std::lock_guard lock(mutex_);
  return traffic_;
}

void VirtualController::clearTraffic() {
  std::lock_guard lock(mutex_);
  traffic_.clear();
  framesIn_ = 0;
}

std::vector<std::string> VirtualController::inputFrames() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> out;
  for (const auto& e : traffic_)
    if (e.kind == TrafficEntry::Kind::In) out.push_back(e.bytes);
  return out;
}

std::vector<std::string> VirtualController::outputReplies() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> out;
  for (const auto& e : traffic_)
    if (e.kind == TrafficEntry::Kind::Out && !e.bytes.empty()) out.push_back(e.bytes);
  return out;
}

std::string VirtualController::transcript() const {
  std::lock_guard lock(mutex_);
  std::string out;
  for (const auto& e : traffic_) out += e.describe() + "\n";
  return out;
}

bool VirtualController::waitForTraffic(
    const std::function<bool(const std::vector<TrafficEntry>&)>& done, int timeoutMs) const {
  std::unique_lock lock(mutex_);
  return trafficChanged_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                  [&] { return done(traffic_); });
}

bool VirtualController::waitForFrames(size_t count, int timeoutMs) const {
  std::unique_lock lock(mutex_);
  return trafficChanged_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                  [&] { return framesIn_ >= count; });
}

int VirtualController::clients() const {
  std::lock_guard lock(mutex_);
  return clients_;
}

}  // namespace zar::controller
