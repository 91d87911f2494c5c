// Cancel and progress through the program dialogues, against the virtual
// controller: a cancel at any step stops the dialogue at once, with nothing
// more on the wire, the port closed and one "Cancelled." line; progress
// counts what really crossed the line.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <numeric>
#include <thread>

#include "nc/TransferRig.h"

namespace zar::nc {
namespace {

namespace f = zar::frames;
using controller::Fault;
using controller::Program;
using controller::TrafficEntry;
using test::msg;
using Clock = std::chrono::steady_clock;
using V = std::vector<std::string>;

enum class Which { Send, Receive, Delete };

const Program kHeld{"OLD", {"G00 X0", "M30"}};
const V kEditor{"G01 Y1", "", "M02"};

double msBetween(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

// A rig whose controller asks the link to cancel when it takes its
// `cancelAt`-th frame, and an operator that notes when the port was closed
// after the cancel.
struct CancelRig {
  struct Shared {
    std::atomic<int> frames{0};
    int cancelAt = 0;
    std::atomic<Link*> link{nullptr};
    std::atomic<Clock::time_point> requested{};
  };

  class TimedOperator : public zar::test::RecordingOperator {
   public:
    std::function<void(size_t)> onDialog;  // called with the dialog's index before it is answered
    Clock::time_point closedAt{};
    void appendMessage(Page p, std::string_view line) override {
      if (line == msg(107)) closedAt = Clock::now();
      RecordingOperator::appendMessage(p, line);
    }
    int showCatalogDialog(std::string_view text, DialogType type, const std::vector<ButtonKind>& buttons,
                          int focus) override {
      if (onDialog) onDialog(dialogs.size());
      return RecordingOperator::showCatalogDialog(text, type, buttons, focus);
    }
  };

  static controller::ControllerConfig configWith(const std::shared_ptr<Shared>& shared) {
    controller::ControllerConfig config;
    config.monitor = [shared](const TrafficEntry& e) {
      if (e.kind != TrafficEntry::Kind::In || ++shared->frames != shared->cancelAt) return;
      shared->requested = Clock::now();
      shared->link.load()->requestCancel();
    };
    return config;
  }

  explicit CancelRig(int cancelAt, LinkSettings settings = test::fastSettings())
      : shared(std::make_shared<Shared>()),
        ctrl(configWith(shared)),
        link(comm, settings, log),
        transfer(link, log) {
    shared->cancelAt = cancelAt;
    shared->link = &link;
    ctrl.start();
    const std::string path = ctrl.devicePath();
    comm.SetPathResolver([path](const std::string& name) { return name == "COM2" ? path : std::string(); });
    page.comIndex = 1;
    page.slot = 5;
    page.progName = "NEW";
    ctrl.setProgram(5, kHeld);
    op.editors[Page::Program] = kEditor;
  }
  ~CancelRig() {
    comm.Close();
    ctrl.stop();
  }

  TransferOutcome run(Which which) {
    switch (which) {
      case Which::Send: return transfer.TransBtnClick(page);
      case Which::Receive: return transfer.RcvBtnClick(page);
      case Which::Delete: return transfer.DelProgBtnClick(page);
    }
    return TransferOutcome::Busy;
  }
  V& log_() { return op.messages[Page::Program]; }
  size_t count(const std::string& line) { return std::count(log_().begin(), log_().end(), line); }

  std::shared_ptr<Shared> shared;
  controller::VirtualController ctrl;
  TimedOperator op;
  MessageCatalog catalog = test::numberedCatalog();
  MessageLog log{catalog, op};
  TComm comm;
  Link link;
  ProgramTransfer transfer;
  ProgramPage page;
};

const std::string kCancelled(Link::kCancelledText);

TEST(ProgramCancel, AtEveryFrameOfEveryDialogueNothingMoreIsSent) {
  struct Dialogue {
    Which which;
    const char* name;
    size_t frames;  // the whole dialogue, uncancelled
  };
  const Dialogue dialogues[] = {{Which::Send, "send", 15}, {Which::Receive, "receive", 8}, {Which::Delete, "delete", 8}};
  for (const Dialogue& d : dialogues) {
    {  // The whole dialogue, to know its length.
      CancelRig rig(0);
      ASSERT_EQ(rig.run(d.which), TransferOutcome::Done) << d.name;
      ASSERT_EQ(rig.ctrl.inputFrames().size(), d.frames) << d.name;
    }
    for (size_t k = 1; k <= d.frames; ++k) {
      SCOPED_TRACE(std::string(d.name) + ", cancelled at frame " + std::to_string(k));
      CancelRig rig(static_cast<int>(k));
      const TransferOutcome outcome = rig.run(d.which);

      // The receive's last frame is the ACK of a program already complete.
      const bool complete = d.which == Which::Receive && k == d.frames;
      EXPECT_EQ(outcome, complete ? TransferOutcome::Done : TransferOutcome::Cancelled) << outcomeName(outcome);
      EXPECT_FALSE(rig.comm.Enabled());
      EXPECT_EQ(rig.ctrl.inputFrames().size(), k) << rig.ctrl.transcript();
      EXPECT_EQ(rig.count(kCancelled), complete ? 0u : 1u);
      for (int failure : {103, 104, 122}) EXPECT_EQ(rig.count(msg(failure)), 0u) << failure;
      if (complete) continue;

      // Cancelled while the controller answers: the port closes at once (and
      // no 103 above shows that nothing waited for a time-out).
      EXPECT_LT(msBetween(rig.shared->requested, rig.op.closedAt), 500);
      // The editor keeps what it held, or what had arrived.
      const V& editor = rig.op.editors[Page::Program];
      if (d.which == Which::Receive) {
        const size_t came = k >= 6 ? k - 5 : 0;  // ACK 5 brought line 1, ACK 6 line 2
        EXPECT_EQ(editor, came ? V(kHeld.lines.begin(), kHeld.lines.begin() + static_cast<long>(came)) : kEditor);
        EXPECT_EQ(rig.transfer.linesReceived(), came);
      } else {
        EXPECT_EQ(editor, kEditor);
      }
    }
  }
}

TEST(ProgramCancel, DuringAQuestionEndsTheDialogueThere) {
  struct Case {
    Which which;
    size_t dialog;       // index of the question during which Cancel comes
    size_t framesAfter;  // frames the controller has taken by then
  };
  const Case cases[] = {
      {Which::Send, 0, 0},     // "send this program?"
      {Which::Send, 1, 4},     // "delete the held program first?": nothing is sent after it
      {Which::Receive, 0, 0},  //
      {Which::Delete, 0, 4},   // "delete this program?"
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(static_cast<int>(c.which)) + "/" + std::to_string(c.dialog));
    CancelRig rig(0);
    rig.op.onDialog = [&](size_t index) {
      if (index == c.dialog) rig.link.requestCancel();
    };
    EXPECT_EQ(rig.run(c.which), TransferOutcome::Cancelled);
    EXPECT_EQ(rig.ctrl.inputFrames().size(), c.framesAfter);
    EXPECT_EQ(rig.count(kCancelled), 1u);
    EXPECT_EQ(rig.count(msg(126)), 0u);  // not "deletion declined": cancelled
    EXPECT_FALSE(rig.comm.Enabled());
    EXPECT_EQ(rig.ctrl.program(5), kHeld);
  }
}

TEST(ProgramCancel, WhileAReplyIsAwaitedEndsWithinAPumpInterval) {
  LinkSettings slow = test::fastSettings();
  slow.timeoutMs = 5000;
  CancelRig rig(0, slow);
  rig.ctrl.addFault(Fault::noReply("store.line:2"));
  std::thread canceller([&] {
    rig.ctrl.waitForFrames(14, 5000);  // N2 has gone out; no reply will come
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    rig.shared->requested = Clock::now();
    rig.link.requestCancel();
  });
  const Clock::time_point start = Clock::now();
  EXPECT_EQ(rig.run(Which::Send), TransferOutcome::Cancelled);
  canceller.join();
  EXPECT_LT(msBetween(start, Clock::now()), 2000);  // far from the 5 s time-out
  EXPECT_LT(msBetween(rig.shared->requested, rig.op.closedAt), 250);  // pumps every 20 ms; time-out 5 s
  EXPECT_EQ(rig.ctrl.inputFrames().size(), 14u);
  // Line 2 went out unanswered: the slot holds line 1, perhaps line 2 too.
  EXPECT_EQ(rig.log_().back(), partialSendText(5, 1, 3, true));
  EXPECT_EQ(rig.log_().at(rig.log_().size() - 2), msg(107));
  EXPECT_EQ(rig.log_().at(rig.log_().size() - 3), kCancelled);
  EXPECT_EQ(rig.op.beeps, 1);  // the send's own beep; a cancel does not beep

  // The request ended with the dialogue: the next one runs through.
  rig.ctrl.clearFaults();
  EXPECT_FALSE(rig.link.cancelRequested());
  EXPECT_EQ(rig.run(Which::Send), TransferOutcome::Done);
  EXPECT_EQ(rig.ctrl.program(5), (Program{"NEW", kEditor}));
}

// Every snapshot the link's progress gives, unthrottled.
struct Recorder : ProgressObserver {
  std::vector<ProgressSnapshot> seen;
  int started = 0;
  std::optional<DialogueOutcome> ended;
  ProgressSnapshot last;
  void progressStarted() override { ++started; }
  void progressChanged(const ProgressSnapshot& now) override { seen.push_back(now); }
  void progressEnded(const ProgressSnapshot& s, DialogueOutcome outcome) override {
    last = s;
    ended = outcome;
  }
};

size_t totalBytes(const V& pieces) {
  return std::accumulate(pieces.begin(), pieces.end(), size_t{0},
                         [](size_t n, const std::string& p) { return n + p.size(); });
}

TEST(ProgramProgress, CountsWhatCrossedTheLine) {
  test::Rig rig;
  Recorder recorder;
  rig.link.progress().setObserver(&recorder);
  rig.link.progress().setNotifyInterval(std::chrono::milliseconds(0));
  V program;
  for (int i = 0; i < 40; ++i) program.push_back("G01 X" + std::to_string(i));
  rig.editor() = program;
  rig.page.slot = 9;
  rig.page.progName = "P";

  ASSERT_EQ(rig.transfer.TransBtnClick(rig.page), TransferOutcome::Done);
  ASSERT_EQ(recorder.started, 1);
  ASSERT_EQ(recorder.ended, DialogueOutcome::Done);
  const ProgressSnapshot& sent = recorder.last;
  EXPECT_EQ(sent.unit, ProgressUnit::Lines);
  EXPECT_EQ(sent.done, 40u);
  EXPECT_EQ(sent.total, 40u);
  EXPECT_EQ(sent.bytesSent, totalBytes(rig.ctrl.inputFrames()));
  EXPECT_EQ(sent.bytesReceived, totalBytes(rig.ctrl.outputReplies()));
  EXPECT_EQ(sent.secondsLeft, 0.0);
  EXPECT_GT(sent.bytesPerSecond, 0);
  EXPECT_FALSE(sent.running);
  // Lines counted one by one as the controller took them, never past the total.
  size_t lastDone = 0;
  for (const ProgressSnapshot& s : recorder.seen) {
    EXPECT_GE(s.done, lastDone);
    EXPECT_LE(s.done, 40u);
    lastDone = s.done;
  }

  // Receiving it back: how many lines will come is not known.
  rig.ctrl.clearTraffic();
  recorder = {};
  ASSERT_EQ(rig.transfer.RcvBtnClick(rig.page), TransferOutcome::Done);
  EXPECT_EQ(recorder.last.unit, ProgressUnit::Lines);
  EXPECT_EQ(recorder.last.done, 40u);
  EXPECT_FALSE(recorder.last.total);
  EXPECT_FALSE(recorder.last.secondsLeft);
  EXPECT_EQ(recorder.last.bytesSent, totalBytes(rig.ctrl.inputFrames()));
  EXPECT_EQ(recorder.last.bytesReceived, totalBytes(rig.ctrl.outputReplies()));

  // A delete counts bytes only.
  recorder = {};
  ASSERT_EQ(rig.transfer.DelProgBtnClick(rig.page), TransferOutcome::Done);
  EXPECT_EQ(recorder.last.unit, ProgressUnit::None);
  EXPECT_GT(recorder.last.bytesSent, 0u);
  EXPECT_EQ(recorder.ended, DialogueOutcome::Done);
}

}  // namespace
}  // namespace zar::nc
