#pragma once

#include <memory>

#include "toolkit/metafile/MetafileContent.h"
#include "toolkit/picture/Drawing.h"

namespace ostrel {

// A loaded metafile: its checked records, replayed through the GDI player each
// time it is painted, at whatever size the target asks for.
class MetafileDrawing : public Drawing {
 public:
  explicit MetafileDrawing(MetafileContent content);

  QSizeF naturalSize() const override { return content_.naturalSize; }
  void paint(QPainter& painter, const QRectF& target) const override;

  MetafileFormat format() const { return content_.format; }
  size_t recordCount() const { return content_.records.size(); }
  // Records skipped: not drawn by this player, or failing their size checks.
  int unsupportedRecords() const { return content_.unsupportedRecords; }
  int rejectedRecords() const { return content_.rejectedRecords; }
  bool truncated() const { return content_.truncated; }

 private:
  MetafileContent content_;
};

}  // namespace ostrel
