#include "sim/Interpreter.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace zar::sim {

namespace {

constexpr double kPi = 3.1415926;
constexpr double kRadiansPerDegree = (1.0 / 180.0) * kPi;
constexpr double kDegreesPerRadian = 180.0 / kPi;

constexpr std::array<double, kResolutionCount> kStepUnit0 = {100, 1000, 2000, 5000, 10000};
constexpr std::array<double, kResolutionCount> kStepUnit1 = {0.5, 1, 2, 5, 10};
constexpr std::array<double, kResolutionCount> kAngleSteps = {0.5, 1, 2, 3, 5};
constexpr std::array<const char*, kResolutionCount> kTextUnit0 = {"100", "1000", "2000", "5000", "10000"};
constexpr std::array<const char*, kResolutionCount> kTextUnit1 = {"0.5", "1", "2", "5", "10"};

std::size_t resolutionSlot(int index) {
  return static_cast<std::size_t>(std::clamp(index, 0, kResolutionCount - 1));
}

constexpr std::uint8_t kAxisBits[4] = {mxX, mxY, mxZ, mxU};

double axisValue(const BlockRecord& r, int axis) {
  switch (axis) {
    case 0: return r.X;
    case 1: return r.Y;
    case 2: return r.Z;
    default: return r.U;
  }
}

bool finite(double v) { return std::isfinite(v); }

}  // namespace

double StepLengthFor(int unit, int index) {
  return unit == 1 ? kStepUnit1[resolutionSlot(index)] : kStepUnit0[resolutionSlot(index)];
}
double AngleStepFor(int index) { return kAngleSteps[resolutionSlot(index)]; }
const char* ResolutionText(int unit, int index) {
  return unit == 1 ? kTextUnit1[resolutionSlot(index)] : kTextUnit0[resolutionSlot(index)];
}

void PathExtents::include(double x, double y) {
  if (std::isfinite(x)) {
    minX = std::min(minX, x);
    maxX = std::max(maxX, x);
  }
  if (std::isfinite(y)) {
    minY = std::min(minY, y);
    maxY = std::max(maxY, y);
  }
}

Interpreter::Interpreter(BlockList& list, PathSink& sink) : list_(list), sink_(sink) {
  clock_ = [] {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
  };
}

void Interpreter::setClock(MillisecondClock clock) { clock_ = std::move(clock); }

// ---- Run control ------------------------------------------------------------

void Interpreter::publishControls() {
  if (Controls == published_) return;
  published_ = Controls;
  sink_.controlsChanged(Controls);
}

void Interpreter::endRun() {
  RunState = rsIdle;
  PrepassFlag = true;
  stoppedAtM0_ = false;
  Controls.startEnabled = true;
  Controls.stopEnabled = false;
  Controls.pauseEnabled = false;
  Controls.runTimer = false;
  Controls.inputWait = false;
}

// Jump counters, loop passes and call counts back to their programmed
// values, so that every pass over the list sees the program as written.
void Interpreter::resetCounters() {
  for (BlockRecord& r : list_) {
    switch (r.C) {
      case bcM96: r.Y = 0.0; break;
      case bcM97: r.Z = r.Y; break;
      case bcM98: r.Z = r.Y; r.U = 0.0; break;
      default: break;
    }
  }
}

void Interpreter::clearMotionState() {
  Position = {};
  CoordinateBase = {};
  PresetOffset = {};
  CallDepth = 0;
  CommandIndex = 0;
  DONEXT = true;
}

PathExtents Interpreter::RunPrepass() {
  const SimulatorSettings s = settings();
  StepLength = StepLengthFor(s.unit, s.resolution);
  AngleStep = AngleStepFor(s.resolution);
  Plane = kPlaneXY;
  resetCounters();
  Extents = {};
  clearMotionState();
  PrepassFlag = true;
  PrepassTruncated = false;
  prepassWork_ = 0;
  indexTargets();
  while (CommandIndex < list_.count()) {
    if (++prepassWork_ > PrepassWorkLimit) {
      PrepassTruncated = true;
      break;
    }
    RunOneCommand(CommandIndex, true);
    if (!DONEXT) DONEXT = true;  // every prepass command finishes in one call
    ++CommandIndex;
  }
  resetCounters();
  return Extents;
}

void Interpreter::StartBtnClick() {
  switch (RunState) {
    case rsIdle: {
      Controls.startEnabled = false;
      sink_.extentsFound(RunPrepass());
      clearMotionState();
      stoppedAtM0_ = false;
      Controls.stopEnabled = true;
      Controls.pauseEnabled = true;
      Controls.inputWait = false;
      sink_.lampsReset();
      sink_.plot(position(), Motion::Idle);
      RunState = rsRunning;
      PrepassFlag = false;
      Controls.runTimer = true;
      break;
    }
    case rsPaused:
      if (stoppedAtM0_) {
        // Go on after the M0 that stopped the run.
        stoppedAtM0_ = false;
        if (!hasNextRecord()) {
          endRun();
          break;
        }
        DONEXT = true;
        ++CommandIndex;
      }
      // A paused command continues where it stopped (and ends the run itself
      // if it is the last).
      Controls.startEnabled = false;
      Controls.pauseEnabled = true;
      RunState = rsRunning;
      Controls.runTimer = !Controls.inputWait;
      break;
    case rsStepWait:
      if (!hasNextRecord()) {
        endRun();
        break;
      }
      DONEXT = true;
      ++CommandIndex;
      Controls.startEnabled = false;
      Controls.pauseEnabled = true;
      RunState = rsRunning;
      Controls.runTimer = true;
      break;
    default:
      break;
  }
  publishControls();
}

void Interpreter::StopBtnClick() {
  endRun();
  publishControls();
}

void Interpreter::PauseBtnClick() {
  if (RunState != rsRunning) return;
  Controls.runTimer = false;
  Controls.pauseEnabled = false;
  Controls.startEnabled = true;
  RunState = rsPaused;
  publishControls();
}

void Interpreter::S_InBtnClick() {
  if (!Controls.inputWait) return;
  Controls.inputWait = false;
  Set_DONEXT_Flag();
  if (RunState == rsRunning) Controls.runTimer = true;
  publishControls();
}

void Interpreter::RunTimerTimer() {
  if (!Controls.runTimer || RunState == rsPaused) return;
  if (CommandIndex < 0 || CommandIndex >= list_.count()) {
    endRun();  // nothing (more) to run
  } else {
    RunOneCommand(CommandIndex, PrepassFlag);
  }
  publishControls();
}

void Interpreter::Close() {
  endRun();
  publishControls();
}

void Interpreter::Set_DONEXT_Flag() {
  if (settings().continuous) {
    if (hasNextRecord()) {
      DONEXT = true;
      ++CommandIndex;
    } else {
      endRun();
    }
  } else {
    // Waiting for START between steps: nothing runs that PAUSE could hold.
    Controls.runTimer = false;
    Controls.startEnabled = true;
    Controls.pauseEnabled = false;
    RunState = rsStepWait;
  }
}

void Interpreter::finishCommand(bool prepass) {
  if (prepass) DONEXT = true;
  else Set_DONEXT_Flag();
}

// ---- Dispatch ---------------------------------------------------------------

void Interpreter::RunOneCommand(int index, bool prepass) {
  if (index < 0 || index >= list_.count()) {
    if (!prepass) endRun();
    return;
  }
  CommandIndex = index;
  const BlockRecord& r = list_[index];
  if (DONEXT && !prepass) sink_.highlightLine(r.N);

  const auto passOver = [&] {
    if (prepass) DONEXT = true;
    else Set_DONEXT_Flag();
  };
  switch (r.C) {
    case bcG00: Do_G00(prepass); break;
    case bcG01: Do_G01(prepass); break;
    case bcG02: case bcG03: case bcG02R: case bcG03R: Do_G02G03(prepass); break;
    case bcG04:
      if (prepass) DONEXT = true;
      else Do_G04(prepass);
      break;
    case bcG28: Do_G28(prepass); break;
    case bcM00:
      if (prepass) DONEXT = true;
      else stopAtM0();
      break;
    case bcM02: case bcM30: case bcM99: returnOrEnd(prepass); break;
    case bcInput:
      if (prepass) DONEXT = true;
      else if (settings().inputCheck) Do_IO(prepass);
      else Set_DONEXT_Flag();
      break;
    case bcOutput:
      if (prepass) DONEXT = true;
      else if (settings().outputCheck) Do_IO(prepass);
      else Set_DONEXT_Flag();
      break;
    case bcG90: Do_G90(prepass); break;
    case bcG91: Do_G91(prepass); break;
    case bcG92: Do_G92(prepass); break;
    case bcM96: Do_M96(prepass); break;
    case bcM97: Do_M97(prepass); break;
    case bcM98: Do_M98(prepass); break;
    default: passOver(); break;
  }
}

void Interpreter::stopAtM0() {
  Controls.runTimer = false;
  Controls.pauseEnabled = false;
  Controls.startEnabled = true;
  RunState = rsPaused;
  stoppedAtM0_ = true;
}

double Interpreter::convert_angle(double degrees) {
  if (!std::isfinite(degrees)) return degrees;
  // Equivalent to taking 360 off (or adding it) until the value lies within
  // (-360, 360), then making a negative value positive.
  double v = std::fmod(degrees, 360.0);
  if (v < 0.0) v += 360.0;
  if (v >= 360.0) v -= 360.0;
  return v;
}

double Interpreter::target(int axis, double value) const {
  const auto a = static_cast<std::size_t>(axis);
  return value + CoordinateBase[a] - PresetOffset[a];
}

// ---- Straight moves ---------------------------------------------------------

void Interpreter::Do_G00(bool prepass) { straightMove(prepass, false); }
void Interpreter::Do_G01(bool prepass) { straightMove(prepass, true); }

void Interpreter::straightMove(bool prepass, bool together) {
  const BlockRecord& r = list_[CommandIndex];
  if (DONEXT) {
    DONEXT = false;
    point_ = Position;
    moving_ = 0;
    uPending_ = false;
    motion_ = together ? Motion::Feed : Motion::Rapid;
    for (int a = 0; a < 4; ++a) {
      const auto s = static_cast<std::size_t>(a);
      if (!(r.MX & kAxisBits[a])) continue;
      target_[s] = target(a, axisValue(r, a));
      direction_[s] = target_[s] > point_[s] ? 1.0 : -1.0;
      if (a < 3) moving_ |= 1u << a;
      else uPending_ = true;
    }
    if (prepass) {
      if (r.MX & mxX) Extents.include(target_[0], 0.0);
      if (r.MX & mxY) Extents.include(0.0, target_[1]);
      for (int a = 0; a < 4; ++a)
        if (r.MX & kAxisBits[a]) Position[static_cast<std::size_t>(a)] = target_[static_cast<std::size_t>(a)];
      DONEXT = true;
      return;
    }
    if (together) {
      // The axes travel together: the leading axis (largest distance, the
      // first of X, Y, Z, U on a tie) moves a full step per call.
      std::array<double, 4> distance{};
      double lead = 0.0;
      for (std::size_t a = 0; a < 4; ++a) {
        if (r.MX & kAxisBits[a]) distance[a] = std::fabs(target_[a] - point_[a]);
        if (distance[a] > lead) lead = distance[a];
      }
      for (std::size_t a = 0; a < 4; ++a)
        step_[a] = lead > 0.0 ? distance[a] / lead * StepLength : StepLength;
    } else {
      step_.fill(StepLength);
    }
  }

  for (std::size_t a = 0; a < 3; ++a) {
    if (!(moving_ & (1u << a))) continue;
    const double next = point_[a] + step_[a] * direction_[a];
    const bool arrived = direction_[a] > 0 ? next >= target_[a] : next <= target_[a];
    // A step too small to change the value (or a value that is not a
    // number) would never arrive: put the axis on its target.
    if (arrived || next == point_[a] || !finite(next)) {
      point_[a] = target_[a];
      moving_ &= ~(1u << a);
    } else {
      point_[a] = next;
    }
    Position[a] = point_[a];
  }
  sink_.plot(position(), motion_);
  if (uPending_) {
    Position[3] = target_[3];
    uPending_ = false;
  }
  if (moving_ == 0) Set_DONEXT_Flag();
}

// ---- Arcs -------------------------------------------------------------------

std::array<double, 2> Interpreter::CentreFromRadius(double x1, double y1, double x2, double y2,
                                                     double R, bool counterClockwise) {
  const double r = std::fabs(R);
  double a, G, A, B, K;
  const bool alongY = x1 != x2;  // the free coordinate is y (else x)
  if (alongY) {
    a = (y1 - y2) / (x2 - x1);
    G = (x2 * x2 + y2 * y2 - x1 * x1 - y1 * y1) / (2.0 * (x2 - x1));
    A = a * a + 1.0;
    B = 2.0 * a * (G - x2) - 2.0 * y2;
    K = (G - x2) * (G - x2) + y2 * y2 - r * r;
  } else {
    a = (x1 - x2) / (y2 - y1);
    G = (x2 * x2 + y2 * y2 - x1 * x1 - y1 * y1) / (2.0 * (y2 - y1));
    A = a * a + 1.0;
    B = 2.0 * a * (G - y1) - 2.0 * x2;
    K = (G - y2) * (G - y2) + x2 * x2 - r * r;
  }
  const double D = B * B - 4.0 * A * K;
  // A radius too small for the chord still yields a centre.
  const double s = D >= 0.0 ? 1.0 : -1.0;
  const double root = std::sqrt(std::fabs(D));
  const double tPlus = (-B + s * root) / (2.0 * A);
  const double tMinus = (-B - s * root) / (2.0 * A);
  const auto centre = [&](double t) -> std::array<double, 2> {
    return alongY ? std::array<double, 2>{G + a * t, t} : std::array<double, 2>{t, G + a * t};
  };
  const bool plus = counterClockwise ? R > 0.0 : R < 0.0;
  const std::array<double, 2> c = centre(plus ? tPlus : tMinus);
  return {c[0] - x1, c[1] - y1};
}

void Interpreter::Do_G02G03(bool prepass) {
  const BlockRecord& r = list_[CommandIndex];
  if (DONEXT) {
    DONEXT = false;
    const double x1 = Position[0], y1 = Position[1];
    endX_ = (r.MX & mxX) ? target(0, r.X) : x1;
    endY_ = (r.MX & mxY) ? target(1, r.Y) : y1;
    clockwise_ = r.C == bcG02 || r.C == bcG02R;
    double I = r.I, J = r.J;
    if (r.C == bcG02R || r.C == bcG03R) {
      const auto offsets = CentreFromRadius(x1, y1, endX_, endY_, r.I, !clockwise_);
      I = offsets[0];
      J = offsets[1];
    }
    centreX_ = x1 + I;
    centreY_ = y1 + J;
    // Angles are measured from +Y towards +X, of the vector from a point to
    // the centre.
    double start = convert_angle(std::atan2(I, J) * kDegreesPerRadian);
    radius_ = std::hypot(centreX_ - endX_, centreY_ - endY_);
    double end;
    if (endX_ == x1 && endY_ == y1) {
      end = clockwise_ ? start + 360.0 : start - 360.0;  // full circle
    } else {
      end = convert_angle(std::atan2(centreX_ - endX_, centreY_ - endY_) * kDegreesPerRadian);
      if (!clockwise_ && end > start) start += 360.0;
      if (clockwise_ && end < start) end += 360.0;
    }
    angle_ = start;
    endAngle_ = end;

    if (!finite(centreX_) || !finite(centreY_) || !finite(radius_) || !finite(start) || !finite(end)) {
      // No usable circle (a radius arc ending where it starts, or numbers
      // out of range): the tool goes to the end point without a path.
      Position[0] = endX_;
      Position[1] = endY_;
      if (prepass) {
        Extents.include(endX_, endY_);
        DONEXT = true;
      } else {
        sink_.jumped(position());
        Set_DONEXT_Flag();
      }
      return;
    }
    if (prepass) {
      includeSampledArc();
      Position[0] = endX_;
      Position[1] = endY_;
      DONEXT = true;
      return;
    }
  }

  if (clockwise_) {
    angle_ += AngleStep;
    if (angle_ > endAngle_) angle_ = endAngle_;
  } else {
    angle_ -= AngleStep;
    if (angle_ < endAngle_) angle_ = endAngle_;
  }
  if (angle_ == endAngle_) {
    // The last step lands on the programmed end point exactly, as in the
    // preparatory pass; the rounding of the angles would otherwise leave the
    // tool a hair off it, and a following full circle would shrink to a
    // sliver.
    Position[0] = endX_;
    Position[1] = endY_;
    sink_.plot(position(), Motion::Arc);
    Set_DONEXT_Flag();
    return;
  }
  const double rad = angle_ * kRadiansPerDegree;
  Position[0] = centreX_ - radius_ * std::sin(rad);
  Position[1] = centreY_ - radius_ * std::cos(rad);
  sink_.plot(position(), Motion::Arc);
}

// The preparatory pass widens the extents with every point the drawing run
// will plot: angles start + k * AngleStep (k = 1 .. n-1, towards the end)
// and the end point. Along the arc X and Y change monotonically
// between the quarter angles (multiples of 90 degrees), so the extreme
// samples are the first and last ones and those on either side of each
// quarter angle; only those are evaluated.
void Interpreter::includeSampledArc() {
  const double span = std::fabs(endAngle_ - angle_);
  const double steps = span > 0.0 ? std::ceil(span / AngleStep) : 1.0;
  const long n = static_cast<long>(std::min(steps, 1e9));
  prepassWork_ += n;
  const double direction = clockwise_ ? 1.0 : -1.0;
  const auto include = [&](double theta) {
    const double rad = theta * kRadiansPerDegree;
    Extents.include(centreX_ - radius_ * std::sin(rad), centreY_ - radius_ * std::cos(rad));
  };
  const auto includeSample = [&](double k) {
    if (k >= 1.0 && k <= static_cast<double>(n - 1)) include(angle_ + direction * k * AngleStep);
  };
  Extents.include(endX_, endY_);  // the last step lands on the end point
  if (n < 2) return;
  includeSample(1.0);
  includeSample(static_cast<double>(n - 1));
  const double low = std::min(angle_, endAngle_), high = std::max(angle_, endAngle_);
  for (double quarter = std::ceil(low / 90.0) * 90.0; quarter <= high; quarter += 90.0) {
    const double k = (quarter - angle_) * direction / AngleStep;
    includeSample(std::floor(k));
    includeSample(std::ceil(k));
  }
}

// ---- Dwell, reference, coordinate modes -------------------------------------

void Interpreter::Do_G04(bool prepass) {
  if (prepass) {
    DONEXT = true;
    return;
  }
  const BlockRecord& r = list_[CommandIndex];
  if (DONEXT) {
    DONEXT = false;
    dwellStart_ = clock_();
    dwellDuration_ = settings().unit == 1 ? std::trunc(r.X * 1000.0) : r.X;
    return;
  }
  if (clock_() - dwellStart_ > dwellDuration_) Set_DONEXT_Flag();
}

void Interpreter::Do_G28(bool prepass) {
  Position = {};
  PresetOffset = {};
  if (prepass) {
    Extents.include(0.0, 0.0);
    DONEXT = true;
    return;
  }
  sink_.jumped(position());
  Set_DONEXT_Flag();
}

void Interpreter::Do_G90(bool prepass) {
  CoordinateBase = {};
  finishCommand(prepass);
}

void Interpreter::Do_G91(bool prepass) {
  CoordinateBase = Position;
  finishCommand(prepass);
}

void Interpreter::Do_G92(bool prepass) {
  const BlockRecord& r = list_[CommandIndex];
  for (int a = 0; a < 4; ++a)
    if (r.MX & kAxisBits[a]) PresetOffset[static_cast<std::size_t>(a)] = axisValue(r, a);
  finishCommand(prepass);
}

// ---- I/O --------------------------------------------------------------------

void Interpreter::Do_IO(bool prepass) {
  const BlockRecord& r = list_[CommandIndex];
  if (r.C == bcOutput) {
    // Lamps are numbered 1 to 32; other numbers light nothing.
    const double n = std::trunc(r.X);
    if (n >= 1.0 && n <= 32.0) sink_.lampChanged(static_cast<int>(n), r.Y == 1.0);
    finishCommand(prepass);
    return;
  }
  // Input wait: the run holds until the simulate-input button is pressed.
  DONEXT = false;
  Controls.runTimer = false;
  Controls.inputWait = true;
}

// ---- Jumps, loops and calls -------------------------------------------------

void Interpreter::indexTargets() {
  lineFirstRecord_.clear();
  for (int i = 0; i < list_.count(); ++i) {
    const int n = list_[i].N;
    if (n < 0) continue;
    const auto slot = static_cast<std::size_t>(n);
    if (slot >= lineFirstRecord_.size()) lineFirstRecord_.resize(slot + 1, -1);
    if (lineFirstRecord_[slot] < 0) lineFirstRecord_[slot] = i;
  }
  indexedCount_ = list_.count();
}

// The first record whose source line index equals `line`, or -1.
int Interpreter::findTarget(double line) {
  if (indexedCount_ != list_.count()) indexTargets();
  if (!(line >= 0.0) || line >= static_cast<double>(lineFirstRecord_.size())) return -1;
  const auto slot = static_cast<std::size_t>(line);
  if (static_cast<double>(slot) != line) return -1;
  return lineFirstRecord_[slot];
}

// Execution goes on with the record at `recordIndex` (never before the
// first); the end of the current command steps onto it.
void Interpreter::resumeAt(int recordIndex) { CommandIndex = std::max(recordIndex, 0) - 1; }

void Interpreter::Do_M96(bool prepass) {
  BlockRecord& r = list_[CommandIndex];
  const int found = findTarget(r.X);
  if (found >= 0) {
    r.Y += 1.0;
    if (r.Y >= 1000.0) r.Y = 0.0;  // the 1000th jump falls through
    else resumeAt(found - 1);
  }
  finishCommand(prepass);
}

void Interpreter::Do_M97(bool prepass) {
  BlockRecord& r = list_[CommandIndex];
  if (r.Z > 1.0) {
    const int found = findTarget(r.X);
    if (found >= 0) {
      r.Z -= 1.0;
      resumeAt(found - 1);
    }
  } else {
    r.Z = r.Y;
  }
  finishCommand(prepass);
}

void Interpreter::Do_M98(bool prepass) {
  BlockRecord& r = list_[CommandIndex];
  if (r.Z > 0.0) {
    const int found = findTarget(r.X);
    if (found >= 0) {
      if (CallDepth + 1 >= kCallStackSize) {
        // The eighth nesting level ends the run. The preparatory pass only
        // measures: it passes the call over and goes on.
        if (prepass) {
          DONEXT = true;
        } else {
          CallStack[static_cast<std::size_t>(CallDepth++)] = CommandIndex;
          endRun();
        }
        return;
      }
      r.Z -= 1.0;
      r.U += 1.0;
      if (r.U >= 1000.0) {
        r.U = 0.0;  // the 1000th call of one record falls through
      } else {
        CallStack[static_cast<std::size_t>(CallDepth++)] = CommandIndex;
        resumeAt(found - 1);
      }
    }
  } else {
    r.Z = r.Y;
  }
  finishCommand(prepass);
}

void Interpreter::returnOrEnd(bool prepass) {
  if (CallDepth >= 1) {
    CommandIndex = CallStack[static_cast<std::size_t>(--CallDepth)];
    DONEXT = true;  // the CALL record decides again whether to call
    return;
  }
  if (prepass) {
    DONEXT = true;  // the pass measures what follows the end too
    return;
  }
  endRun();
}

}  // namespace zar::sim
