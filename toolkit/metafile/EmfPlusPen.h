#pragma once

#include <QList>
#include <QPen>
#include <cstdint>
#include <vector>

#include "toolkit/metafile/EmfPlusBrush.h"
#include "toolkit/metafile/EmfPlusLineCap.h"
#include "toolkit/metafile/EmfPlusNames.h"

namespace ostrel {

class DibCache;
class EmfPlusReader;

// An EMF+ pen: its width and the unit it is given in, caps (Qt's own, or
// shapes drawn at the ends), join and miter limit, dash style with its
// lengths and offset, and the brush it strokes with.
class EmfPlusPen {
 public:
  static EmfPlusPen read(EmfPlusReader& r, DibCache& bitmaps, int nesting);

  double width() const { return width_; }
  uint32_t unit() const { return unit_; }
  const EmfPlusBrush& brush() const { return brush_; }
  const EmfPlusLineCap& startCap() const { return startShape_; }
  const EmfPlusLineCap& endCap() const { return endShape_; }
  // The Qt pen for a stroke worldWidth world units wide (0: one output pixel).
  QPen qtPen(double worldWidth) const;
  // A line style's dashes and gaps in pen widths (the custom lengths for
  // the custom style); empty for a solid line.
  static QList<qreal> dashPattern(int32_t style, const std::vector<float>& custom);

 private:
  double width_ = 1;
  uint32_t unit_ = U_UT_World;
  int32_t startCap_ = U_LCT_Flat, endCap_ = U_LCT_Flat;
  uint32_t join_ = U_LJT_Miter;
  double miterLimit_ = 10;
  int32_t style_ = 0;
  int32_t dashCap_ = 0;
  double dashOffset_ = 0;
  std::vector<float> dashes_;
  EmfPlusLineCap startShape_, endShape_;
  EmfPlusBrush brush_;
};

}  // namespace ostrel
