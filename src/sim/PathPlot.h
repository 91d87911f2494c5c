#pragma once
// Headless simulation and vector plotting of a converted program, for the
// command line: the whole path at full speed, drawn as SVG lines.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/Interpreter.h"

namespace zar::sim {

struct HeadlessOptions {
  int unit = 0;         // unit item (decides the step length table and the dwell unit)
  int resolution = 0;   // resolution index
  long maxSteps = 50'000'000;  // interpreter steps before the run is cut off
  long prepassWorkLimit = Interpreter::kPrepassWorkLimit;
};

struct HeadlessResult {
  long steps = 0;              // timer ticks the run took
  bool capped = false;         // the run was cut off at maxSteps
  bool prepassTruncated = false;
  bool stoppedByCallDepth = false;  // a CALL nested eight deep ended the run
  int inputWaits = 0;          // input waits satisfied
  int programStops = 0;        // M0 stops resumed
  PathExtents extents;
};

// Runs the list from START to its end: continuous mode, every input wait
// satisfied at once, every M0 stop resumed, dwells taking no time. The sink
// receives the path (its own settings are not asked).
HeadlessResult RunHeadless(BlockList& list, PathSink& sink, const HeadlessOptions& options);

// A sink that draws the path as SVG polylines in a drawing of fixed size
// fitted to the program's extents (Y up). Feed moves and arcs are red,
// rapid moves blue and dashed; a segment drawn before is not drawn again.
class SvgPlot : public PathSink {
 public:
  static constexpr double kDrawingSize = 1000.0;  // pixels on the longer side
  static constexpr double kMargin = 20.0;

  // zLevel: draw only the path at this Z, as the window does; all levels when empty.
  explicit SvgPlot(std::optional<double> zLevel = std::nullopt);

  void extentsFound(const PathExtents& extents) override;
  void plot(const ToolPoint& point, Motion motion) override;
  void jumped(const ToolPoint& point) override;

  // The complete SVG document.
  std::string document(const std::string& title = {});

  long segments() const { return segments_; }
  long retracedSegments() const { return retraced_; }

 private:
  struct Pixel {
    std::int32_t x = 0, y = 0;  // tenths of a pixel
    bool operator==(const Pixel&) const = default;
  };
  Pixel toPixel(double x, double y) const;
  void flush();
  bool seenBefore(Pixel a, Pixel b);
  void widen(Pixel p);

  std::optional<double> zLevel_;
  PathExtents extents_;
  double scale_ = 1.0;
  bool havePen_ = false;
  Pixel pen_;
  bool rapid_ = false;
  std::vector<Pixel> line_;
  std::string body_;
  std::int32_t minPx_ = 0, maxPx_ = 0, minPy_ = 0, maxPy_ = 0;
  long segments_ = 0;
  long retraced_ = 0;
  std::vector<std::uint64_t> seen_;
  std::size_t seenCount_ = 0;
};

}  // namespace zar::sim
