#pragma once

#include <QFont>
#include <QString>
#include <functional>

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
  // Returns the number of pages used. progress hears after every page how
  // much of the text is done; when it answers false, painting stops there
  // and cancelled (if given) is set.
  using Progress = std::function<bool(qint64 done, qint64 total)>;
  int paint(QPainter& painter, QPagedPaintDevice& device, const QString& text,
            const Progress& progress = {}, bool* cancelled = nullptr) const;

 private:
  QFont font_;
};

}  // namespace ostrel
