#include "sim/PathPlot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace zar::sim {

namespace {

// Passes the path on and answers the settings of a headless run.
class HeadlessSink : public PathSink {
 public:
  HeadlessSink(PathSink& out, const HeadlessOptions& options) : out_(out) {
    settings_.continuous = true;
    settings_.unit = options.unit;
    settings_.resolution = options.resolution;
    settings_.inputCheck = true;
    settings_.outputCheck = true;
  }
  SimulatorSettings settings() const override { return settings_; }
  void extentsFound(const PathExtents& e) override { out_.extentsFound(e); }
  void plot(const ToolPoint& p, Motion m) override { out_.plot(p, m); }
  void jumped(const ToolPoint& p) override { out_.jumped(p); }
  void highlightLine(int line) override { out_.highlightLine(line); }
  void lampChanged(int n, bool high) override { out_.lampChanged(n, high); }
  void lampsReset() override { out_.lampsReset(); }
  void controlsChanged(const RunControls& c) override { out_.controlsChanged(c); }

 private:
  PathSink& out_;
  SimulatorSettings settings_;
};

std::uint64_t mix(std::uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

void appendTenths(std::string& out, std::int32_t v) {
  char buf[24];
  const long long value = v;
  const long long whole = value / 10;
  const long long tenth = std::llabs(value % 10);
  const char* sign = (value < 0 && whole == 0) ? "-" : "";
  std::snprintf(buf, sizeof buf, "%s%lld.%lld", sign, whole, tenth);
  out += buf;
}

constexpr std::size_t kFirstSeenSlots = 4096;
constexpr std::size_t kSeenLimit = std::size_t{1} << 20;  // segments remembered
constexpr double kPixelLimit = 1e8;  // tenths of a pixel, far outside any drawing

}  // namespace

HeadlessResult RunHeadless(BlockList& list, PathSink& sink, const HeadlessOptions& options) {
  HeadlessSink headless(sink, options);
  Interpreter interpreter(list, headless);
  // Every look at the clock finds a whole age gone by: dwells end at once.
  interpreter.setClock([t = 0.0]() mutable { return t += 1e200; });
  interpreter.PrepassWorkLimit = options.prepassWorkLimit;

  HeadlessResult result;
  interpreter.StartBtnClick();
  result.extents = interpreter.Extents;
  result.prepassTruncated = interpreter.PrepassTruncated;
  while (interpreter.RunState != rsIdle) {
    if (result.steps >= options.maxSteps) {
      result.capped = true;
      interpreter.StopBtnClick();
      break;
    }
    if (interpreter.Controls.inputWait) {
      ++result.inputWaits;
      interpreter.S_InBtnClick();
    } else if (interpreter.RunState == rsPaused) {
      ++result.programStops;
      interpreter.StartBtnClick();
    } else {
      interpreter.RunTimerTimer();
      ++result.steps;
    }
  }
  result.stoppedByCallDepth = !result.capped && interpreter.CallDepth >= kCallStackSize;
  return result;
}

// ---- SVG --------------------------------------------------------------------

SvgPlot::SvgPlot(std::optional<double> zLevel) : zLevel_(zLevel) {}

void SvgPlot::extentsFound(const PathExtents& extents) {
  flush();
  extents_ = extents;
  const double span = std::max(extents.maxX - extents.minX, extents.maxY - extents.minY);
  // A path without extent (no XY motion) still gets a usable scale.
  scale_ = span > 0.0 && std::isfinite(span) ? kDrawingSize / span : 1.0;
  const Pixel low = toPixel(extents.minX, extents.maxY);
  const Pixel high = toPixel(extents.maxX, extents.minY);
  minPx_ = low.x;
  minPy_ = low.y;
  maxPx_ = high.x;
  maxPy_ = high.y;
  havePen_ = false;
}

SvgPlot::Pixel SvgPlot::toPixel(double x, double y) const {
  const auto tenths = [](double v) {
    if (!std::isfinite(v)) v = 0.0;
    return static_cast<std::int32_t>(std::lround(std::clamp(v * 10.0, -kPixelLimit, kPixelLimit)));
  };
  return {tenths((x - extents_.minX) * scale_), tenths((extents_.maxY - y) * scale_)};
}

void SvgPlot::widen(Pixel p) {
  minPx_ = std::min(minPx_, p.x);
  maxPx_ = std::max(maxPx_, p.x);
  minPy_ = std::min(minPy_, p.y);
  maxPy_ = std::max(maxPy_, p.y);
}

void SvgPlot::flush() {
  if (line_.size() >= 2) {
    body_ += rapid_ ? "<polyline class=\"rapid\" points=\"" : "<polyline points=\"";
    for (std::size_t i = 0; i < line_.size(); ++i) {
      if (i) body_ += ' ';
      appendTenths(body_, line_[i].x);
      body_ += ',';
      appendTenths(body_, line_[i].y);
    }
    body_ += "\"/>\n";
  }
  line_.clear();
}

// Remembers the segment (either direction); true when it was drawn before.
// Past a fixed number of segments nothing more is remembered.
bool SvgPlot::seenBefore(Pixel a, Pixel b) {
  if (b.x < a.x || (b.x == a.x && b.y < a.y)) std::swap(a, b);
  std::uint64_t key = mix((static_cast<std::uint64_t>(static_cast<std::uint32_t>(a.x)) << 32) |
                          static_cast<std::uint32_t>(a.y));
  key = mix(key ^ ((static_cast<std::uint64_t>(static_cast<std::uint32_t>(b.x)) << 32) |
                   static_cast<std::uint32_t>(b.y)));
  if (key == 0) key = 1;
  if (seen_.empty()) seen_.assign(kFirstSeenSlots, 0);
  const auto find = [&](std::uint64_t k) {
    const std::size_t mask = seen_.size() - 1;
    std::size_t slot = k & mask;
    while (seen_[slot] != 0 && seen_[slot] != k) slot = (slot + 1) & mask;
    return slot;
  };
  std::size_t slot = find(key);
  if (seen_[slot] == key) return true;
  if (seenCount_ >= kSeenLimit) return false;
  if (2 * (seenCount_ + 1) > seen_.size()) {
    // Keep the table at most half full: double it.
    std::vector<std::uint64_t> old(seen_.size() * 2, 0);
    old.swap(seen_);
    for (std::uint64_t k : old)
      if (k != 0) seen_[find(k)] = k;
    slot = find(key);
  }
  seen_[slot] = key;
  ++seenCount_;
  return false;
}

void SvgPlot::plot(const ToolPoint& point, Motion motion) {
  const Pixel p = toPixel(point.X, point.Y);
  if (motion == Motion::Idle || !havePen_) {
    flush();
    pen_ = p;
    havePen_ = true;
    return;
  }
  if (p == pen_) return;
  const bool rapid = motion == Motion::Rapid;
  if ((zLevel_ && point.Z != *zLevel_) || seenBefore(pen_, p)) {
    if (zLevel_ && point.Z != *zLevel_) {
      // Off the chosen level: nothing drawn.
    } else {
      ++retraced_;
    }
    flush();
    pen_ = p;
    return;
  }
  if (line_.empty() || rapid != rapid_) {
    flush();
    rapid_ = rapid;
    line_.push_back(pen_);
    widen(pen_);
  }
  if (line_.size() >= 2) {
    // A step straight on from the last one extends it.
    const Pixel a = line_[line_.size() - 2], b = line_.back();
    const long long dx1 = b.x - a.x, dy1 = b.y - a.y, dx2 = p.x - b.x, dy2 = p.y - b.y;
    if (dx1 * dy2 == dy1 * dx2 && dx1 * dx2 + dy1 * dy2 > 0) line_.pop_back();
  }
  line_.push_back(p);
  widen(p);
  ++segments_;
  pen_ = p;
}

void SvgPlot::jumped(const ToolPoint& point) {
  flush();
  pen_ = toPixel(point.X, point.Y);
  havePen_ = true;
}

std::string SvgPlot::document(const std::string& title) {
  flush();

  const double margin = kMargin;
  const double x0 = minPx_ / 10.0 - margin;
  const double y0 = minPy_ / 10.0 - margin;
  const double width = (maxPx_ - minPx_) / 10.0 + 2 * margin;
  const double height = (maxPy_ - minPy_) / 10.0 + 2 * margin + 20.0;  // room for the caption
  const Pixel origin = toPixel(0.0, 0.0);
  const double ox = origin.x / 10.0, oy = origin.y / 10.0;

  std::string out;
  char buf[512];
  std::snprintf(buf, sizeof buf,
                "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%.1f\" height=\"%.1f\" "
                "viewBox=\"%.1f %.1f %.1f %.1f\">\n",
                width, height, x0, y0, width, height);
  out += buf;
  if (!title.empty()) {
    out += "<title>";
    for (char c : title) {
      switch (c) {
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '&': out += "&amp;"; break;
        default: out += c; break;
      }
    }
    out += "</title>\n";
  }
  out +=
      "<style>polyline{fill:none;stroke:#ff0000;stroke-width:1}"
      "polyline.rapid{stroke:#0000ff;stroke-dasharray:4 3}"
      ".axis{stroke:#0000ff;stroke-width:1}text{font:12px sans-serif;fill:#000}</style>\n";
  std::snprintf(buf, sizeof buf,
                "<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"#ffffff\"/>\n",
                x0, y0, width, height);
  out += buf;
  // Axes at the program origin, 50 pixels long, with arrowheads.
  std::snprintf(buf, sizeof buf,
                "<path class=\"axis\" fill=\"none\" d=\"M%.1f %.1fH%.1fM%.1f %.1fl-5 -3M%.1f %.1fl-5 3"
                "M%.1f %.1fV%.1fM%.1f %.1fl-3 5M%.1f %.1fl3 5\"/>\n",
                ox, oy, ox + 50, ox + 50, oy, ox + 50, oy, ox, oy, oy - 50, ox, oy - 50, ox, oy - 50);
  out += buf;
  // The caption's figures can be as long as a coordinate word (over a
  // hundred digits): sized to fit rather than cut off inside the element.
  const char* caption = "<text x=\"%.1f\" y=\"%.1f\">(X%.3f,Y%.3f) , (X%.3f,Y%.3f)</text>\n";
  const double captionX = x0 + 4, captionY = y0 + height - 6;
  std::string text(static_cast<std::size_t>(std::snprintf(nullptr, 0, caption, captionX, captionY,
                                                          extents_.minX, extents_.minY,
                                                          extents_.maxX, extents_.maxY)),
                   '\0');
  std::snprintf(text.data(), text.size() + 1, caption, captionX, captionY, extents_.minX,
                extents_.minY, extents_.maxX, extents_.maxY);
  out += text;
  out += body_;
  out += "</svg>\n";
  return out;
}

}  // namespace zar::sim
