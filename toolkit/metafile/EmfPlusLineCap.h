#pragma once

#include <QPainterPath>
#include <QPointF>
#include <cstdint>

namespace ostrel {

class EmfPlusReader;

// The shape at the end of a line that is more than Qt's flat, square or
// round cap: GDI+'s triangle and anchor caps, and custom caps (a path to
// fill or stroke, or an adjustable arrow), all sized in pen widths.
class EmfPlusLineCap {
 public:
  enum class Kind {
    None,
    Triangle,
    SquareAnchor,
    RoundAnchor,
    DiamondAnchor,
    ArrowAnchor,
    Path,
    Arrow
  };

  EmfPlusLineCap() = default;
  // One of the line cap types a pen names (flat, square and round need
  // nothing: Qt draws them).
  static EmfPlusLineCap ofType(int32_t capType);
  // A custom cap object.
  static EmfPlusLineCap read(EmfPlusReader& r);

  Kind kind() const { return kind_; }
  bool filled() const { return filled_; }
  // The cap at end, for a line arriving from the direction of from, in
  // world units: a shape to fill when filled(), else to stroke with the pen.
  QPainterPath shapeAt(QPointF end, QPointF from, double penWidth) const;
  // How far back from its end, in world units, the line stops: a custom
  // cap's base inset lets the line end inside the cap, not through its tip.
  double inset(double penWidth) const;

 private:
  Kind kind_ = Kind::None;
  bool filled_ = true;
  QPainterPath path_;  // the cap's outline in pen widths: x across the line, y along it
  double widthScale_ = 1;
  double inset_ = 0;  // in pen widths
};

}  // namespace ostrel
