#pragma once

#include <QPainterPath>
#include <QPolygonF>
#include <cstdint>
#include <vector>

namespace ostrel {

class EmfPlusReader;

// An EMF+ path object: points and a type for each (start, line, Bezier,
// with a flag closing the figure), the types plain or run-length coded.
class EmfPlusPath {
 public:
  // The path in world units; empty when the object cannot be read.
  static QPainterPath read(EmfPlusReader& r);
  // Figures from points and their types; a Bezier takes three points.
  static QPainterPath fromPoints(const QPolygonF& points, const std::vector<uint8_t>& types);
};

}  // namespace ostrel
