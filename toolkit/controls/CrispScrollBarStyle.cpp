#include "toolkit/controls/CrispScrollBarStyle.h"

#include <QApplication>
#include <QPainter>
#include <QStyleOptionSlider>
#include <cmath>

namespace ostrel {

namespace {
// How much darker than the window the track and the outline are.
constexpr int kTrackDarker = 104;
constexpr int kOutlineDarker = 130;
}  // namespace

CrispScrollBarStyle::CrispScrollBarStyle() : QProxyStyle(QApplication::style()->name()) {}

bool CrispScrollBarStyle::fractional(const QPaintDevice* device) {
  const qreal ratio = device->devicePixelRatioF();
  return std::abs(ratio - std::round(ratio)) > 0.01;
}

QColor CrispScrollBarStyle::outline(const QPalette& palette) {
  return palette.window().color().darker(kOutlineDarker);
}

void CrispScrollBarStyle::fill(QPainter* painter, const QRect& rect, const QColor& colour,
                               bool outlineOnly) {
  // In device pixels: the whole pixels inside the rectangle.
  const qreal ratio = painter->device()->devicePixelRatioF();
  const QPointF origin = painter->transform().map(QPointF(0, 0));
  const QRectF mapped(rect.left() * ratio + origin.x() * ratio,
                      rect.top() * ratio + origin.y() * ratio, (rect.width()) * ratio,
                      rect.height() * ratio);
  const QRect device(QPoint(qCeil(mapped.left()), qCeil(mapped.top())),
                     QPoint(qFloor(mapped.right()) - 1, qFloor(mapped.bottom()) - 1));
  painter->save();
  painter->resetTransform();
  painter->scale(1 / ratio, 1 / ratio);
  painter->setRenderHint(QPainter::Antialiasing, false);
  painter->setPen(Qt::NoPen);
  painter->setBrush(colour);
  if (!outlineOnly) {
    painter->drawRect(device);
  } else {
    painter->drawRect(device.left(), device.top(), device.width(), 1);
    painter->drawRect(device.left(), device.bottom(), device.width(), 1);
    painter->drawRect(device.left(), device.top(), 1, device.height());
    painter->drawRect(device.right(), device.top(), 1, device.height());
  }
  painter->restore();
}

void CrispScrollBarStyle::drawOutline(QPainter* painter, const QRect& rect, const QColor& colour) {
  fill(painter, rect, colour, true);
}

void CrispScrollBarStyle::drawComplexControl(ComplexControl control,
                                             const QStyleOptionComplex* option, QPainter* painter,
                                             const QWidget* widget) const {
  const auto* bar = qstyleoption_cast<const QStyleOptionSlider*>(option);
  if (control != CC_ScrollBar || !bar || !fractional(painter->device())) {
    QProxyStyle::drawComplexControl(control, option, painter, widget);
    return;
  }
  QStyleOptionSlider arrows = *bar;
  arrows.subControls = bar->subControls & (SC_ScrollBarAddLine | SC_ScrollBarSubLine);
  const QColor track = bar->palette.window().color().darker(kTrackDarker);
  const QRect groove = subControlRect(control, bar, SC_ScrollBarGroove, widget);
  fill(painter, bar->rect, track, false);
  QProxyStyle::drawComplexControl(control, &arrows, painter, widget);
  drawOutline(painter, groove, outline(bar->palette));
  if (bar->maximum > bar->minimum) {
    const QRect handle = subControlRect(control, bar, SC_ScrollBarSlider, widget);
    fill(painter, handle, bar->palette.button().color(), false);
    drawOutline(painter, handle, outline(bar->palette));
  }
}

}  // namespace ostrel
