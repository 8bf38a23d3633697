#pragma once

#include <QProxyStyle>

namespace ostrel {

// Scroll bars drawn whole on screens scaled by a fraction (125 %, 150 %,
// 175 %), where the stock style's track fades out and its thumb loses its
// edges: the track and the thumb are filled and outlined on whole device
// pixels. At whole-number scales the stock style draws as it always does.
class CrispScrollBarStyle : public QProxyStyle {
 public:
  CrispScrollBarStyle();

  void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                          QPainter* painter, const QWidget* widget = nullptr) const override;

  // True on a screen scaled by a fraction.
  static bool fractional(const QPaintDevice* device);
  // The outline colour of frames, from the palette.
  static QColor outline(const QPalette& palette);
  // Draws rect's outline on the whole device pixels just inside it.
  static void drawOutline(QPainter* painter, const QRect& rect, const QColor& colour);

 private:
  // Fills the whole device pixels inside rect, or only the outermost of them.
  static void fill(QPainter* painter, const QRect& rect, const QColor& colour, bool outlineOnly);
};

}  // namespace ostrel
