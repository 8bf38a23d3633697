#pragma once

#include <QImage>
#include <QRectF>
#include <memory>

#include "toolkit/metafile/MetafileContent.h"

namespace ostrel {

class DibCache;
class EmfPlusReader;

// An EMF+ image object: a bitmap (pixels in one of the pixel formats, or a
// compressed PNG, JPEG, GIF or BMP file) or a metafile (WMF or EMF) to be
// drawn inside this one. Every bitmap pays its pixels into the drawing's
// budget before it is decoded; a metafile's bitmaps pay when it is drawn.
class EmfPlusImage {
 public:
  // Metafiles inside metafiles this deep are left out.
  static constexpr int kMaxNesting = 2;

  // nesting: how deep the picture reading the object already is.
  static EmfPlusImage read(EmfPlusReader& r, DibCache& bitmaps, int nesting);

  bool isNull() const { return bitmap_.isNull() && !metafile_; }
  const QImage& bitmap() const { return bitmap_; }
  const MetafileContent* metafile() const { return metafile_.get(); }
  // The image's own coordinates, which a source rectangle picks from:
  // pixels of a bitmap, a WMF's logical units, an EMF's reference-device
  // pixels.
  QRectF bounds() const;

 private:
  static QImage pixels(EmfPlusReader& r, int width, int height, int stride, uint32_t format);
  static QImage compressed(EmfPlusReader& r, DibCache& bitmaps);
  // frame: the metafile's bounds in its own units, which stay the WMF's when
  // the EMF it carries is what is drawn.
  static std::shared_ptr<const MetafileContent> metafileOf(EmfPlusReader& r, QRectF& frame);

  QImage bitmap_;
  std::shared_ptr<const MetafileContent> metafile_;
  QRectF frame_;
};

}  // namespace ostrel
