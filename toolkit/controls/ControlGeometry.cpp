#include "toolkit/controls/ControlGeometry.h"

#include <QWidget>

namespace ostrel {

ControlGeometry::ControlGeometry(QWidget* widget, ScaleMode mode) : widget_(widget), mode_(mode) {}

void ControlGeometry::setLeft(float value) {
  left_ = value;
  apply();
}

void ControlGeometry::setTop(float value) {
  top_ = value;
  apply();
}

void ControlGeometry::setWidth(float value) {
  if (value < 0) return;
  width_ = value;
  apply();
}

void ControlGeometry::setHeight(float value) {
  if (value < 0) return;
  height_ = value;
  apply();
}

void ControlGeometry::Move(float left, float top, float width, float height) {
  left_ = left;
  top_ = top;
  if (width >= 0) width_ = width;
  if (height >= 0) height_ = height;
  apply();
}

bool ControlGeometry::Visible() const {
  return !widget_->isHidden();
}

void ControlGeometry::apply() {
  // Edges are rounded, not sizes, so controls that meet in the design still
  // meet on screen.
  const int x = toPixels(left_, mode_);
  const int y = toPixels(top_, mode_);
  const int right = toPixels(left_ + width_, mode_);
  const int bottom = toPixels(top_ + height_, mode_);
  widget_->setGeometry(x, y, qMax(0, right - x), qMax(0, bottom - y));
  geometryApplied();
}

}  // namespace ostrel
