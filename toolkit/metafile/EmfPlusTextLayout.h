#pragma once

#include <QFont>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <cstdint>
#include <vector>

namespace ostrel {

// DrawString's lines: the text broken at line ends and, unless told not
// to, wrapped at the box's width, each line aligned along the box (near,
// centre, far) and the block of lines across it. A box without width or
// height is a point the text aligns to. Units are the font's own.
class EmfPlusTextLayout {
 public:
  struct Line {
    QString text;
    QPointF origin;  // start of the baseline
    double width;
  };

  EmfPlusTextLayout(const QString& text, const QFont& font, const QRectF& box, uint32_t alignment,
                    uint32_t lineAlignment, bool wrap);

  const std::vector<Line>& lines() const { return lines_; }

  // Where a run of extent length starts when aligned within [start,
  // start + room] (room 0: aligned to the point start).
  static double aligned(double start, double room, double length, uint32_t alignment);

 private:
  std::vector<Line> lines_;
};

}  // namespace ostrel
