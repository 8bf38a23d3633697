#pragma once

#include "toolkit/Units.h"

class QWidget;

namespace ostrel {

// Left, Top, Width and Height of a control as floats in its window's scale
// unit, kept exactly as assigned; the widget is placed at the nearest pixels.
// A negative size cannot be shown: it is ignored and the last valid size kept.
class ControlGeometry {
 public:
  ControlGeometry(QWidget* widget, ScaleMode mode);
  virtual ~ControlGeometry() = default;

  float Left() const { return left_; }
  float Top() const { return top_; }
  float Width() const { return width_; }
  float Height() const { return height_; }
  void setLeft(float value);
  void setTop(float value);
  void setWidth(float value);
  void setHeight(float value);
  void Move(float left, float top, float width, float height);

  // Whether the control is set to show (the window itself may be hidden);
  // set it with the widget's setVisible().
  bool Visible() const;

  ScaleMode scaleMode() const { return mode_; }

 protected:
  // Called after the widget was placed; sizes are already in pixels.
  virtual void geometryApplied() {}

 private:
  void apply();

  QWidget* widget_;
  ScaleMode mode_;
  float left_ = 0;
  float top_ = 0;
  float width_ = 0;
  float height_ = 0;
};

}  // namespace ostrel
