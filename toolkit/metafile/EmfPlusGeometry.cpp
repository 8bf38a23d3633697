#include "toolkit/metafile/EmfPlusGeometry.h"

#include <cmath>

namespace ostrel {

namespace {

// The two control points of the segment from p1 to p2, whose neighbours are
// p0 and p3.
void controls(QPointF p0, QPointF p1, QPointF p2, QPointF p3, double tension, QPointF& c1,
              QPointF& c2) {
  const double t = tension * EmfPlusGeometry::kTensionScale;
  c1 = p1 + (p2 - p0) * t;
  c2 = p2 - (p3 - p1) * t;
}

}  // namespace

double EmfPlusGeometry::parameterAngle(const QRectF& rect, double angle) {
  const double a = rect.width() / 2, b = rect.height() / 2;
  const double radians = angle * M_PI / 180;
  // The point at parameter t is (a cos t, b sin t); its direction is the
  // given angle when tan t = (a / b) tan angle.
  const double t = std::atan2(a * std::sin(radians), b * std::cos(radians)) * 180 / M_PI;
  // t lies within a quarter turn of the angle, less its whole turns: those
  // are put back, so sweeps of more than one turn stay what they were.
  return -(t + 360 * std::round((angle - t) / 360));
}

QPainterPath EmfPlusGeometry::arc(const QRectF& rect, double startAngle, double sweepAngle,
                                  bool pie) {
  QPainterPath path;
  const QRectF r = rect.normalized();
  if (r.isEmpty()) return path;
  sweepAngle = std::clamp(sweepAngle, -360.0, 360.0);
  const double from = parameterAngle(r, startAngle);
  const double to = parameterAngle(r, startAngle + sweepAngle);
  if (pie) {
    path.moveTo(r.center());
    path.arcTo(r, from, to - from);
    path.closeSubpath();
  } else {
    path.arcMoveTo(r, from);
    path.arcTo(r, from, to - from);
  }
  return path;
}

QPainterPath EmfPlusGeometry::curve(const QPolygonF& points, double tension, int offset,
                                    int segments) {
  QPainterPath path;
  const int n = int(points.size());
  if (n < 2 || offset < 0 || offset >= n - 1) return path;
  const int last = segments < 0 ? n - 1 : std::min(n - 1, offset + segments);
  path.moveTo(points[offset]);
  for (int i = offset; i < last; ++i) {
    // The curve's ends lean on themselves.
    const QPointF p0 = points[std::max(i - 1, 0)], p3 = points[std::min(i + 2, n - 1)];
    QPointF c1, c2;
    controls(p0, points[i], points[i + 1], p3, tension, c1, c2);
    path.cubicTo(c1, c2, points[i + 1]);
  }
  return path;
}

QPainterPath EmfPlusGeometry::closedCurve(const QPolygonF& points, double tension) {
  QPainterPath path;
  const int n = int(points.size());
  if (n < 2) return path;
  path.moveTo(points[0]);
  for (int i = 0; i < n; ++i) {
    QPointF c1, c2;
    controls(points[(i + n - 1) % n], points[i], points[(i + 1) % n], points[(i + 2) % n], tension,
             c1, c2);
    path.cubicTo(c1, c2, points[(i + 1) % n]);
  }
  path.closeSubpath();
  return path;
}

QPainterPath EmfPlusGeometry::beziers(const QPolygonF& points) {
  QPainterPath path;
  if (points.size() < 4) return path;
  path.moveTo(points[0]);
  for (qsizetype i = 1; i + 2 < points.size(); i += 3)
    path.cubicTo(points[i], points[i + 1], points[i + 2]);
  return path;
}

}  // namespace ostrel
