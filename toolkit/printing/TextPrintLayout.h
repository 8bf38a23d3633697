#pragma once

#include <QFont>
#include <QString>

class QPainter;
class QPagedPaintDevice;

namespace ostrel {

// Lays plain text out on pages as a person expects a printed text file:
// every line in order, long lines wrapped at word boundaries (anywhere when a
// word is wider than the page), a new page when one is full. CR LF, CR and LF
// all end a line; the last line end adds no empty line.
class TextPrintLayout {
 public:
  explicit TextPrintLayout(const QFont& font) : font_(font) {}

  // Paints text onto device through painter, which is active on device.
  // Returns the number of pages used.
  int paint(QPainter& painter, QPagedPaintDevice& device, const QString& text) const;

 private:
  QFont font_;
};

}  // namespace ostrel
