#pragma once
// The path simulator: executes the converted block list as a slow-motion
// machine. Every timer tick advances the current command by one step (one
// step length of travel, one angle step of an arc, one look at the clock
// for a dwell); every step moves the simulated tool, which the owner plots.
// Before each drawing run a preparatory pass measures the path's extent at
// full speed, without drawing.
//
// The interpreter knows nothing of widgets. Its owner (the simulator window,
// the zarctl plotter, a test) plugs in a PathSink: it supplies the current
// choices of the window (step mode, unit, resolution, I/O check boxes) and
// receives the tool positions, the line to highlight, lamp changes, the
// extent found by the preparatory pass and the state of the run controls
// (START/STOP/PAUSE enabled, run timer on, input button shown).

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "sim/BlockRecord.h"

namespace zar::sim {

// RunState values.
enum RunStateCode : int { rsRunning = 1, rsPaused = 2, rsStepWait = 4, rsIdle = 8 };

// Plane values (arcs are always in XY).
inline constexpr std::uint8_t kPlaneXY = 1;

// Depth of the subprogram return stack.
inline constexpr int kCallStackSize = 8;

// Step tables, indexed by the resolution choice (a negative index counts as
// the first entry). Step lengths are in program units per step; the angle
// step in degrees does not depend on the unit.
inline constexpr int kResolutionCount = 5;
double StepLengthFor(int unit, int index);
double AngleStepFor(int index);
const char* ResolutionText(int unit, int index);  // list texts of the choice

// The window's current choices, asked for when they matter.
struct SimulatorSettings {
  bool continuous = true;    // step selection: false = single step (item 0), true = continuous (item 1)
  int unit = 0;              // unit item: 0 (dwell in ms), 1 (dwell in seconds)
  int resolution = -1;       // resolution index, -1 when nothing is chosen
  bool inputCheck = false;   // input records wait for the simulate-input button
  bool outputCheck = false;  // output records light the lamps
};

// What the run controls should look like.
struct RunControls {
  bool startEnabled = true;
  bool stopEnabled = false;
  bool pauseEnabled = false;
  bool runTimer = false;   // the 10 ms timer that calls RunTimerTimer
  bool inputWait = false;  // the simulate-input button is shown
  bool operator==(const RunControls&) const = default;
};

// Kind of step that moved the tool (the window draws them all alike).
enum class Motion : std::uint8_t {
  Idle,   // the start point, plotted while idle: no path leads to it
  Rapid,  // G0
  Feed,   // G1
  Arc,    // G2/G3
};

struct ToolPoint {
  double X = 0.0, Y = 0.0, Z = 0.0, U = 0.0;
};

// Smallest and largest X and Y met in the preparatory pass; the origin is
// always inside.
struct PathExtents {
  double minX = 0.0, maxX = 0.0, minY = 0.0, maxY = 0.0;
  void include(double x, double y);
};

class PathSink {
 public:
  virtual ~PathSink() = default;
  virtual SimulatorSettings settings() const { return {}; }
  // After the preparatory pass of every START, before the start point.
  virtual void extentsFound(const PathExtents&) {}
  // One step of the tool (PutPixel), or the start point (Motion::Idle).
  virtual void plot(const ToolPoint&, Motion) {}
  // The tool position changed without a path to draw (return to reference).
  virtual void jumped(const ToolPoint&) {}
  // A command starts in a drawing run: highlight its source line (from 0).
  virtual void highlightLine(int) {}
  // Output lamp 1..32 set red (high) or green (low).
  virtual void lampChanged(int /*number*/, bool /*high*/) {}
  // Every lamp back to green (each START).
  virtual void lampsReset() {}
  // The buttons, the run timer or the input button changed.
  virtual void controlsChanged(const RunControls&) {}
};

// Milliseconds of a monotonic clock. The window uses steady_clock; tests and
// the plotter supply their own.
using MillisecondClock = std::function<double()>;

class Interpreter {
 public:
  // Work allowed to one preparatory pass (records executed plus arc points
  // sampled). A program whose control flow would run longer (nested jump
  // loops, huge loop counts) is measured up to this point.
  static constexpr long kPrepassWorkLimit = 8'000'000;

  Interpreter(BlockList& list, PathSink& sink);

  void setClock(MillisecondClock clock);

  // ---- Buttons and timer of the window.
  void StartBtnClick();  // start a run, resume a pause, take the next single step
  void StopBtnClick();
  void PauseBtnClick();
  void S_InBtnClick();   // satisfy a waiting input and continue
  void RunTimerTimer();  // one tick: one step of the current command
  void Close();          // the window closes: timer off, idle

  // The preparatory pass alone (counters reset, extents measured), as START
  // runs it; leaves the interpreter idle.
  PathExtents RunPrepass();

  // ---- Commands.
  void RunOneCommand(int index, bool prepass);
  void Set_DONEXT_Flag();
  static double convert_angle(double degrees);

  void Do_G00(bool prepass);
  void Do_G01(bool prepass);
  void Do_G02G03(bool prepass);
  void Do_G04(bool prepass);
  void Do_G28(bool prepass);
  void Do_G90(bool prepass);
  void Do_G91(bool prepass);
  void Do_G92(bool prepass);
  void Do_IO(bool prepass);
  void Do_M96(bool prepass);
  void Do_M97(bool prepass);
  void Do_M98(bool prepass);

  // Centre of an arc of signed radius R from (x1, y1) to (x2, y2), returned
  // as the offsets (I, J) from the start point.
  static std::array<double, 2> CentreFromRadius(double x1, double y1, double x2, double y2,
                                                double R, bool counterClockwise);

  // ---- State (read by the window; written only by the interpreter).
  int CommandIndex = 0;
  bool DONEXT = true;
  bool PrepassFlag = true;
  int RunState = rsIdle;
  std::array<std::int32_t, kCallStackSize> CallStack{};
  int CallDepth = 0;
  std::array<double, 4> Position{};        // X, Y, Z, U
  std::array<double, 4> CoordinateBase{};  // added to programmed coordinates
  std::array<double, 4> PresetOffset{};    // subtracted from programmed coordinates
  PathExtents Extents;
  double StepLength = 100.0;
  double AngleStep = 0.5;
  std::uint8_t Plane = kPlaneXY;
  RunControls Controls;
  // Work allowed to the preparatory pass (kPrepassWorkLimit unless lowered).
  long PrepassWorkLimit = kPrepassWorkLimit;
  // The last preparatory pass stopped at PrepassWorkLimit.
  bool PrepassTruncated = false;

  const BlockList& blocks() const { return list_; }
  ToolPoint position() const { return {Position[0], Position[1], Position[2], Position[3]}; }

 private:
  void endRun();
  void resetCounters();
  void clearMotionState();
  void publishControls();
  bool hasNextRecord() const { return CommandIndex + 1 < list_.count(); }
  void finishCommand(bool prepass);
  int findTarget(double line);
  void resumeAt(int recordIndex);
  void returnOrEnd(bool prepass);
  void stopAtM0();
  void straightMove(bool prepass, bool together);
  void includeSampledArc();
  double target(int axis, double value) const;
  SimulatorSettings settings() const { return sink_.settings(); }

  BlockList& list_;
  PathSink& sink_;
  MillisecondClock clock_;
  RunControls published_;
  long prepassWork_ = 0;
  bool stoppedAtM0_ = false;

  // Straight moves.
  std::array<double, 4> point_{};
  std::array<double, 4> target_{};
  std::array<double, 4> direction_{};
  std::array<double, 4> step_{};
  unsigned moving_ = 0;
  bool uPending_ = false;
  Motion motion_ = Motion::Rapid;

  // Arcs.
  double centreX_ = 0.0, centreY_ = 0.0, radius_ = 0.0;
  double angle_ = 0.0, endAngle_ = 0.0;
  bool clockwise_ = true;
  double endX_ = 0.0, endY_ = 0.0;

  // Dwell.
  double dwellStart_ = 0.0, dwellDuration_ = 0.0;

  // First record of every source line, for jump targets (built per pass).
  void indexTargets();
  std::vector<int> lineFirstRecord_;
  int indexedCount_ = -1;
};

}  // namespace zar::sim
