#pragma once
// The simulator's plotting area: the mapping of program coordinates to
// pixels, and the image the path is drawn on. The image remembers the path
// it was given in program coordinates, so that a new size or scale can draw
// it again instead of losing it.

#include <QImage>
#include <QWidget>
#include <array>
#include <cstddef>
#include <vector>

#include "sim/Interpreter.h"

namespace zar {

// Mapping of program coordinates to pixels of the plotting image, and the
// axis arrows. Pure arithmetic, kept apart from the widgets.
struct PlotGeometry {
  static constexpr int kImageWidth = 413;
  static constexpr int kImageHeight = 357;
  // A pixel coordinate that lies off every image (non-finite input).
  static constexpr int kOffImage = -1000000;

  int width = kImageWidth;
  int height = kImageHeight;
  double CentreX = kImageWidth / 2.0;
  double CentreY = kImageHeight / 2.0;
  double Margin = 5;
  double AxisLength = 50;
  int XSign = 1;
  int YSign = -1;
  double ScaleX = 1;
  double ScaleY = 1;
  // One scale for both axes, as large as lets the whole path fit; otherwise
  // each axis fills the image by the larger side of the path (shapes stretch).
  bool equalScale = false;
  sim::PathExtents extents;

  PlotGeometry() = default;
  PlotGeometry(int imageWidth, int imageHeight)
      : width(imageWidth), height(imageHeight), CentreX(imageWidth / 2.0), CentreY(imageHeight / 2.0) {}

  double OriginX() const { return CentreX + (CentreX - Margin) * -XSign; }
  double OriginY() const { return CentreY + (CentreY - Margin) * -YSign; }

  // Takes the path's extent and fits the scale to it. A path without extent
  // (or a non-finite one) is drawn as if it spanned one program unit, so
  // every point still lands on the image.
  void setExtents(const sim::PathExtents& e);
  static double spanOf(const sim::PathExtents& e);

  // Pixel of a program point; truncation towards zero at both stages.
  int pixelX(double x) const;
  int pixelY(double y) const;
  // The pixel the plot starts from: three pixels inside the origin.
  int homeX() const { return cut(OriginX() + 3 * XSign); }
  int homeY() const { return cut(OriginY() + 3 * YSign); }

  struct Pixel {
    int x = 0, y = 0;
    bool operator==(const Pixel&) const = default;
  };
  Pixel pixelOf(double x, double y) const { return {pixelX(x), pixelY(y)}; }
  // The two barbs of an arrowhead at (x1, y1) on a line from (x0, y0).
  static std::array<Pixel, 2> arrowBarbs(double x0, double y0, double x1, double y1);

  // Truncation towards zero, bounded to a safe range; NaN lies off the image.
  static int cut(double v);
};

// The plotting area: an image drawn line by line and pixel by pixel.
class SimPathImage : public QWidget {
 public:
  // Points of path kept for drawing again; beyond that (hours of simulation)
  // a redraw shows the path up to there.
  static constexpr std::size_t kRecordLimit = std::size_t{1} << 21;

  explicit SimPathImage(QWidget* parent = nullptr);

  QImage& image() { return image_; }
  const QImage& image() const { return image_; }
  // A white picture; the recorded path stays.
  void clear();
  // A white picture of the new size (the widget takes that size).
  void resizeImage(int width, int height);
  QRgb pixelAt(int x, int y) const;  // white outside the image
  void setPixelAt(int x, int y, QRgb colour);
  void drawLine(PlotGeometry::Pixel from, PlotGeometry::Pixel to, QRgb colour);

  // The path in program coordinates: one segment per step drawn.
  void recordSegment(double x0, double y0, double x1, double y1);
  void forgetPath();
  // Draws every recorded segment with the given mapping.
  void drawRecordedPath(const PlotGeometry& geometry, QRgb colour);
  std::size_t recordedPoints() const { return path_.size(); }

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  struct PathPoint {
    double x = 0, y = 0;
    bool startsLine = false;  // no segment leads here from the point before
  };
  QImage image_;
  std::vector<PathPoint> path_;
};

}  // namespace zar
