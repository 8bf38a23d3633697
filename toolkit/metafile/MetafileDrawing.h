#pragma once

#include <memory>

#include "toolkit/metafile/MetafileContent.h"
#include "toolkit/picture/Drawing.h"

namespace ostrel {

class DibCache;

// A loaded metafile: its checked records, replayed through the GDI player each
// time it is painted, at whatever size the target asks for.
class MetafileDrawing : public Drawing {
 public:
  explicit MetafileDrawing(MetafileContent content);

  QSizeF naturalSize() const override { return content_.naturalSize; }
  void paint(QPainter& painter, const QRectF& target) const override;
  int partsLeftOut() const override { return lastWork_.leftOut; }

  MetafileFormat format() const { return content_.format; }
  size_t recordCount() const { return content_.records.size(); }
  // Records skipped: not drawn by this player, or failing their size checks.
  int unsupportedRecords() const { return content_.unsupportedRecords; }
  int rejectedRecords() const { return content_.rejectedRecords; }
  bool truncated() const { return content_.truncated; }

  // The work of the latest paint, the measure the budgets of PictureLimits
  // bound.
  struct PaintWork {
    int bitmapsDecoded = 0;  // bitmaps decoded (each once, however often drawn)
    qint64 pixelsDecoded = 0;
    qint64 work = 0;  // PictureLimits::kMaxDrawingWork's measure
    int leftOut = 0;  // bitmaps and drawing calls left out for a budget
  };
  PaintWork lastPaintWork() const { return lastWork_; }

  // Plays content into target: what paint does, for a picture drawn inside
  // another (an EMF+ image), within the work and pixels its host has left.
  static PaintWork play(const MetafileContent& content, QPainter& painter, const QRectF& target,
                        DibCache& bitmaps, qint64 workBudget, int nesting);

 private:
  MetafileContent content_;
  // Painting is const and happens on one thread; the figures are a record
  // of it, not state the drawing depends on.
  mutable PaintWork lastWork_;
};

}  // namespace ostrel
