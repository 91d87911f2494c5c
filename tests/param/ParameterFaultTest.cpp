// Every line fault at every step of the parameter send and receive: each
// ends with the message its failure calls for, keeps what had arrived and
// leaves the port closed.
//
// A silent controller is noticed only after the port's one-second read
// time-out, so the cases run side by side, each with its own controller.
#include <gtest/gtest.h>

#include <algorithm>
#include <future>

#include "param/ParameterRig.h"

namespace zar::param {
namespace {

using controller::Fault;
using controller::FaultKind;
using test::msg;
using V = std::vector<std::string>;

struct Case {
  bool send;
  std::string step;
  FaultKind kind;

  std::string name() const {
    return std::string(send ? "send " : "receive ") + step + " " + std::string(controller::faultKindName(kind));
  }
  // The k of "param.value:k" and the like; 0 for the opening steps.
  int index() const {
    const size_t colon = step.find(':');
    return colon == std::string::npos ? 0 : std::stoi(step.substr(colon + 1));
  }
};

struct Result {
  DialogueOutcome outcome = DialogueOutcome::Busy;
  bool portOpen = true;
  V log, editor;
  std::vector<std::int32_t> values;  // the controller's parameters 1 to 3 afterwards
  std::string transcript;
};

const V kSettings = {"A(1)=11", "B(2)=22", "C(3)=33"};
const std::vector<ParameterEntry> kChecked = {{"A", 1}, {"B", 2}, {"C", 3}};
const V kReceived = {"A(1)=4", "B(2)=8", "C(3)=1"};
const std::int32_t kFactory[] = {4, 8, 1};

Result run(const Case& c) {
  test::Rig rig;
  rig.ctrl.addFault(Fault::make(c.step, c.kind));
  rig.editor() = c.send ? kSettings : V{"held"};
  Result r;
  r.outcome = c.send ? rig.transfer.ParTrnBtnClick() : rig.transfer.ParRcvBtnClick(kChecked);
  r.portOpen = rig.comm.Enabled();
  r.log = rig.messages();
  r.editor = rig.editor();
  for (int n = 1; n <= 3; ++n) r.values.push_back(rig.ctrl.parameter(n));
  r.transcript = rig.ctrl.transcript();
  return r;
}

bool silent(FaultKind kind) {
  return kind == FaultKind::NoReply || kind == FaultKind::Short || kind == FaultKind::Hangup;
}

DialogueOutcome expected(const Case& c) {
  if (c.step == "attention") return silent(c.kind) ? DialogueOutcome::LinkFailed : DialogueOutcome::Done;
  if (silent(c.kind)) return DialogueOutcome::LinkFailed;
  if (c.kind == FaultKind::Nak) return DialogueOutcome::Refused;
  // Garbage is a reply like any other, except where it stands for a value.
  return c.step.starts_with("param.value") ? DialogueOutcome::BadValue : DialogueOutcome::Done;
}

std::vector<Case> allCases() {
  const V sendSteps = {"attention", "param.send", "param.set:1", "param.set:3"};
  const V receiveSteps = {"attention", "param.receive", "param.request:1", "param.value:1", "param.request:2",
                          "param.value:2", "param.value:3"};
  const FaultKind kinds[] = {FaultKind::NoReply, FaultKind::Nak, FaultKind::Garbage, FaultKind::Short,
                             FaultKind::Hangup};
  std::vector<Case> cases;
  for (FaultKind kind : kinds) {
    for (const auto& step : sendSteps) cases.push_back({true, step, kind});
    for (const auto& step : receiveSteps) cases.push_back({false, step, kind});
  }
  return cases;
}

bool contains(const V& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::string marked(int n) { return kChecked[static_cast<size_t>(n - 1)].name + "(" + std::to_string(n) + ")=XXXXXX"; }

// How a case must leave things.
struct Expect {
  bool closing = false;   // message 146 / 148: the dialogue got past its opening
  V editor;               // receive: what the editor holds
  V marked;               // receive: the "XXXXXX" lines
  std::vector<bool> stored;  // send: parameters 1 to 3 took the file's value
};

Expect expect(const Case& c) {
  const DialogueOutcome outcome = expected(c);
  const bool done = outcome == DialogueOutcome::Done;
  const int k = c.index();
  Expect e;
  if (k == 0) {  // the attention frame or the $R / $P frame
    e.closing = done;
    e.editor = done ? kReceived : V{"held"};
    e.stored = std::vector<bool>(3, done);
    return e;
  }
  e.closing = true;
  for (int n = 1; n <= 3; ++n) {
    if (c.send) {
      const bool applied = c.kind != FaultKind::Nak && c.kind != FaultKind::Hangup;
      e.stored.push_back(done || n < k || (n == k && applied));
      continue;
    }
    // A failed request ends the loop; a lost value closes the port, so the
    // next request fails too (a value that is no number only costs itself).
    const bool request = c.step.starts_with("param.request");
    const bool lost = request ? !done && n == k : n == k || (outcome != DialogueOutcome::BadValue && n == k + 1);
    if (lost) e.marked.push_back(marked(n));
    else e.editor.push_back(kReceived[static_cast<size_t>(n - 1)]);
    if (lost && (request || n == k + 1)) break;
  }
  return e;
}

TEST(ParameterFaults, EveryFaultAtEveryStepEndsCleanly) {
  const std::vector<Case> cases = allCases();
  std::vector<Result> results(cases.size());
  constexpr size_t kBatch = 14;
  for (size_t first = 0; first < cases.size(); first += kBatch) {
    std::vector<std::future<Result>> running;
    for (size_t i = first; i < std::min(cases.size(), first + kBatch); ++i)
      running.push_back(std::async(std::launch::async, run, cases[i]));
    for (size_t i = 0; i < running.size(); ++i) results[first + i] = running[i].get();
  }

  for (size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    const Result& r = results[i];
    const Expect e = expect(c);
    SCOPED_TRACE(c.name() + "\n" + r.transcript);
    EXPECT_EQ(r.outcome, expected(c)) << outcomeName(r.outcome);
    EXPECT_FALSE(r.portOpen);

    // The failure's own message, then the dialogue's end when it got that far.
    const bool failedStep = c.step != "attention" || silent(c.kind);
    if (failedStep && silent(c.kind)) {
      EXPECT_TRUE(contains(r.log, c.kind == FaultKind::Hangup ? std::string(Link::kHungUpText) : msg(103)));
    }
    if (failedStep && c.kind == FaultKind::Nak) {
      EXPECT_TRUE(contains(r.log, msg(142)));
    }
    EXPECT_EQ(contains(r.log, msg(c.send ? 146 : 148)), e.closing);
    EXPECT_TRUE(contains(r.log, msg(107)));

    if (c.send) {
      EXPECT_EQ(r.editor, kSettings);
      for (int n = 1; n <= 3; ++n)
        EXPECT_EQ(r.values[static_cast<size_t>(n - 1)], e.stored[static_cast<size_t>(n - 1)] ? 11 * n : kFactory[n - 1])
            << "parameter " << n;
    } else {
      EXPECT_EQ(r.editor, e.editor);
      V shown;
      for (const std::string& line : r.log)
        if (line.ends_with("XXXXXX")) shown.push_back(line);
      EXPECT_EQ(shown, e.marked);
    }
  }
}

}  // namespace
}  // namespace zar::param
