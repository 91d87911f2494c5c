// The sample programs the virtual controller ships simulate to the shapes
// their titles name: every point cut below Z 0 lies on that shape, and the
// cuts reach its extents.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>
#include <utility>

#include "controller/ControllerState.h"
#include "sim/Converter.h"
#include "sim/PathPlot.h"

namespace zar::controller {
namespace {

struct Box {
  double minX = std::numeric_limits<double>::infinity(), maxX = -minX;
  double minY = minX, maxY = -minX;
  void include(double x, double y) {
    minX = std::min(minX, x);
    maxX = std::max(maxX, x);
    minY = std::min(minY, y);
    maxY = std::max(maxY, y);
  }
};

// The points of the path where the tool is below the surface.
class CutPoints : public sim::PathSink {
 public:
  std::vector<sim::ToolPoint> points;
  Box box;
  void plot(const sim::ToolPoint& p, sim::Motion motion) override {
    if (motion == sim::Motion::Idle || p.Z >= 0.0) return;
    points.push_back(p);
    box.include(p.X, p.Y);
  }
};

CutPoints simulate(const Program& program) {
  sim::BlockList list;
  sim::Converter converter(list);
  EXPECT_TRUE(converter.ConvertLines(program.lines).ok()) << program.name;
  CutPoints cuts;
  sim::HeadlessOptions options;
  options.unit = 1;        // millimetres
  options.resolution = 0;  // 0.5 mm and 0.5 degrees a step
  const sim::HeadlessResult result = sim::RunHeadless(list, cuts, options);
  EXPECT_FALSE(result.capped) << program.name;
  return cuts;
}

const Program& sample(int slot) {
  static const auto samples = samplePrograms();
  for (const auto& [s, program] : samples)
    if (s == slot) return program;
  static const Program none;
  ADD_FAILURE() << "no sample in slot " << slot;
  return none;
}

void expectBox(const Box& box, double minX, double maxX, double minY, double maxY) {
  constexpr double kTolerance = 0.01;
  EXPECT_NEAR(box.minX, minX, kTolerance);
  EXPECT_NEAR(box.maxX, maxX, kTolerance);
  EXPECT_NEAR(box.minY, minY, kTolerance);
  EXPECT_NEAR(box.maxY, maxY, kTolerance);
}

double distanceToSegment(double x, double y, double ax, double ay, double bx, double by) {
  const double dx = bx - ax, dy = by - ay;
  const double t = std::clamp(((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
  return std::hypot(x - (ax + t * dx), y - (ay + t * dy));
}

TEST(SamplePrograms, EachOneHasATitleAndSimulatesToTheEnd) {
  for (const auto& [slot, program] : samplePrograms()) {
    ASSERT_FALSE(program.lines.empty());
    EXPECT_EQ(program.lines.front().front(), '(') << slot;
    EXPECT_FALSE(simulate(program).points.empty()) << slot;
  }
}

TEST(SamplePrograms, SquareIsAFiftyMillimetreSquare) {
  const CutPoints cuts = simulate(sample(1));
  expectBox(cuts.box, 0, 50, 0, 50);
  for (const auto& p : cuts.points) {
    const double toEdge = std::min({std::fabs(p.X), std::fabs(p.X - 50), std::fabs(p.Y), std::fabs(p.Y - 50)});
    EXPECT_LT(toEdge, 1e-9) << p.X << "," << p.Y;
  }
}

TEST(SamplePrograms, CircleIsRoundAboutItsCentre) {
  const CutPoints cuts = simulate(sample(2));
  expectBox(cuts.box, 5, 45, 5, 45);
  for (const auto& p : cuts.points) EXPECT_NEAR(std::hypot(p.X - 25, p.Y - 25), 20, 1e-3) << p.X << "," << p.Y;
}

TEST(SamplePrograms, RoundedSlotStaysOnItsOutline) {
  // A 40 mm slot, 20 mm wide, with half-round ends: every cut point lies
  // 10 mm from the centre line from (10, 20) to (50, 20).
  const CutPoints cuts = simulate(sample(3));
  expectBox(cuts.box, 0, 60, 10, 30);
  for (const auto& p : cuts.points)
    EXPECT_NEAR(distanceToSegment(p.X, p.Y, 10, 20, 50, 20), 10, 1e-3) << p.X << "," << p.Y;
}

TEST(SamplePrograms, DwellSpotsFourHolesAtTheCornersOfASquare) {
  const CutPoints cuts = simulate(sample(4));
  expectBox(cuts.box, 10, 40, 10, 40);
  std::set<std::pair<double, double>> fullDepth;
  for (const auto& p : cuts.points) {
    EXPECT_TRUE((p.X == 10 || p.X == 40) && (p.Y == 10 || p.Y == 40)) << p.X << "," << p.Y;
    EXPECT_GE(p.Z, -1);
    if (p.Z == -1) fullDepth.insert({p.X, p.Y});
  }
  EXPECT_EQ(fullDepth.size(), 4u);  // every hole to its depth
}

}  // namespace
}  // namespace zar::controller
