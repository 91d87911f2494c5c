#include "cli/CancelSignals.h"

#include <atomic>

#include "link/Link.h"

namespace zar::cli {

namespace {

std::atomic<Link*> cancelTarget{nullptr};
static_assert(std::atomic<Link*>::is_always_lock_free, "used from a signal handler");

void requestCancel(int) {
  if (Link* link = cancelTarget.load()) link->requestCancel();
}

}  // namespace

CancelSignals::CancelSignals(Link& link) {
  cancelTarget.store(&link);
  struct sigaction sa {};
  sa.sa_handler = requestCancel;
  sigemptyset(&sa.sa_mask);
  // No SA_RESTART: a wait in progress returns early. SA_RESETHAND: a second
  // signal is not caught any more.
  sa.sa_flags = SA_RESETHAND;
  sigaction(SIGINT, &sa, &oldInt_);
  sigaction(SIGTERM, &sa, &oldTerm_);
}

CancelSignals::~CancelSignals() {
  sigaction(SIGINT, &oldInt_, nullptr);
  sigaction(SIGTERM, &oldTerm_, nullptr);
  cancelTarget.store(nullptr);
}

}  // namespace zar::cli
