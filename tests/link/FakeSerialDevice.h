#pragma once
// A scripted serial device: records what the component asks of it and
// produces what a pseudo-terminal cannot (modem lines, breaks, line errors,
// refused settings). The test keeps `state` after handing the device over.

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "link/SerialDevice.h"

namespace zar::test {

class FakeSerialDevice : public SerialDevice {
 public:
  struct State {
    std::mutex mutex;
    std::condition_variable changed;
    // Scripted answers.
    int openError = 0;
    bool characterDevice = true;
    int queueSizesError = 0;
    int getSettingsError = 0;
    int setSettingsError = 0;
    int timeoutsError = 0;
    int escapeError = 0;
    int modemError = 0;
    uint32_t modemBits = 0;
    uint32_t pendingErrors = 0;
    TComStat status;
    std::string input;  // bytes waiting to be read
    // Recorded.
    bool open = false;
    std::string path;
    LineSettings device;                 // what the device holds
    std::vector<LineSettings> applied;   // every setLineSettings call
    CommTimeouts timeouts;
    uint32_t eventMask = 0;
    std::vector<uint32_t> escapes;
    std::vector<std::pair<bool, bool>> purges;
    std::string written;
    int waits = 0;  // waitEvent calls
    // Events for waitEvent.
    std::deque<uint32_t> events;
    bool wake = false;
    bool hangup = false;

    void pushEvent(uint32_t mask) {
      std::lock_guard lock(mutex);
      events.push_back(mask);
      changed.notify_all();
    }
  };

  FakeSerialDevice() : state(std::make_shared<State>()) {}

  std::shared_ptr<State> state;

  int open(const std::string& path) override {
    std::lock_guard lock(state->mutex);
    state->path = path;
    if (state->openError) return state->openError;
    state->open = true;
    return 0;
  }
  bool isCharacterDevice() const override { return state->characterDevice; }
  bool isPseudoTerminal() const override { return false; }
  void close() override {
    std::lock_guard lock(state->mutex);
    state->open = false;
  }
  int setQueueSizes(uint32_t, uint32_t) override { return state->queueSizesError; }
  int getLineSettings(LineSettings& s) override {
    std::lock_guard lock(state->mutex);
    if (state->getSettingsError) return state->getSettingsError;
    s = state->device;
    return 0;
  }
  int setLineSettings(const LineSettings& s) override {
    std::lock_guard lock(state->mutex);
    state->applied.push_back(s);
    if (state->setSettingsError) return state->setSettingsError;
    state->device = s;
    return 0;
  }
  int setTimeouts(const CommTimeouts& t) override {
    state->timeouts = t;
    return state->timeoutsError;
  }
  int setEventMask(uint32_t mask) override {
    state->eventMask = mask;
    return 0;
  }
  WaitResult waitEvent() override {
    std::unique_lock lock(state->mutex);
    ++state->waits;
    state->changed.notify_all();
    state->changed.wait(lock, [&] { return state->wake || !state->events.empty(); });
    WaitResult r;
    if (state->wake) {
      state->wake = false;
      r.woken = true;
      return r;
    }
    r.events = state->events.front() & state->eventMask;
    state->events.pop_front();
    return r;
  }
  void wakeWaiter() override {
    std::lock_guard lock(state->mutex);
    state->wake = true;
    state->changed.notify_all();
  }
  int clearErrors(uint32_t& errors, TComStat& status) override {
    std::lock_guard lock(state->mutex);
    errors = state->pendingErrors;
    state->pendingErrors = 0;
    status = state->status;
    status.cbInQue = static_cast<uint32_t>(state->input.size());
    return 0;
  }
  int modemStatus(uint32_t& bits) override {
    bits = state->modemBits;
    return state->modemError;
  }
  int escape(uint32_t function) override {
    std::lock_guard lock(state->mutex);
    state->escapes.push_back(function);
    return state->escapeError;
  }
  int purge(bool in, bool out) override {
    std::lock_guard lock(state->mutex);
    state->purges.emplace_back(in, out);
    if (in) state->input.clear();
    return 0;
  }
  int read(void* buffer, uint32_t count) override {
    std::lock_guard lock(state->mutex);
    const size_t n = std::min<size_t>(count, state->input.size());
    state->input.copy(static_cast<char*>(buffer), n);
    state->input.erase(0, n);
    return static_cast<int>(n);
  }
  int write(const void* buffer, uint32_t count) override {
    std::lock_guard lock(state->mutex);
    state->written.append(static_cast<const char*>(buffer), count);
    return static_cast<int>(count);
  }
  int waitInput(int) override { return state->input.empty() ? 0 : 1; }
  bool hungUp() const override { return state->hangup; }
};

}  // namespace zar::test
