#include "toolkit/metafile/EmfPlusGeometry.h"

#include <gtest/gtest.h>

#include <cmath>

namespace ostrel::test {
namespace {

void expectNear(QPointF got, QPointF want, double tolerance = 1e-6) {
  EXPECT_NEAR(got.x(), want.x(), tolerance);
  EXPECT_NEAR(got.y(), want.y(), tolerance);
}

TEST(EmfPlusGeometry, ArcAnglesAreDirectionsFromTheCentreClockwise) {
  const QRectF circle(0, 0, 100, 100);
  for (double angle : {0.0, 30.0, 179.0, 181.0, 350.0, 450.0, -90.0})
    EXPECT_NEAR(EmfPlusGeometry::parameterAngle(circle, angle), -angle, 1e-9) << angle;
  // On an ellipse twice as wide as high, the direction 45 degrees meets it
  // where tan(t) = 2 tan(45).
  const QRectF ellipse(0, 0, 200, 100);
  EXPECT_NEAR(EmfPlusGeometry::parameterAngle(ellipse, 45), -std::atan(2.0) * 180 / M_PI, 1e-9);
  EXPECT_NEAR(EmfPlusGeometry::parameterAngle(ellipse, 405), -360 - std::atan(2.0) * 180 / M_PI,
              1e-9);

  // A quarter turn clockwise from three o'clock: down the page.
  const QPainterPath quarter = EmfPlusGeometry::arc(circle, 0, 90, false);
  expectNear(quarter.pointAtPercent(0), {100, 50}, 1e-3);
  expectNear(quarter.pointAtPercent(1), {50, 100}, 1e-3);
  expectNear(quarter.pointAtPercent(0.5), {50 + 50 * M_SQRT1_2, 50 + 50 * M_SQRT1_2}, 0.05);
  // Anticlockwise sweeps go up.
  expectNear(EmfPlusGeometry::arc(circle, 0, -90, false).pointAtPercent(1), {50, 0}, 1e-3);
  // The start on the ellipse is on the ray at 45 degrees from its centre.
  const double x = std::sqrt(1 / (1.0 / 10000 + 1.0 / 2500));
  // (Qt's ellipses are Bezier curves: a few hundredths off the true one.)
  expectNear(EmfPlusGeometry::arc(ellipse, 45, 10, false).elementAt(0), {100 + x, 50 + x}, 0.03);
  // A pie starts and ends at the centre; a full sweep goes all the way round.
  const QPainterPath pie = EmfPlusGeometry::arc(circle, 0, 90, true);
  expectNear(pie.elementAt(0), {50, 50});
  EXPECT_TRUE(pie.contains(QPointF(70, 70)));
  EXPECT_FALSE(pie.contains(QPointF(30, 70)));
  const QRectF full = EmfPlusGeometry::arc(circle, 10, 720, false).boundingRect();
  EXPECT_NEAR(full.width(), 100, 1e-3);
  EXPECT_NEAR(full.height(), 100, 1e-3);
  EXPECT_TRUE(EmfPlusGeometry::arc(QRectF(0, 0, 0, 10), 0, 90, false).isEmpty());
}

TEST(EmfPlusGeometry, SplineControlPointsFollowTheTension) {
  const QPolygonF points{{0, 0}, {10, 0}, {20, 10}, {30, 0}};
  // Tension 0.5 reaches 0.15 of the way between a point's neighbours.
  const QPainterPath open = EmfPlusGeometry::curve(points, 0.5, 0, -1);
  ASSERT_EQ(open.elementCount(), 1 + 3 * 3);
  expectNear(open.elementAt(1), {1.5, 0});   // the first point leans on itself
  expectNear(open.elementAt(2), {7, -1.5});  // 10 - 0.15 * 20, 0 - 0.15 * 10
  expectNear(open.elementAt(3), {10, 0});
  expectNear(open.elementAt(4), {13, 1.5});    // 10 + 0.15 * 20, 0.15 * 10
  expectNear(open.elementAt(8), {28.5, 1.5});  // the last point leans on itself
  // Tension 0 is straight lines: the controls lie on the points.
  const QPainterPath straight = EmfPlusGeometry::curve(points, 0, 0, -1);
  expectNear(straight.elementAt(1), {0, 0});
  expectNear(straight.elementAt(2), {10, 0});
  // An offset and a segment count pick a part, its neighbours still counting.
  const QPainterPath part = EmfPlusGeometry::curve(points, 1, 1, 1);
  ASSERT_EQ(part.elementCount(), 4);
  expectNear(part.elementAt(0), {10, 0});
  expectNear(part.elementAt(1), {16, 3});  // 10 + 0.3 * 20, 0.3 * 10
  expectNear(part.elementAt(3), {20, 10});
  // Two points make one segment, each end leaning on itself.
  const QPainterPath two = EmfPlusGeometry::curve({{0, 0}, {10, 0}}, 0.5, 0, -1);
  ASSERT_EQ(two.elementCount(), 4);
  expectNear(two.elementAt(2), {8.5, 0});
  EXPECT_EQ(EmfPlusGeometry::curve(points, 0.5, 3, 1).elementCount(), 0);  // no point after
  EXPECT_EQ(EmfPlusGeometry::curve(points, 0.5, -1, 1).elementCount(), 0);
  // Closed: the last point's neighbours wrap round.
  const QPainterPath closed = EmfPlusGeometry::closedCurve(points, 0.5);
  ASSERT_EQ(closed.elementCount(), 1 + 4 * 3);
  expectNear(closed.elementAt(1), {-3, 0});  // 0 + 0.15 * (10 - 30), 0.15 * (0 - 0)
  expectNear(closed.elementAt(12), {0, 0});
  // Beziers: the first point, then three a segment; a partial segment is left out.
  const QPainterPath beziers =
      EmfPlusGeometry::beziers({{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}, {6, 6}, {7, 7}});
  EXPECT_EQ(beziers.elementCount(), 7);
  expectNear(beziers.elementAt(2), {2, 2});
  expectNear(beziers.elementAt(5), {5, 5});
  EXPECT_EQ(EmfPlusGeometry::beziers({{0, 0}, {1, 1}, {2, 2}, {3, 3}}).elementCount(), 4);
  EXPECT_TRUE(EmfPlusGeometry::beziers({{0, 0}, {1, 1}, {2, 2}}).isEmpty());
}

}  // namespace
}  // namespace ostrel::test
