#include "sim/PathPlot.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "sim/Converter.h"

namespace zar::sim {
namespace {

std::unique_ptr<BlockList> convert(const std::vector<std::string>& lines) {
  auto list = std::make_unique<BlockList>();
  Converter converter(*list);
  EXPECT_TRUE(converter.ConvertLines(lines).ok());
  return list;
}

int count(const std::string& text, const std::string& what) {
  int n = 0;
  for (auto pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1)) ++n;
  return n;
}

HeadlessOptions millimetres() {
  HeadlessOptions o;
  o.unit = 1;  // steps of 0.5, dwell in seconds
  return o;
}

TEST(Headless, RunsThroughWaitsStopsAndDwells) {
  auto list = convert({"INH1", "M0", "G4 X100000", "DOH2", "G1 X5", "M30"});
  SvgPlot svg;
  const HeadlessResult r = RunHeadless(*list, svg, millimetres());
  EXPECT_FALSE(r.capped);
  EXPECT_EQ(r.inputWaits, 1);
  EXPECT_EQ(r.programStops, 1);
  EXPECT_LT(r.steps, 30);  // the long dwell costs two ticks
  EXPECT_EQ(r.extents.maxX, 5.0);
}

TEST(Headless, EndlessProgramsAreCutOff) {
  auto list = convert({"G1 X1", "G1 X0", "JMP N0", "JMP N0"});
  SvgPlot svg;
  HeadlessOptions o = millimetres();
  o.maxSteps = 5000;
  const HeadlessResult r = RunHeadless(*list, svg, o);
  EXPECT_TRUE(r.capped);
  EXPECT_EQ(r.steps, 5000);
}

TEST(Headless, ReportsTheCallDepthStop) {
  std::vector<std::string> lines;
  for (int level = 0; level < 8; ++level) {
    lines.push_back("CALL N" + std::to_string(2 * level + 3));
    lines.push_back("M99");
  }
  lines.push_back("G1 X1");
  lines.push_back("M99");
  auto list = convert(lines);
  SvgPlot svg;
  EXPECT_TRUE(RunHeadless(*list, svg, millimetres()).stoppedByCallDepth);
}

TEST(SvgPlot, RetracedPathIsDrawnOnce) {
  auto list = convert({"G2 X0 Y0 I5 J0", "G2 X0 Y0 I5 J0", "G2 X0 Y0 I5 J0"});
  SvgPlot svg;
  RunHeadless(*list, svg, millimetres());
  EXPECT_GT(svg.segments(), 300);
  EXPECT_GE(svg.retracedSegments(), 2 * svg.segments() - 10);
  const std::string doc = svg.document("circles <3>");
  EXPECT_NE(doc.find("<title>circles &lt;3&gt;</title>"), std::string::npos);
  EXPECT_EQ(count(doc, "nan"), 0);
}

TEST(SvgPlot, RapidAndFeedMovesAreSeparateLines) {
  auto list = convert({"G0 X10", "G1 Y10", "G1 X0", "G0 Y0"});
  SvgPlot svg;
  RunHeadless(*list, svg, millimetres());
  const std::string doc = svg.document();
  EXPECT_EQ(count(doc, "<polyline class=\"rapid\""), 2);
  EXPECT_EQ(count(doc, "<polyline points"), 1);
  // Collinear steps merge: the feed line is three corner points.
  const auto start = doc.find("<polyline points=\"");
  const auto end = doc.find('"', start + 18);
  EXPECT_EQ(count(doc.substr(start, end - start), ","), 3);
}

TEST(SvgPlot, ZLevelAndZeroExtents) {
  auto list = convert({"G0 Z5", "G1 X10 Y10"});
  SvgPlot onlyZero(0.0);
  RunHeadless(*list, onlyZero, millimetres());
  EXPECT_EQ(onlyZero.segments(), 0);
  SvgPlot atFive(5.0);
  RunHeadless(*list, atFive, millimetres());
  EXPECT_GT(atFive.segments(), 0);

  auto still = convert({"M3", "G4 X1", "G0 Z3"});  // no XY motion at all
  SvgPlot svg;
  RunHeadless(*still, svg, millimetres());
  const std::string doc = svg.document();
  EXPECT_EQ(count(doc, "nan"), 0);
  EXPECT_EQ(count(doc, "inf"), 0);
  EXPECT_NE(doc.find("(X0.000,Y0.000) , (X0.000,Y0.000)"), std::string::npos);

  // Coordinates of a hundred digits still give a whole caption element.
  SvgPlot huge;
  huge.extentsFound({-1e120, 1e120, -1e120, 1e120});
  const std::string big = huge.document();
  const auto caption = big.find("<text");
  ASSERT_NE(caption, std::string::npos);
  const auto close = big.find("</text>\n", caption);
  ASSERT_NE(close, std::string::npos);
  EXPECT_GT(close - caption, 480u);
  EXPECT_EQ(big.substr(big.size() - 7), "</svg>\n");
}

}  // namespace
}  // namespace zar::sim
