#include "toolkit/controls/LineControl.h"

#include <QPainter>

#include "toolkit/Units.h"

namespace ostrel {

LineControl::LineControl(QWidget* parent, const QString& name, float x1, float y1, float x2,
                         float y2, QPalette::ColorRole role, int widthPixels)
    : QWidget(parent), role_(role), width_(widthPixels) {
  setObjectName(name);
  setAttribute(Qt::WA_TransparentForMouseEvents);
  const QPoint a(toPixels(x1, ScaleMode::Twips), toPixels(y1, ScaleMode::Twips));
  const QPoint b(toPixels(x2, ScaleMode::Twips), toPixels(y2, ScaleMode::Twips));
  const QRect box = QRect(a, b).normalized().adjusted(0, 0, widthPixels, widthPixels);
  setGeometry(box);
  from_ = a - box.topLeft();
  to_ = b - box.topLeft();
}

void LineControl::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(QRect(from_, to_).normalized().adjusted(0, 0, 0, width_ - 1),
                   palette().color(role_));
}

}  // namespace ostrel
