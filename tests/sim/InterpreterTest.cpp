#include "sim/Interpreter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "sim/Converter.h"

namespace zar::sim {
namespace {

class RecordingSink : public PathSink {
 public:
  SimulatorSettings s;
  std::vector<ToolPoint> points;  // every plotted step (not the start point)
  std::vector<ToolPoint> jumps;
  std::vector<int> highlights;
  std::map<int, bool> lamps;
  int lampResets = 0;
  int extentsCalls = 0;
  PathExtents extents;
  int controlChanges = 0;

  SimulatorSettings settings() const override { return s; }
  void extentsFound(const PathExtents& e) override {
    ++extentsCalls;
    extents = e;
  }
  void plot(const ToolPoint& p, Motion m) override {
    if (m != Motion::Idle) points.push_back(p);
  }
  void jumped(const ToolPoint& p) override { jumps.push_back(p); }
  void highlightLine(int line) override { highlights.push_back(line); }
  void lampChanged(int n, bool high) override { lamps[n] = high; }
  void lampsReset() override { ++lampResets; }
  void controlsChanged(const RunControls&) override { ++controlChanges; }

  int timesHighlighted(int line) const {
    int n = 0;
    for (int h : highlights) n += h == line;
    return n;
  }
};

// A converted program with an interpreter over it, stepping one unit per step
// (unit 1, resolution 1) with a clock that advances 10 ms per look.
struct Sim {
  explicit Sim(const std::vector<std::string>& lines, int unit = 1, int resolution = 1) {
    Converter converter(*list);
    result = converter.ConvertLines(lines);
    sink.s.unit = unit;
    sink.s.resolution = resolution;
    interp = std::make_unique<Interpreter>(*list, sink);
    interp->setClock([this] { return now += 10.0; });
  }
  // Ticks until the run is idle, paused or waiting (at most `limit` ticks).
  int runUntilHeld(int limit = 1'000'000) {
    int ticks = 0;
    while (ticks < limit && interp->RunState == rsRunning && interp->Controls.runTimer) {
      interp->RunTimerTimer();
      ++ticks;
    }
    return ticks;
  }
  int run(int limit = 1'000'000) {
    interp->StartBtnClick();
    return runUntilHeld(limit);
  }
  ToolPoint pos() const { return interp->position(); }

  std::unique_ptr<BlockList> list = std::make_unique<BlockList>();
  ConversionResult result;
  RecordingSink sink;
  std::unique_ptr<Interpreter> interp;
  double now = 0.0;
};

TEST(Interpreter, FeedMoveInterpolatesAxesTogether) {
  Sim sim({"G1 X100 Y50"}, 1, 4);  // step length 10
  sim.run();
  ASSERT_EQ(sim.sink.points.size(), 10u);
  for (int i = 0; i < 10; ++i) {
    EXPECT_NEAR(sim.sink.points[i].X, 10.0 * (i + 1), 1e-9);
    EXPECT_NEAR(sim.sink.points[i].Y, 5.0 * (i + 1), 1e-9);
  }
  EXPECT_EQ(sim.interp->RunState, rsIdle);
  EXPECT_TRUE(sim.interp->PrepassFlag);
}

TEST(Interpreter, RapidMoveRunsAxesIndependently) {
  Sim sim({"G0 X100 Y50 Z-7 U3"}, 1, 4);
  sim.run();
  ASSERT_EQ(sim.sink.points.size(), 10u);
  EXPECT_EQ(sim.sink.points[3].Y, 40.0);
  EXPECT_EQ(sim.sink.points[4].Y, 50.0);  // Y arrives after 5 steps
  EXPECT_EQ(sim.sink.points[5].Y, 50.0);
  EXPECT_EQ(sim.sink.points[5].X, 60.0);
  EXPECT_EQ(sim.sink.points[9].X, 100.0);
  EXPECT_EQ(sim.sink.points[0].Z, -7.0);
  EXPECT_EQ(sim.pos().U, 3.0);  // U jumps to its target in the first step
}

TEST(Interpreter, HalfCirclesFromTheOrigin) {
  for (const bool clockwise : {true, false}) {
    Sim sim({clockwise ? "G2 X10 Y0 I5 J0" : "G3 X10 Y0 I5 J0"});  // 1 degree steps
    sim.run();
    // 180 steps of 1 degree (one more for the rounding of the angle constant).
    ASSERT_NEAR(static_cast<double>(sim.sink.points.size()), 180.0, 1.0);
    const ToolPoint middle = sim.sink.points[89];  // 90 degrees on
    EXPECT_NEAR(middle.X, 5.0, 1e-5);
    EXPECT_NEAR(middle.Y, clockwise ? 5.0 : -5.0, 1e-5);
    EXPECT_NEAR(sim.pos().X, 10.0, 1e-5);
    EXPECT_NEAR(sim.pos().Y, 0.0, 1e-5);
    EXPECT_NEAR(clockwise ? sim.sink.extents.maxY : -sim.sink.extents.minY, 5.0, 1e-5);
  }
}

TEST(Interpreter, FullCircleWhenEndEqualsStart) {
  Sim sim({"G2 X0 Y0 I5 J0"}, 1, 0);  // 0.5 degree steps
  sim.run();
  EXPECT_EQ(sim.sink.points.size(), 720u);
  EXPECT_NEAR(sim.sink.extents.maxX, 10.0, 1e-5);
  EXPECT_NEAR(sim.sink.extents.minY, -5.0, 1e-5);
  EXPECT_NEAR(sim.sink.extents.maxY, 5.0, 1e-5);
  EXPECT_EQ(sim.pos().X, 0.0);  // exactly back at the start
  EXPECT_EQ(sim.pos().Y, 0.0);

  // So the next full circle is a full circle again.
  Sim twice({"G2 X0 Y0 I5 J0", "G3 X0 Y0 I5 J0"}, 1, 0);
  twice.run();
  EXPECT_EQ(twice.sink.points.size(), 1440u);
}

TEST(Interpreter, PreparatoryPassMeasuresEveryPlottedArcPoint) {
  // The pass evaluates only the extreme samples of an arc; the extents must
  // equal those of all the points the drawing run plots.
  const std::vector<std::string> arcs = {
      "G2 X10 Y0 I5 J0",      "G3 X10 Y0 I5 J0",      "G2 X0 Y0 I3.3 J-1.7", "G3 X0 Y0 I-2 J7",
      "G2 X7 Y3 R4",          "G3 X-4 Y9 R-6.5",      "G2 X1 Y1 I0.1 J0.05", "G3 X-20 Y0.5 I-10 J0.2",
      "G2 X0.3 Y-8 I4 J-4",   "G3 X12 Y-1 R30",
  };
  for (int resolution = 0; resolution < kResolutionCount; ++resolution) {
    for (const std::string& arc : arcs) {
      Sim sim({"G0 X1.5 Y-2.5", arc}, 1, resolution);
      sim.run();
      PathExtents plotted;
      plotted.include(1.5, -2.5);
      for (const ToolPoint& p : sim.sink.points) plotted.include(p.X, p.Y);
      SCOPED_TRACE(arc + " resolution " + std::to_string(resolution));
      EXPECT_NEAR(sim.sink.extents.minX, plotted.minX, 1e-6);
      EXPECT_NEAR(sim.sink.extents.maxX, plotted.maxX, 1e-6);
      EXPECT_NEAR(sim.sink.extents.minY, plotted.minY, 1e-6);
      EXPECT_NEAR(sim.sink.extents.maxY, plotted.maxY, 1e-6);
    }
  }
}

TEST(Interpreter, CentreFromRadius) {
  auto cw = Interpreter::CentreFromRadius(0, 0, 10, 0, 10, false);
  EXPECT_NEAR(cw[0], 5.0, 1e-9);
  EXPECT_NEAR(cw[1], -8.660254, 1e-6);
  auto ccw = Interpreter::CentreFromRadius(0, 0, 10, 0, 10, true);
  EXPECT_NEAR(ccw[1], 8.660254, 1e-6);
  auto negative = Interpreter::CentreFromRadius(0, 0, 10, 0, -10, false);  // the other side
  EXPECT_NEAR(negative[1], 8.660254, 1e-6);
  for (bool dir : {true, false}) {
    auto half = Interpreter::CentreFromRadius(0, 0, 10, 0, 5, dir);
    EXPECT_NEAR(half[0], 5.0, 1e-9);
    EXPECT_NEAR(half[1], 0.0, 1e-9);
  }
  // Vertical chord: the other branch of the construction.
  auto vertical = Interpreter::CentreFromRadius(0, 0, 0, 10, 10, false);
  EXPECT_NEAR(std::fabs(vertical[0]), 8.660254, 1e-6);
  EXPECT_NEAR(vertical[1], 5.0, 1e-9);
  // A radius too small for the chord still gives a centre.
  auto small = Interpreter::CentreFromRadius(0, 0, 10, 0, 1, false);
  EXPECT_TRUE(std::isfinite(small[0]) && std::isfinite(small[1]));
}

TEST(Interpreter, RadiusArcsBulgeByDirection) {
  Sim up({"G2 X10 Y0 R10"});
  up.run();
  EXPECT_EQ(up.sink.points.size(), 60u);  // a 60 degree arc
  EXPECT_NEAR(up.sink.extents.maxY, 10.0 - 8.660254, 1e-5);
  Sim down({"G3 X10 Y0 R10"});
  down.run();
  EXPECT_NEAR(down.sink.extents.minY, -(10.0 - 8.660254), 1e-5);
}

TEST(Interpreter, UnusableArcGeometryEndsTheCommand) {
  // A radius arc that ends where it starts has no centre; huge coordinates
  // overflow the construction. Neither may hang or leave NaN positions.
  Sim same({"G1 X3", "G2 X3 Y0 R5", "G1 Y2"});
  same.run();
  EXPECT_EQ(same.interp->RunState, rsIdle);
  EXPECT_EQ(same.pos().X, 3.0);
  EXPECT_EQ(same.pos().Y, 2.0);

  const std::string tiny = "0." + std::string(118, '0') + "1";
  Sim huge({"G2 X" + tiny + " Y" + std::string(120, '9') + " R1"});
  ASSERT_TRUE(huge.result.ok());
  huge.run();
  EXPECT_EQ(huge.interp->RunState, rsIdle);
  EXPECT_TRUE(std::isfinite(huge.pos().X) && std::isfinite(huge.pos().Y));
  EXPECT_TRUE(std::isfinite(huge.sink.extents.maxY));

  Sim zero({"G2 X0 Y0 I0 J0"});  // a circle of radius 0
  zero.run();
  EXPECT_EQ(zero.interp->RunState, rsIdle);
}

TEST(Interpreter, ConvertAngle) {
  EXPECT_EQ(Interpreter::convert_angle(720.0), 0.0);
  EXPECT_EQ(Interpreter::convert_angle(-30.0), 330.0);
  EXPECT_EQ(Interpreter::convert_angle(-360.0), 0.0);
  EXPECT_EQ(Interpreter::convert_angle(359.5), 359.5);
  EXPECT_EQ(Interpreter::convert_angle(-725.0), 355.0);
  EXPECT_EQ(Interpreter::convert_angle(3.6e12 + 10.0), 10.0);
}

TEST(Interpreter, IncrementalPresetAndReference) {
  Sim inc({"G1 X10", "G91", "G1 X5", "G1 X5"});
  inc.run();
  EXPECT_EQ(inc.pos().X, 15.0);  // both moves measured from where G91 was given
  EXPECT_EQ(inc.sink.points.back().X, 15.0);

  Sim preset({"G92 X10", "G1 X10"});
  preset.run();
  EXPECT_EQ(preset.pos().X, 0.0);

  Sim reference({"G92 X10", "G1 X30 Y4", "G28", "G1 X5", "G90 G1 Y1"});
  reference.run();
  ASSERT_EQ(reference.sink.jumps.size(), 1u);  // no path drawn for the return
  EXPECT_EQ(reference.sink.jumps[0].X, 0.0);
  EXPECT_EQ(reference.pos().X, 5.0);  // the preset is cleared too
  EXPECT_EQ(reference.pos().Y, 1.0);
}

TEST(Interpreter, DwellUnits) {
  Sim ms({"G4 X500"}, 0);
  const int msTicks = ms.run();
  Sim seconds({"G4 X0.5"}, 1);
  const int secondTicks = seconds.run();
  // Set-up, then one look per 10 ms tick until more than 500 ms have passed.
  EXPECT_EQ(msTicks, 52);
  EXPECT_EQ(secondTicks, 52);
}

TEST(Interpreter, LoopRunsTheSectionCountTimes) {
  Sim sim({"M3", "M4", "G1 X1", "G1 X2", "LOOP N3 L4", "M30"});
  sim.run();
  EXPECT_EQ(sim.sink.timesHighlighted(0), 1);
  EXPECT_EQ(sim.sink.timesHighlighted(1), 1);
  EXPECT_EQ(sim.sink.timesHighlighted(2), 4);
  EXPECT_EQ(sim.sink.timesHighlighted(4), 4);
  EXPECT_EQ(sim.sink.timesHighlighted(5), 1);
  // The loop count is back to its start for the next run.
  EXPECT_EQ((*sim.list)[4].Z, 4.0);
}

TEST(Interpreter, CallsMakeTheirFullCountInTheDrawingRun) {
  for (int count : {1, 3}) {
    Sim sim({"CALL N3 L" + std::to_string(count), "M30", "G1 X5 Y-40", "M99"});
    sim.run();
    EXPECT_EQ(sim.sink.timesHighlighted(2), count);
    EXPECT_EQ(sim.sink.timesHighlighted(1), 1);
    EXPECT_EQ(sim.interp->RunState, rsIdle);
    EXPECT_EQ(sim.interp->CallDepth, 0);
    EXPECT_EQ(sim.sink.extents.minY, -40.0);  // measured in the preparatory pass
    // A second START runs the same program again.
    sim.sink.highlights.clear();
    sim.run();
    EXPECT_EQ(sim.sink.timesHighlighted(2), count);
  }
}

std::vector<std::string> nestedCalls(int depth) {
  // The CALL on line index 2k calls line index 2k+2 (written N(2k+3): the
  // record before the target's); the innermost level moves the tool.
  std::vector<std::string> lines;
  for (int level = 0; level < depth; ++level) {
    lines.push_back("CALL N" + std::to_string(2 * level + 3));
    lines.push_back(level == 0 ? "M30" : "M99");
  }
  lines.push_back("G1 X7");
  lines.push_back("M99");
  return lines;
}

TEST(Interpreter, SevenNestedCallsWorkTheEighthEndsTheRun) {
  Sim seven(nestedCalls(7));
  seven.run();
  EXPECT_EQ(seven.pos().X, 7.0);
  EXPECT_EQ(seven.interp->CallDepth, 0);
  EXPECT_EQ(seven.sink.timesHighlighted(1), 1);  // back at the M30

  Sim eight(nestedCalls(8));
  eight.run();
  EXPECT_EQ(eight.interp->RunState, rsIdle);
  EXPECT_EQ(eight.pos().X, 0.0);
  EXPECT_EQ(eight.interp->CallDepth, kCallStackSize);
  EXPECT_EQ(eight.sink.timesHighlighted(1), 0);
  EXPECT_TRUE(eight.interp->Controls.startEnabled);
}

TEST(Interpreter, RecursiveCallInThePrepassStaysInsideTheStack) {
  // A subprogram that calls itself: the pass must end without overrunning
  // the eight entries of the call stack.
  Sim sim({"CALL N2", "G91 G1 X1", "CALL N2", "M99"});
  sim.run();
  EXPECT_EQ(sim.interp->RunState, rsIdle);
  EXPECT_LE(sim.interp->CallDepth, kCallStackSize);
}

TEST(Interpreter, EndlessJumpFallsThroughAfter999Jumps) {
  Sim sim({"M3", "JMP N1", "G1 X2"});
  sim.run();
  EXPECT_EQ(sim.sink.timesHighlighted(0), 1000);
  EXPECT_EQ(sim.pos().X, 2.0);
}

TEST(Interpreter, TargetsAtTheFirstLineAndMissingTargets) {
  // Target line index 0 resumes at the first record instead of before it.
  Sim first({"M3", "JMP N0", "LOOP N0 L3", "CALL N0 L1", "G1 X4"});
  first.run();
  EXPECT_EQ(first.interp->RunState, rsIdle);
  EXPECT_GT(first.sink.timesHighlighted(0), 1);

  Sim missing({"JMP N40", "LOOP N40 L5", "CALL N40", "G1 X4"});
  missing.run();
  EXPECT_EQ(missing.pos().X, 4.0);
  EXPECT_EQ(missing.sink.highlights, (std::vector<int>{0, 1, 2, 3}));
}

TEST(Interpreter, ProgramEndStopsDrawingButNotMeasuring) {
  Sim sim({"G1 X1", "M30", "G1 X50 Y-20"});
  sim.run();
  EXPECT_EQ(sim.pos().X, 1.0);
  EXPECT_EQ(sim.sink.extents.maxX, 50.0);
  EXPECT_EQ(sim.sink.extents.minY, -20.0);
}

TEST(Interpreter, StopAtM0ResumesAfterIt) {
  Sim sim({"G1 X1", "M0", "G1 X2"});
  sim.run();
  EXPECT_EQ(sim.interp->RunState, rsPaused);
  EXPECT_TRUE(sim.interp->Controls.startEnabled);
  EXPECT_FALSE(sim.interp->Controls.pauseEnabled);
  EXPECT_EQ(sim.pos().X, 1.0);
  sim.interp->StartBtnClick();
  sim.runUntilHeld();
  EXPECT_EQ(sim.interp->RunState, rsIdle);
  EXPECT_EQ(sim.pos().X, 2.0);
  EXPECT_EQ(sim.sink.timesHighlighted(1), 1);

  Sim last({"M0"});  // an M0 as the last record: START ends the run
  last.run();
  last.interp->StartBtnClick();
  EXPECT_EQ(last.interp->RunState, rsIdle);
}

TEST(Interpreter, PauseResumesTheCurrentCommand) {
  Sim sim({"G1 X10"});  // ten steps of 1
  sim.interp->StartBtnClick();
  for (int i = 0; i < 3; ++i) sim.interp->RunTimerTimer();
  sim.interp->PauseBtnClick();
  EXPECT_EQ(sim.interp->RunState, rsPaused);
  sim.interp->RunTimerTimer();  // a tick while paused does nothing
  EXPECT_EQ(sim.pos().X, 3.0);
  sim.interp->StartBtnClick();
  sim.runUntilHeld();
  EXPECT_EQ(sim.pos().X, 10.0);  // the last record finishes
  EXPECT_EQ(sim.sink.points.size(), 10u);
}

TEST(Interpreter, SingleStepWaitsForStartAfterEachCommand) {
  Sim sim({"G1 X2", "M3", "G1 X3"});
  sim.sink.s.continuous = false;
  sim.run();
  EXPECT_EQ(sim.interp->RunState, rsStepWait);
  EXPECT_EQ(sim.pos().X, 2.0);
  EXPECT_TRUE(sim.interp->Controls.startEnabled);
  EXPECT_FALSE(sim.interp->Controls.runTimer);
  sim.interp->StartBtnClick();
  sim.runUntilHeld();
  EXPECT_EQ(sim.interp->CommandIndex, 1);
  EXPECT_EQ(sim.interp->RunState, rsStepWait);
  sim.interp->StartBtnClick();
  sim.runUntilHeld();
  EXPECT_EQ(sim.pos().X, 3.0);
  sim.interp->StartBtnClick();  // no next record: the run ends
  EXPECT_EQ(sim.interp->RunState, rsIdle);
}

TEST(Interpreter, StopAndControls) {
  Sim sim({"G1 X100"});
  sim.interp->StartBtnClick();
  EXPECT_FALSE(sim.interp->Controls.startEnabled);
  EXPECT_TRUE(sim.interp->Controls.stopEnabled);
  EXPECT_TRUE(sim.interp->Controls.pauseEnabled);
  EXPECT_TRUE(sim.interp->Controls.runTimer);
  EXPECT_EQ(sim.sink.lampResets, 1);
  EXPECT_EQ(sim.sink.extentsCalls, 1);
  sim.interp->RunTimerTimer();
  sim.interp->StopBtnClick();
  EXPECT_EQ(sim.interp->RunState, rsIdle);
  EXPECT_EQ(sim.interp->Controls, RunControls{});
  EXPECT_EQ(sim.sink.controlChanges, 2);
}

TEST(Interpreter, InputWaitsAndOutputLamps) {
  const std::vector<std::string> program = {"DOH3", "INH1", "DOH0", "DOH-1", "DOL3", "DOH32", "G1 X1"};
  Sim off(program);
  off.run();
  EXPECT_EQ(off.interp->RunState, rsIdle);  // boxes clear: no wait, no lamps
  EXPECT_TRUE(off.sink.lamps.empty());

  Sim on(program);
  on.sink.s.inputCheck = true;
  on.sink.s.outputCheck = true;
  on.run();
  EXPECT_TRUE(on.interp->Controls.inputWait);
  EXPECT_FALSE(on.interp->Controls.runTimer);
  EXPECT_EQ(on.sink.lamps, (std::map<int, bool>{{3, true}}));
  on.interp->RunTimerTimer();  // the timer is off while waiting
  EXPECT_EQ(on.interp->CommandIndex, 1);
  on.interp->S_InBtnClick();
  EXPECT_FALSE(on.interp->Controls.inputWait);
  on.runUntilHeld();
  EXPECT_EQ(on.interp->RunState, rsIdle);
  EXPECT_EQ(on.sink.lamps, (std::map<int, bool>{{3, false}, {32, true}}));  // 0 and -1 light nothing
  EXPECT_EQ(on.pos().X, 1.0);
}

TEST(Interpreter, EmptyListAndIdleTicks) {
  Sim sim({"(only a comment)"});
  ASSERT_EQ(sim.list->count(), 0);
  sim.interp->RunTimerTimer();  // idle: nothing happens
  sim.run();
  EXPECT_EQ(sim.interp->RunState, rsIdle);
}

TEST(Interpreter, RunawayControlFlowCannotHangThePreparatoryPass) {
  // Three nested endless jumps would take about 10^9 records.
  Sim sim({"M3", "JMP N1", "JMP N1", "JMP N1", "G1 X1"});
  sim.interp->StartBtnClick();
  EXPECT_TRUE(sim.interp->PrepassTruncated);
  EXPECT_EQ(sim.interp->RunState, rsRunning);
  // The drawing run starts from fresh counters.
  EXPECT_EQ((*sim.list)[1].Y, 0.0);
}

}  // namespace
}  // namespace zar::sim
