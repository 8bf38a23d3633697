#pragma once

#include <QBrush>
#include <QColor>
#include <QGradientStops>
#include <QImage>
#include <QPainterPath>
#include <QTransform>
#include <optional>

namespace ostrel {

class DibCache;
class EmfPlusReader;

// An EMF+ brush: a solid colour, a hatch, a texture, or a linear or path
// gradient with its blend (colours or factors at positions), kept as the Qt
// brush it paints with, in world units.
class EmfPlusBrush {
 public:
  enum class Kind { Solid, Hatch, Texture, LinearGradient, PathGradient };

  explicit EmfPlusBrush(QColor color = Qt::black) : brush_(color), color_(color) {}
  // nesting: how deep the picture reading it is (a texture may be a metafile).
  static EmfPlusBrush read(EmfPlusReader& r, DibCache& bitmaps, int nesting);

  Kind kind() const { return kind_; }
  const QBrush& brush() const { return brush_; }
  // The colour that stands for the brush where one colour must do.
  QColor color() const { return color_; }
  // A hatch's background, painted under its pattern.
  std::optional<QColor> background() const { return background_; }
  // A path gradient paints only inside its boundary (world units).
  const std::optional<QPainterPath>& boundary() const { return boundary_; }
  // A path gradient painted on the output pixels of area: each pixel takes
  // the colour of the copy of the boundary, shrunk towards the centre point,
  // that runs through it. Null for other brushes, and for boundaries with
  // too many edges for the area (the brush() then stands in).
  QImage pathGradientImage(const QTransform& worldToOutput, const QRect& area) const;

  // The stops of a gradient from start to end colour under a blend: colours
  // at positions, or factors (0 the start colour, 1 the end) at positions.
  // Positions outside 0..1 are left out; without a blend, the two colours.
  static QGradientStops stops(QColor start, QColor end, const std::vector<float>& positions,
                              const std::vector<QColor>& colors, const std::vector<float>& factors);
  // The Qt pattern that draws a hatch style: the nearest in direction, or
  // for the percent styles in how much of the area the foreground covers.
  static Qt::BrushStyle hatchPattern(uint32_t style);

 private:
  static EmfPlusBrush hatch(EmfPlusReader& r);
  static EmfPlusBrush linear(EmfPlusReader& r);
  static EmfPlusBrush pathGradient(EmfPlusReader& r);
  static EmfPlusBrush texture(EmfPlusReader& r, DibCache& bitmaps, int nesting);

  Kind kind_ = Kind::Solid;
  QBrush brush_;
  QColor color_;
  std::optional<QColor> background_;
  std::optional<QPainterPath> boundary_;
  QPointF center_;        // a path gradient's centre point, world units
  QGradientStops stops_;  // and its colours from the centre (0) to the boundary (1)
};

}  // namespace ostrel
