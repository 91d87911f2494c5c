// Progress and cancel through the parameter dialogues: parameters are
// counted against the checked (or sent) total, and a cancel stops the
// dialogue at the next frame with the port closed and what came kept.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>

#include "param/ParameterRig.h"

namespace zar::param {
namespace {

using controller::TrafficEntry;
using test::msg;
using V = std::vector<std::string>;

// Every snapshot the dialogue reported, and how it ended.
struct Recorder : ProgressObserver {
  std::vector<ProgressSnapshot> seen;
  std::optional<DialogueOutcome> ended;
  void progressChanged(const ProgressSnapshot& now) override { seen.push_back(now); }
  void progressEnded(const ProgressSnapshot& last, DialogueOutcome outcome) override {
    seen.push_back(last);
    ended = outcome;
  }
};

TEST(ParameterProgress, CountsTheCheckedAndTheSentParameters) {
  test::Rig rig;
  Recorder recorder;
  rig.link.progress().setObserver(&recorder);
  rig.link.progress().setNotifyInterval(std::chrono::milliseconds(0));

  EXPECT_EQ(rig.transfer.ParRcvBtnClick({{"A", 1}, {"B", 2}, {"C", 3}, {"D", 4}}), DialogueOutcome::Done);
  ASSERT_FALSE(recorder.seen.empty());
  EXPECT_EQ(recorder.ended, DialogueOutcome::Done);
  const ProgressSnapshot& last = recorder.seen.back();
  EXPECT_EQ(last.unit, ProgressUnit::Parameters);
  EXPECT_EQ(last.total, 4u);
  EXPECT_EQ(last.done, 4u);
  // Requests, ACK frames and replies: 1 to 4 and "$%", "$P" go out, each with CR LF.
  EXPECT_EQ(last.bytesSent, 4u + 4u + 4 * 3u + 4 * 5u);
  // The count only grows, one parameter at a time.
  for (size_t i = 1; i < recorder.seen.size(); ++i)
    EXPECT_LE(recorder.seen[i].done, recorder.seen[i - 1].done + 1);

  // Sending counts settings, not remarks.
  recorder = Recorder{};
  rig.editor() = {"/ axes", "A(1)=5", "/ more", "B(2)=6"};
  EXPECT_EQ(rig.transfer.ParTrnBtnClick(), DialogueOutcome::Done);
  EXPECT_EQ(recorder.seen.back().total, 2u);
  EXPECT_EQ(recorder.seen.back().done, 2u);
  rig.link.progress().setObserver(nullptr);
}

// A controller that asks the link to cancel when it takes its n-th frame.
struct CancelRig : test::Rig {
  struct Shared {
    std::atomic<int> frames{0};
    int cancelAt = 0;
    std::atomic<Link*> link{nullptr};
  };
  static controller::ControllerConfig configWith(const std::shared_ptr<Shared>& shared) {
    controller::ControllerConfig config;
    config.monitor = [shared](const TrafficEntry& e) {
      if (e.kind == TrafficEntry::Kind::In && ++shared->frames == shared->cancelAt) shared->link.load()->requestCancel();
    };
    return config;
  }
  explicit CancelRig(int cancelAt, std::shared_ptr<Shared> s = std::make_shared<Shared>())
      : test::Rig(configWith(s)), shared(std::move(s)) {
    shared->cancelAt = cancelAt;
    shared->link = &link;
  }
  std::shared_ptr<Shared> shared;
};

TEST(ParameterCancel, StopsAtTheNextFrameKeepingWhatCame) {
  const std::string cancelled(Link::kCancelledText);
  // Receive: the cancel comes as the controller takes the second request
  // ($%, $P, 1, ACK, 2): its reply is not waited for, nothing more goes out.
  CancelRig rig(5);
  EXPECT_EQ(rig.transfer.ParRcvBtnClick({{"A", 1}, {"B", 2}, {"C", 3}}), DialogueOutcome::Cancelled);
  EXPECT_EQ(rig.editor(), V{"A(1)=4"});
  EXPECT_FALSE(rig.comm.Enabled());
  EXPECT_EQ(std::count(rig.messages().begin(), rig.messages().end(), cancelled), 1);
  EXPECT_TRUE(rig.has(msg(107)));
  EXPECT_EQ(rig.ctrl.inputFrames().size(), 5u);

  // Send: cancelled as the first setting is taken; the second never goes.
  CancelRig send(3);
  send.editor() = {"A(1)=5", "B(2)=6"};
  EXPECT_EQ(send.transfer.ParTrnBtnClick(), DialogueOutcome::Cancelled);
  EXPECT_EQ(send.ctrl.inputFrames(), (V{"$%\r\n", "$R\r\n", "1=5\r\n"}));
  EXPECT_EQ(send.transfer.settingsSent(), 0u);
  EXPECT_FALSE(send.comm.Enabled());
  EXPECT_EQ(std::count(send.messages().begin(), send.messages().end(), cancelled), 1);
}

}  // namespace
}  // namespace zar::param
