// Every line fault at every step of the send, receive and delete dialogues:
// each ends with a clear message, loses nothing and leaves the port closed.
//
// A silent controller is noticed only after the port's one-second read
// time-out, so the cases run side by side, each with its own controller.
#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <thread>

#include "nc/TransferRig.h"

namespace zar::nc {
namespace {

using controller::Fault;
using controller::FaultKind;
using controller::Program;
using test::msg;
using V = std::vector<std::string>;

enum class Which { Send, Receive, Delete };

struct Case {
  Which which;
  std::string step;
  FaultKind kind;

  std::string name() const {
    static const char* names[] = {"send", "receive", "delete"};
    return std::string(names[static_cast<int>(which)]) + " " + step + " " +
           std::string(controller::faultKindName(kind));
  }
};

struct Result {
  TransferOutcome outcome = TransferOutcome::Busy;
  bool portOpen = true;
  V log;
  V editor;
  ProgramPage page;
  std::optional<Program> slot5;
  std::string transcript;
};

const Program kHeld{"OLD", {"G00 X0", "M30"}};
const V kEditor{"G01 Y1", "", "M02"};

Result run(const Case& c) {
  test::Rig rig;
  rig.ctrl.setProgram(5, kHeld);
  Fault fault = Fault::make(c.step, c.kind);
  rig.ctrl.addFault(fault);
  rig.page.slot = 5;
  rig.page.progName = "NEW";
  rig.editor() = kEditor;
  Result r;
  switch (c.which) {
    case Which::Send: r.outcome = rig.transfer.TransBtnClick(rig.page); break;
    case Which::Receive: r.outcome = rig.transfer.RcvBtnClick(rig.page); break;
    case Which::Delete: r.outcome = rig.transfer.DelProgBtnClick(rig.page); break;
  }
  r.portOpen = rig.comm.Enabled();
  r.log = rig.log_();
  r.editor = rig.editor();
  r.page = rig.page;
  r.slot5 = rig.ctrl.program(5);
  r.transcript = rig.ctrl.transcript();
  return r;
}

// How each case must end.
TransferOutcome expected(const Case& c) {
  const bool report0 = c.step == "attention" || (c.which == Which::Send && c.step == "list.slot");
  if (c.kind == FaultKind::Hangup) return TransferOutcome::LinkFailed;
  if (c.which == Which::Send && c.step == "list.slot") return TransferOutcome::Done;  // sends at once
  const bool silent = c.kind == FaultKind::NoReply || c.kind == FaultKind::Short;
  if (report0) return silent ? TransferOutcome::LinkFailed : TransferOutcome::Done;
  if (silent) return TransferOutcome::LinkFailed;
  if (c.kind == FaultKind::Nak) return TransferOutcome::Refused;
  // Garbage is a reply like any other, except where its content matters.
  if (c.which == Which::Delete && (c.step == "list.name" || c.step == "delete.confirm"))
    return TransferOutcome::NotDeleted;
  if (c.which == Which::Receive && c.step == "list.end") return TransferOutcome::LinkFailed;
  return TransferOutcome::Done;
}

std::vector<Case> allCases() {
  const std::vector<std::pair<Which, V>> steps = {
      {Which::Send,
       {"attention", "list", "list.slot", "list.name", "delete", "delete.slot", "delete.confirm", "store",
        "store.slot", "store.name", "store.line:1", "store.line:3"}},
      {Which::Receive, {"attention", "list", "list.slot", "list.name", "list.line:1", "list.line:2", "list.end"}},
      {Which::Delete, {"attention", "list", "list.slot", "list.name", "delete", "delete.slot", "delete.confirm"}},
  };
  const FaultKind kinds[] = {FaultKind::NoReply, FaultKind::Nak, FaultKind::Garbage, FaultKind::Short,
                             FaultKind::Hangup};
  std::vector<Case> cases;
  for (const auto& [which, names] : steps)
    for (const auto& step : names)
      for (FaultKind kind : kinds) cases.push_back({which, step, kind});
  return cases;
}

bool contains(const V& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST(TransferFaults, EveryFaultAtEveryStepEndsCleanly) {
  const std::vector<Case> cases = allCases();
  std::vector<Result> results(cases.size());
  // Batches of cases side by side; most of their time is spent waiting.
  constexpr size_t kBatch = 12;
  for (size_t first = 0; first < cases.size(); first += kBatch) {
    std::vector<std::future<Result>> running;
    for (size_t i = first; i < std::min(cases.size(), first + kBatch); ++i)
      running.push_back(std::async(std::launch::async, run, cases[i]));
    for (size_t i = 0; i < running.size(); ++i) results[first + i] = running[i].get();
  }

  for (size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    const Result& r = results[i];
    SCOPED_TRACE(c.name() + "\n" + r.transcript);
    EXPECT_EQ(r.outcome, expected(c)) << outcomeName(r.outcome);
    EXPECT_FALSE(r.portOpen);
    ASSERT_FALSE(r.log.empty());

    // A clear message: a failure names its cause, the end of every dialogue
    // that closed the port normally says so.
    switch (r.outcome) {
      case TransferOutcome::LinkFailed:
        // A hang-up is named as such, at once; only silence is "no reply in time".
        EXPECT_TRUE(contains(r.log, c.kind == FaultKind::Hangup ? std::string(Link::kHungUpText) : msg(103)));
        EXPECT_FALSE(c.kind == FaultKind::Hangup && contains(r.log, msg(103)));
        break;
      case TransferOutcome::Refused: EXPECT_TRUE(contains(r.log, msg(122))); break;
      case TransferOutcome::NotDeleted: EXPECT_TRUE(contains(r.log, msg(129))); break;
      case TransferOutcome::Done:
        EXPECT_TRUE(contains(r.log, msg(c.which == Which::Send      ? 106
                                        : c.which == Which::Receive ? 109
                                                                    : 128)));
        break;
      default: ADD_FAILURE() << outcomeName(r.outcome);
    }

    // Nothing lost.
    if (c.which == Which::Receive) {
      // Lines received stay; an editor that got none keeps what it held.
      const size_t came = c.step == "list.line:2" ? 1 : c.step == "list.end" ? 2 : 0;
      if (r.outcome == TransferOutcome::Done && c.kind != FaultKind::Garbage) {
        EXPECT_EQ(r.editor, kHeld.lines);
      } else if (c.kind != FaultKind::Garbage && came == 0) {
        EXPECT_EQ(r.editor, kEditor);
      } else if (c.kind != FaultKind::Garbage) {
        EXPECT_EQ(r.editor, V(kHeld.lines.begin(), kHeld.lines.begin() + came));
      }
      // Garbage in a program line is kept as it came, and named at the end.
      if (c.kind == FaultKind::Garbage && c.step.starts_with("list.line:")) {
        const size_t k = static_cast<size_t>(c.step.back() - '0');
        ASSERT_GE(r.editor.size(), k);
        EXPECT_EQ(r.editor[k - 1], "?~\xA5Z#");
        EXPECT_TRUE(r.log.back().starts_with("Warning: line " + std::to_string(k) + " arrived garbled"))
            << r.log.back();
      }
    } else {
      EXPECT_EQ(r.editor, kEditor);
    }
    // A send stopped while the controller stored the program ends saying
    // that the slot holds part of it; no other send says so.
    if (c.which == Which::Send) {
      const bool noted = r.log.back().starts_with("Slot 05 holds ");
      EXPECT_EQ(noted, c.step.starts_with("store.line:") && r.outcome != TransferOutcome::Done) << r.log.back();
    }
    if (c.which == Which::Send && r.outcome == TransferOutcome::Done) {
      EXPECT_EQ(r.slot5, (Program{"NEW", kEditor}));
    }
    if (c.which == Which::Delete && r.outcome == TransferOutcome::Done) {
      EXPECT_FALSE(r.slot5);
    }
    // The held program goes only when the controller got the whole deletion.
    if (c.which != Which::Receive && c.kind == FaultKind::Nak && c.step.starts_with("delete")) {
      EXPECT_TRUE(r.slot5);
    }
  }
}

}  // namespace
}  // namespace zar::nc
