#include "toolkit/controls/ImageControl.h"

#include <QKeyEvent>
#include <QMetaMethod>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include "toolkit/controls/ImageControlAccessible.h"
#include "toolkit/dialogs/MessageBoxService.h"
#include "toolkit/files/FileNames.h"

namespace ostrel {

namespace {
// A drawing larger than this many pixels is not cached as an image.
constexpr qint64 kLargestDrawingCache = 4096LL * 4096;
}  // namespace

ImageControl::ImageControl(QWidget* parent, const QString& name, Sizing sizing, ScaleMode mode)
    : QWidget(parent), ControlGeometry(this, mode), sizing_(sizing) {
  setObjectName(name);
  setAttribute(Qt::WA_OpaquePaintEvent, false);
  ImageControlAccessible::install();
  fillTimer_.setInterval(kFillRepaintMs);
  connect(&fillTimer_, &QTimer::timeout, this, [this] { showArrivedRows(); });
}

void ImageControl::setPicture(const Picture& picture) {
  picture_ = picture;
  frame_ = 0;
  placeholder_.clear();
  cache_ = QImage();
  toldPartsLeftOut_ = false;
  shownRows_ = picture.progress() ? picture.progress()->readyRows() : QRect();
  if (picture.progress()) {
    fillTimer_.start();
  } else {
    fillTimer_.stop();
  }
  if (sizing_ == Sizing::Natural) takeNaturalSize();
  update();
}

void ImageControl::showArrivedRows() {
  const DecodeProgress* progress = picture_.progress();
  if (progress == nullptr) {
    fillTimer_.stop();
    return;
  }
  // Read before the rows: a decode that has ended adds none after them.
  const bool ended = progress->ended();
  const QRect rows = progress->readyRows();
  if (rows != shownRows_) {
    // Rows only ever join the band, at its bottom or (a bitmap stored
    // upwards) its top: the new ones lie in the band's growth.
    const int top = rows.top() < shownRows_.top() || shownRows_.isEmpty() ? rows.top()
                                                                          : shownRows_.bottom() + 1;
    const int bottom = rows.top() < shownRows_.top() ? shownRows_.top() : rows.bottom() + 1;
    const qreal scale = qreal(height()) / picture_.naturalSize().height();
    update(QRectF(0, top * scale, width(), (bottom - top) * scale).toAlignedRect());
    shownRows_ = rows;
  }
  if (ended) fillTimer_.stop();
}

bool ImageControl::acts() const {
  return isSignalConnected(QMetaMethod::fromSignal(&ImageControl::Click));
}

void ImageControl::showFrame(int index) {
  if (index == frame_) return;
  frame_ = index;
  update();
}

void ImageControl::setPlaceholder(const QString& text) {
  setPicture(Picture());
  placeholder_ = text;
  update();
}

void ImageControl::paintPlaceholder(QPainter& painter) const {
  const QRect frame = rect().adjusted(0, 0, -1, -1);
  painter.fillRect(rect(), palette().color(QPalette::Base));
  painter.setPen(palette().color(QPalette::Mid));
  painter.drawRect(frame);
  painter.setPen(palette().color(QPalette::Text));
  painter.drawText(frame.adjusted(4, 4, -4, -4), Qt::AlignCenter | Qt::TextWordWrap, placeholder_);
}

void ImageControl::takeNaturalSize() {
  // A logical pixel is 15 twips at any ratio, so on a ratio-2 screen a raster
  // pixel, being one device pixel, is 7.5 twips.
  ratio_ = devicePixelRatioF();
  const QSizeF s = picture_.naturalSize(ratio_) * unitsPerPixel(scaleMode());
  setWidth(static_cast<float>(s.width()));
  setHeight(static_cast<float>(s.height()));
}

bool ImageControl::event(QEvent* event) {
  // Moved to a screen of another ratio, a raster picture at natural size
  // covers another number of logical pixels.
  if (event->type() == QEvent::ScreenChangeInternal && sizing_ == Sizing::Natural &&
      !picture_.isNull() && !picture_.isDrawing() && devicePixelRatioF() != ratio_) {
    takeNaturalSize();
  }
  return QWidget::event(event);
}

void ImageControl::geometryApplied() {
  if (sizing_ == Sizing::Stretch) cache_ = QImage();
}

const QImage& ImageControl::rendered() {
  // Drawings are played once per size; the picture itself is kept as is.
  if (picture_.isDrawing()) {
    const QSize target = size() * devicePixelRatioF();
    if (cache_.size() != target) {
      cache_ = picture_.toImage(target);
      cache_.setDevicePixelRatio(devicePixelRatioF());
      tellIfPartsLeftOut();
    }
    return cache_;
  }
  return picture_.frame(frame_);
}

void ImageControl::tellIfPartsLeftOut() {
  if (toldPartsLeftOut_ || !picture_.isDrawing() || picture_.drawing()->partsLeftOut() == 0) return;
  toldPartsLeftOut_ = true;
  const QString name = FileNames::shown(picture_.fileName());
  // Once per picture, and not from inside the paint.
  QTimer::singleShot(0, this, [name] {
    MsgBox(tr("Parts of the picture “%1” were left out: it asks for more drawing than this "
              "program does for one picture.")
               .arg(name),
           mb::Information);
  });
}

void ImageControl::paintFocusMark(QPainter& painter) const {
  // Over any picture: a band in the highlight colour lined with the base
  // colour, so one of the two stands out from whatever lies under it.
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
  painter.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
  painter.setPen(QPen(palette().color(QPalette::Base), 1));
  painter.drawRect(rect().adjusted(2, 2, -3, -3));
}

void ImageControl::paintEvent(QPaintEvent* event) {
  if (width() <= 0 || height() <= 0) return;
  QPainter painter(this);
  paintContent(painter, event->rect());
  if (hasFocus()) paintFocusMark(painter);
}

void ImageControl::paintContent(QPainter& painter, const QRect& exposed) {
  if (picture_.isNull()) {
    if (!placeholder_.isEmpty()) paintPlaceholder(painter);
    return;
  }
  if (picture_.progress()) {
    paintFilling(painter, exposed);
    return;
  }
  if (picture_.isDrawing() && qint64(width()) * height() > kLargestDrawingCache) {
    // Too big to keep as pixels: play the records for the exposed part only.
    painter.save();
    painter.setClipRect(exposed);
    picture_.paint(painter, QRectF(rect()));
    painter.restore();
    tellIfPartsLeftOut();
    return;
  }
  const QImage& image = rendered();
  if (image.isNull()) return;
  if (picture_.isDrawing()) {
    painter.drawImage(QPointF(0, 0), image);
    return;
  }
  if (sizing_ == Sizing::Natural && image.size() == picture_.naturalSize()) {
    // One picture pixel on one device pixel, so nothing is resampled; only
    // the exposed part is copied: a scroll repaints a strip, not the photo.
    const qreal ratio = devicePixelRatioF();
    const QRectF target(exposed);
    const QRectF source(target.topLeft() * ratio, target.size() * ratio);
    painter.drawImage(target, image, source);
    return;
  }
  painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
  painter.drawImage(QRectF(rect()), image);
}

void ImageControl::paintFilling(QPainter& painter, const QRect& exposed) {
  // Below the final rows nothing is drawn: the window's background shows,
  // never an earlier picture.
  if (sizing_ != Sizing::Natural) {
    picture_.paint(painter, QRectF(rect()));
    return;
  }
  const DecodeProgress::Ready ready = picture_.progress()->ready();
  if (ready.rows.isNull()) return;
  // As a whole picture at natural size: the exposed part of the band only.
  const qreal ratio = devicePixelRatioF();
  const QRectF band(0, ready.top / ratio, ready.rows.width() / ratio, ready.rows.height() / ratio);
  const QRectF target = band.intersected(QRectF(exposed));
  if (target.isEmpty()) return;
  const QRectF source(target.left() * ratio, (target.top() - band.top()) * ratio,
                      target.width() * ratio, target.height() * ratio);
  painter.drawImage(target, ready.rows, source);
}

void ImageControl::keyPressEvent(QKeyEvent* event) {
  const bool press = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter ||
                     event->key() == Qt::Key_Space;
  if (!press || (event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
    QWidget::keyPressEvent(event);
    return;
  }
  event->accept();
  emit Click();
}

void ImageControl::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  update();
}

void ImageControl::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  update();
}

void ImageControl::mousePressEvent(QMouseEvent* event) {
  pressed_ = event->button() == Qt::LeftButton;
  event->accept();
}

void ImageControl::mouseReleaseEvent(QMouseEvent* event) {
  const bool click =
      pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
  pressed_ = false;
  event->accept();
  if (click) emit Click();
}

}  // namespace ostrel
