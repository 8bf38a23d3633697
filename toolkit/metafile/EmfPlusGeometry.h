#pragma once

#include <QPainterPath>
#include <QPolygonF>
#include <QRectF>

namespace ostrel {

// The shapes EMF+ records describe by parameters rather than points: arcs
// and pies by angles on an ellipse, and cardinal splines through points.
class EmfPlusGeometry {
 public:
  // How far a spline's control points reach towards its neighbours, per unit
  // of tension (GDI+'s constant; 0.5, its usual tension, gives 0.15).
  static constexpr double kTensionScale = 0.3;

  // The arc of the ellipse in rect from startAngle sweeping sweepAngle
  // degrees, clockwise on the page (y down). Angles are of the direction
  // from the centre, not parameters of the ellipse. A pie joins the ends to
  // the centre.
  static QPainterPath arc(const QRectF& rect, double startAngle, double sweepAngle, bool pie);
  // The parameter angle (Qt's convention: counter-clockwise degrees) of the
  // point of the ellipse in the direction angle (clockwise degrees).
  static double parameterAngle(const QRectF& rect, double angle);

  // A cardinal spline through points: segments count of them from the one
  // at offset (every segment when count is negative), or closed through
  // all of them and back to the first.
  static QPainterPath curve(const QPolygonF& points, double tension, int offset, int segments);
  static QPainterPath closedCurve(const QPolygonF& points, double tension);
  // Bezier segments sharing their ends: the first point, then three a segment.
  static QPainterPath beziers(const QPolygonF& points);
};

}  // namespace ostrel
