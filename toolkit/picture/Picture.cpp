#include "toolkit/picture/Picture.h"

#include <QPainter>

namespace ostrel {

Picture Picture::fromImage(QImage image) {
  return fromImage(std::move(image), {});
}

Picture Picture::fromImage(QImage image, QSize naturalSize) {
  Picture p;
  p.natural_ = naturalSize.isEmpty() ? image.size() : naturalSize;
  p.image_ = std::move(image);
  return p;
}

Picture Picture::fromDrawing(std::shared_ptr<const Drawing> drawing) {
  Picture p;
  if (drawing) {
    const QSizeF s = drawing->naturalSize();
    p.natural_ = QSize(qMax(1, qRound(s.width())), qMax(1, qRound(s.height())));
  }
  p.drawing_ = std::move(drawing);
  return p;
}

Picture Picture::fromAnimation(std::shared_ptr<const Animation> animation) {
  if (!animation || animation->frames.isEmpty()) return {};
  Picture p = fromImage(animation->frames.first().image);
  if (animation->frames.size() > 1) p.animation_ = std::move(animation);
  return p;
}

Picture Picture::filling(std::shared_ptr<const DecodeProgress> progress) {
  Picture p;
  if (!progress || !progress->published()) return p;
  p.natural_ = progress->size();
  p.progress_ = std::move(progress);
  return p;
}

const QImage& Picture::frame(int index) const {
  if (!animation_ || index < 0 || index >= animation_->frames.size()) return image_;
  return animation_->frames[index].image;
}

bool Picture::isNull() const {
  return drawing_ == nullptr && progress_ == nullptr && image_.isNull();
}

QSize Picture::naturalSize() const {
  return isNull() ? QSize() : natural_;
}

QSizeF Picture::naturalSize(qreal devicePixelRatio) const {
  const QSizeF size(naturalSize());
  if (drawing_ || devicePixelRatio <= 0) return size;
  return size / devicePixelRatio;
}

void Picture::paint(QPainter& painter, const QRectF& target) const {
  if (drawing_) {
    painter.save();
    drawing_->paint(painter, target);
    painter.restore();
  } else if (progress_) {
    // The final rows where they belong in target; the rest stays as it was.
    const DecodeProgress::Ready ready = progress_->ready();
    if (ready.rows.isNull()) return;
    const qreal scale = target.height() / natural_.height();
    const QRectF band(target.left(), target.top() + ready.top * scale, target.width(),
                      ready.rows.height() * scale);
    painter.drawImage(band, ready.rows);
  } else if (!image_.isNull()) {
    painter.drawImage(target, image_);
  }
}

QImage Picture::toImage(QSize size) const {
  if (isNull()) return {};
  if (size.isEmpty()) size = naturalSize();
  if (!drawing_ && !progress_ && size == image_.size()) return image_;
  QImage out(size, QImage::Format_ARGB32_Premultiplied);
  out.fill(Qt::transparent);
  QPainter painter(&out);
  painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
  paint(painter, QRectF(QPointF(0, 0), QSizeF(size)));
  return out;
}

}  // namespace ostrel
