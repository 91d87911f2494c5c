#include "sim/QtPlotArea.h"

#include <QPainter>
#include <QPolygon>
#include <algorithm>
#include <cmath>

namespace zar {

namespace {

constexpr double kPi = 3.1415926;  // the value the arrowheads are drawn with
constexpr QRgb kWhite = qRgb(255, 255, 255);

// Bounds of the pixel arithmetic: far off the image, far inside int.
constexpr double kPixelLimit = 1.0e6;

// QPainter works in int pixels: keep far-off points well inside that range,
// where they still lie off the image in the same direction.
QPoint painterPoint(PlotGeometry::Pixel p) {
  constexpr int kLimit = 1 << 20;
  return {std::clamp(p.x, -kLimit, kLimit), std::clamp(p.y, -kLimit, kLimit)};
}

QPen pathPen(QRgb colour) {
  QPen pen{QColor(colour)};
  pen.setWidth(1);
  pen.setCapStyle(Qt::SquareCap);
  return pen;
}

}  // namespace

// ---------------------------------------------------------------- geometry

int PlotGeometry::cut(double v) {
  if (std::isnan(v)) return kOffImage;
  return static_cast<int>(std::clamp(std::trunc(v), -kPixelLimit, kPixelLimit));
}

double PlotGeometry::spanOf(const sim::PathExtents& e) {
  const double spanX = e.maxX - e.minX;
  const double spanY = e.maxY - e.minY;
  const double span = spanY >= spanX ? spanY : spanX;
  if (!(span > 0.0) || !std::isfinite(span)) return 1.0;
  return span;
}

void PlotGeometry::setExtents(const sim::PathExtents& e) {
  extents = e;
  if (!std::isfinite(extents.minX)) extents.minX = 0.0;
  if (!std::isfinite(extents.minY)) extents.minY = 0.0;
  const double span = spanOf(e);
  ScaleX = (width - 10) / span;
  ScaleY = (height - 10) / span;
  if (!equalScale) return;
  // The side with less room per program unit decides; a side without extent
  // needs no room.
  const auto room = [span](double pixels, double side) {
    return side > 0.0 && std::isfinite(side) ? pixels / side : pixels / span;
  };
  const double scale = std::min(room(width - 10, e.maxX - e.minX), room(height - 10, e.maxY - e.minY));
  ScaleX = ScaleY = scale;
}

int PlotGeometry::pixelX(double x) const {
  const double inner = std::clamp(std::trunc((x - extents.minX) * ScaleX * XSign), -kPixelLimit, kPixelLimit);
  return cut(inner + OriginX() + 3 * XSign);
}

int PlotGeometry::pixelY(double y) const {
  const double inner = std::clamp(std::trunc((y - extents.minY) * ScaleY * YSign), -kPixelLimit, kPixelLimit);
  return cut(inner + OriginY() + 3 * YSign);
}

std::array<PlotGeometry::Pixel, 2> PlotGeometry::arrowBarbs(double x0, double y0, double x1, double y1) {
  const double a = std::atan2(x1 - x0, y1 - y0) * 180.0 / kPi;
  std::array<Pixel, 2> barbs;
  const double turns[2] = {210.0, 150.0};
  for (int i = 0; i < 2; ++i) {
    const double b = (a + turns[i]) * (1.0 / 180.0) * kPi;
    barbs[static_cast<size_t>(i)] = {cut(x1 + 5 * std::sin(b)), cut(y1 + 5 * std::cos(b))};
  }
  return barbs;
}

// ---------------------------------------------------------------- image

SimPathImage::SimPathImage(QWidget* parent)
    : QWidget(parent), image_(PlotGeometry::kImageWidth, PlotGeometry::kImageHeight, QImage::Format_RGB32) {
  setFixedSize(image_.size());
  setAttribute(Qt::WA_OpaquePaintEvent);
  clear();
}

void SimPathImage::clear() {
  image_.fill(kWhite);
  update();
}

void SimPathImage::resizeImage(int width, int height) {
  const QSize size(std::max(width, 1), std::max(height, 1));
  if (size == image_.size()) return;
  image_ = QImage(size, QImage::Format_RGB32);
  setFixedSize(size);
  clear();
}

QRgb SimPathImage::pixelAt(int x, int y) const {
  if (!image_.valid(x, y)) return kWhite;
  return image_.pixel(x, y) | 0xff000000u;
}

void SimPathImage::setPixelAt(int x, int y, QRgb colour) {
  if (!image_.valid(x, y)) return;
  image_.setPixel(x, y, colour);
  update(x, y, 1, 1);
}

void SimPathImage::drawLine(PlotGeometry::Pixel from, PlotGeometry::Pixel to, QRgb colour) {
  const QPoint a = painterPoint(from), b = painterPoint(to);
  {
    QPainter painter(&image_);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(pathPen(colour));
    if (a == b) painter.drawPoint(a);
    else painter.drawLine(a, b);
  }
  update(QRect(a, b).normalized().adjusted(-2, -2, 2, 2));
}

void SimPathImage::recordSegment(double x0, double y0, double x1, double y1) {
  if (path_.size() + 2 > kRecordLimit) return;
  const bool continues = !path_.empty() && path_.back().x == x0 && path_.back().y == y0;
  if (!continues) path_.push_back({x0, y0, true});
  path_.push_back({x1, y1, false});
}

void SimPathImage::forgetPath() {
  path_.clear();
  path_.shrink_to_fit();
}

void SimPathImage::drawRecordedPath(const PlotGeometry& geometry, QRgb colour) {
  if (path_.empty()) return;
  QPainter painter(&image_);
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setPen(pathPen(colour));
  QPolygon line;
  const auto flush = [&] {
    if (line.size() == 1) painter.drawPoint(line.front());
    else if (line.size() > 1) painter.drawPolyline(line);
    line.clear();
  };
  for (const PathPoint& p : path_) {
    if (p.startsLine) flush();
    const QPoint point = painterPoint(geometry.pixelOf(p.x, p.y));
    if (line.isEmpty() || line.back() != point) line.append(point);
  }
  flush();
  painter.end();
  update();
}

void SimPathImage::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawImage(0, 0, image_);
}

}  // namespace zar
