#pragma once

#include <QRectF>
#include <QSizeF>

class QPainter;

namespace ostrel {

// A picture that draws itself at any size straight from its records (a
// metafile), so neither the preview nor the viewer is a scaled bitmap.
class Drawing {
 public:
  virtual ~Drawing() = default;

  // The size the picture has at 96 dpi, in logical pixels.
  virtual QSizeF naturalSize() const = 0;

  // Draws the whole picture into target, stretched to fill it.
  virtual void paint(QPainter& painter, const QRectF& target) const = 0;

  // How many of its parts the latest paint left out to stay within the
  // work one picture may cost.
  virtual int partsLeftOut() const { return 0; }
};

}  // namespace ostrel
