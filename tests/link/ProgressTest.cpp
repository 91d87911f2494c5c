// The progress facility on a clock the test drives: rate and time left
// from the working time only, and how often the view is told.
#include <gtest/gtest.h>

#include "link/Progress.h"
#include "link/ProgressText.h"

namespace zar {
namespace {

using namespace std::chrono_literals;
using Clock = Progress::Clock;

struct Counting : ProgressObserver {
  int started = 0, changes = 0, ended = 0;
  ProgressSnapshot last;
  DialogueOutcome outcome = DialogueOutcome::Busy;
  void progressStarted() override { ++started; }
  void progressChanged(const ProgressSnapshot& now) override {
    ++changes;
    last = now;
  }
  void progressEnded(const ProgressSnapshot& s, DialogueOutcome o) override {
    ++ended;
    last = s;
    outcome = o;
  }
};

struct ProgressOnAClock : ::testing::Test {
  Clock::time_point now{};
  Progress progress{[this] { return now; }};
  Counting view;
  ProgressOnAClock() { progress.setObserver(&view); }
};

TEST_F(ProgressOnAClock, RateAndTimeLeftCountOnlyWorkingTime) {
  progress.dialogueStarted();
  progress.countSent(60);
  progress.countReceived(40);
  now += 2s;  // asking what the slot holds
  progress.pause();
  now += 30s;  // the person reads the question
  progress.resume();
  progress.begin(ProgressUnit::Lines, 40);
  now += 2s;
  progress.advance(10);
  progress.countSent(300);

  const ProgressSnapshot s = progress.snapshot();
  EXPECT_EQ(s.done, 10u);
  EXPECT_EQ(s.total, 40u);
  EXPECT_EQ(s.bytesSent, 360u);
  EXPECT_EQ(s.bytesReceived, 40u);
  EXPECT_DOUBLE_EQ(s.elapsedSeconds, 4.0);
  EXPECT_DOUBLE_EQ(s.bytesPerSecond, 100.0);
  EXPECT_DOUBLE_EQ(s.unitsPerSecond, 5.0);  // lines since counting began
  ASSERT_TRUE(s.secondsLeft);
  EXPECT_DOUBLE_EQ(*s.secondsLeft, 6.0);
  EXPECT_DOUBLE_EQ(*s.fraction(), 0.25);

  // A total that is not known gives no time left; a grown total more.
  progress.setTotal(std::nullopt);
  EXPECT_FALSE(progress.snapshot().secondsLeft);
  EXPECT_FALSE(progress.snapshot().fraction());
  progress.setTotal(50);
  EXPECT_DOUBLE_EQ(*progress.snapshot().secondsLeft, 8.0);

  // Ending inside a question closes the pause first.
  progress.pause();
  now += 10s;
  progress.dialogueEnded(DialogueOutcome::Cancelled);
  EXPECT_EQ(view.ended, 1);
  EXPECT_EQ(view.outcome, DialogueOutcome::Cancelled);
  EXPECT_DOUBLE_EQ(view.last.elapsedSeconds, 4.0);
  EXPECT_FALSE(view.last.running);
}

TEST_F(ProgressOnAClock, TheViewIsToldAtMostEveryIntervalButNeverMissesBeginOrEnd) {
  progress.countSent(5);  // no dialogue: nobody is told
  EXPECT_EQ(view.changes, 0);

  progress.dialogueStarted();
  EXPECT_EQ(view.started, 1);
  EXPECT_EQ(progress.snapshot().bytesSent, 0u);  // counts start afresh
  for (int i = 0; i <= 10; ++i) {  // a byte every 10 ms, from 0 to 100 ms
    progress.countReceived(1);
    now += 10ms;
  }
  EXPECT_EQ(view.changes, 1);  // the byte at 100 ms
  EXPECT_EQ(view.last.bytesReceived, 11u);
  progress.begin(ProgressUnit::Records, 3);
  EXPECT_EQ(view.changes, 2);  // at once
  progress.advance();
  progress.advance();
  EXPECT_EQ(view.changes, 2);
  progress.advance();  // the last one of the total, at once
  EXPECT_EQ(view.changes, 3);
  EXPECT_EQ(view.last.done, 3u);
  EXPECT_EQ(view.last.secondsLeft, 0.0);

  progress.setNotifyInterval(0ms);
  progress.countSent(1);
  progress.countSent(1);
  EXPECT_EQ(view.changes, 5);
}

TEST(ProgressSnapshotTest, FractionAndNames) {
  ProgressSnapshot s;
  EXPECT_FALSE(s.fraction());
  s.total = 0;
  EXPECT_EQ(s.fraction(), 1.0);  // nothing to do is all done
  s.total = 4;
  s.done = 5;
  EXPECT_EQ(s.fraction(), 1.0);
  EXPECT_EQ(unitName(ProgressUnit::Parameters), "parameters");
  EXPECT_EQ(unitName(ProgressUnit::None), "");
}

TEST(ProgressText, WindowEstimateSaysUnitsAndTimeLeft) {
  ProgressSnapshot s;
  s.running = true;
  s.bytesSent = 1500;
  EXPECT_EQ(progressEstimate(s), "1.5 kB");  // nothing counted yet
  s.unit = ProgressUnit::Lines;
  s.done = 120;
  s.total = 302;
  s.secondsLeft = 15.2;
  EXPECT_EQ(progressEstimate(s), "120/302 lines  0:15 left");
  s.unit = ProgressUnit::Programs;
  s.done = 12;
  s.total = 68;
  s.secondsLeft = 3725;
  EXPECT_EQ(progressEstimate(s), "12/68 programs  1:02:05 left");
  s.total.reset();
  s.secondsLeft.reset();
  s.bytesPerSecond = 960;
  EXPECT_EQ(progressEstimate(s), "12 programs  960 B/s");
  EXPECT_EQ(unitName(ProgressUnit::Programs), "programs");
}

}  // namespace
}  // namespace zar
