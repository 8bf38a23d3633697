#pragma once

#include <QImage>
#include <QSize>
#include <memory>

#include "toolkit/picture/Animation.h"
#include "toolkit/picture/DecodeProgress.h"
#include "toolkit/picture/Drawing.h"

class QPainter;

namespace ostrel {

// What a picture control holds: a raster image or a drawing (metafile), or
// nothing. Cheap to copy; the pixels and the records are shared.
class Picture {
 public:
  Picture() = default;
  static Picture fromImage(QImage image);
  // naturalSize: the picture's full size when image was decoded smaller than
  // that (a preview decode); empty means the image's own size.
  static Picture fromImage(QImage image, QSize naturalSize);
  static Picture fromDrawing(std::shared_ptr<const Drawing> drawing);
  // A moving picture: image() is its first frame, and it keeps the others
  // when there are more.
  static Picture fromAnimation(std::shared_ptr<const Animation> animation);
  // A raster picture still being decoded: its size is final, its rows come
  // as progress says. image() stays null, so nothing reads a row before it
  // is final; paint() and toImage() show the final rows only.
  static Picture filling(std::shared_ptr<const DecodeProgress> progress);

  bool isNull() const;
  bool isDrawing() const { return drawing_ != nullptr; }

  // A raster picture's pixel count (upright for rotated photos); a drawing's
  // size at 96 dpi in logical pixels.
  QSize naturalSize() const;

  // What the picture covers at its natural size on a screen with the given
  // device pixel ratio, in logical pixels: each raster pixel is one device
  // pixel, so it stays sharp; a drawing keeps its physical size.
  QSizeF naturalSize(qreal devicePixelRatio) const;

  // Draws the picture stretched into target (aspect ratio not kept).
  void paint(QPainter& painter, const QRectF& target) const;

  // A raster copy at the given size (natural size when empty).
  QImage toImage(QSize size = {}) const;

  // The file the picture was read from, for messages about it.
  QString fileName() const { return fileName_; }
  void setFileName(const QString& fileName) { fileName_ = fileName; }

  const QImage& image() const { return image_; }
  const Drawing* drawing() const { return drawing_.get(); }
  // Null unless the picture has more than one frame.
  const Animation* animation() const { return animation_.get(); }
  // Frame index of a moving picture; image() for any other.
  const QImage& frame(int index) const;
  // Null unless the picture is still filling.
  const DecodeProgress* progress() const { return progress_.get(); }

 private:
  QImage image_;
  QSize natural_;
  std::shared_ptr<const Drawing> drawing_;
  std::shared_ptr<const Animation> animation_;
  std::shared_ptr<const DecodeProgress> progress_;
  QString fileName_;
};

}  // namespace ostrel
