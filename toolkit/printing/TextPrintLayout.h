#pragma once

#include <QFont>
#include <QRectF>
#include <QString>
#include <functional>

#include "toolkit/printing/PrintDocument.h"

class QPainter;
class QPagedPaintDevice;

namespace ostrel {

// Lays plain text out on pages as a person expects a printed text file:
// every line in order, long lines wrapped at word boundaries (anywhere when a
// word is wider than the page), a new page when one is full, and the page's
// number centred at its foot. The text keeps about 2 cm from the paper's
// edges and never leaves the area the printer can print. CR LF, a lone CR
// and a lone LF end a line, as in the text window; the last line end adds no
// empty line.
class TextPrintLayout {
 public:
  explicit TextPrintLayout(const QFont& font) : font_(font) {}

  static constexpr qreal kMarginMillimetres = 20;

  // A line is laid out this many characters at a time, so a line of any
  // length costs no more than this much layout at once.
  static constexpr qsizetype kLayoutUnits = 8 * 1024;

  // Paints text onto device through painter, which is active on device,
  // reading it a block at a time. Returns the number of pages used.
  // progress hears after every page how much of the text is done; when it
  // answers false, painting stops there and cancelled (if given) is set.
  using Progress = std::function<bool(qint64 done, qint64 total)>;
  int paint(QPainter& painter, QPagedPaintDevice& device, const PrintDocument& text,
            const Progress& progress = {}, bool* cancelled = nullptr) const;

 private:
  // Where the text and the page number go, in the painter's coordinates.
  struct Areas {
    QRectF text;
    QRectF pageNumber;
  };
  Areas areasOn(const QPagedPaintDevice& device, qreal lineHeight) const;

  QFont font_;
};

}  // namespace ostrel
