#pragma once

#include <QFont>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QTransform>
#include <vector>

#include "toolkit/metafile/DeviceContext.h"

namespace ostrel {

struct TextRun;

// Where the characters of one text output go, worked out from the run and the
// device context without drawing anything: the font as Qt sizes it, each
// glyph's origin on the baseline, the box behind the text and where the
// current position moves. Coordinates are "layout" units: device pixels along
// a baseline through the reference point, turned by the escapement and the
// mapping (toDevice takes them to device pixels).
class TextLayout {
 public:
  struct Glyph {
    QString text;    // one character, a surrogate pair, or the whole run
    QPointF origin;  // layout units, on the baseline
  };

  // reference: the run's reference point or the current position (logical).
  TextLayout(const TextRun& run, const DeviceContext& dc, const QTransform& logicalToDevice,
             QPointF reference);

  const QFont& font() const { return font_; }
  int pixelSize() const { return pixelSize_; }
  // The glyph transform before placement: Qt's whole pixel size scaled to
  // the exact one, and stretched to the font's width.
  QTransform glyphScale() const { return QTransform::fromScale(k_ * stretch_, k_); }
  const std::vector<Glyph>& glyphs() const { return glyphs_; }
  bool hasText() const { return !text_.isEmpty(); }
  // The run's units are glyph numbers, not characters. GDI takes them from
  // whichever font it realized for the run, so here they index the face the
  // writer's font was mapped to.
  bool glyphIndices() const { return indices_; }
  // Layout units to device pixels.
  const QTransform& toDevice() const { return toDevice_; }
  // The cell behind the text (for an opaque background), layout units.
  QRectF cell() const { return QRectF(x0_, baseline_ - ascent_, width_, ascent_ + descent_); }
  double width() const { return width_; }
  // Where TA_UPDATECP moves the current position to, in device pixels.
  QPointF endDevice() const;

 private:
  void sizeFont(const GdiFont& f, double sy);
  void placeGlyphs(double sy, bool useDx, bool charExtra);
  // Each unit's own advance at the font's exact size, device pixels.
  std::vector<double> naturalAdvances() const;
  bool spacedAsUnstretched(double natural) const;

  bool indices_ = false;
  QString text_;
  std::vector<double> dx_, dy_;  // the run's spacing, one entry a UTF-16 unit of text_
  QFont font_;
  int pixelSize_ = 1;
  double k_ = 1;
  double stretch_ = 1;
  double ascent_ = 0, descent_ = 0;
  std::vector<double> advance_;
  double width_ = 0;
  double x0_ = 0, baseline_ = 0;
  double rise_ = 0, y0_ = 0;  // the baseline's move over the run, and where it starts
  uint32_t align_ = 0;
  QTransform toDevice_;
  std::vector<Glyph> glyphs_;
};

}  // namespace ostrel
