#pragma once

#include <QImage>
#include <QTimer>
#include <QWidget>

#include "toolkit/controls/ControlGeometry.h"
#include "toolkit/picture/Picture.h"

namespace ostrel {

// A picture control. At natural size, assigning a picture sizes the control
// to the picture, a raster picture's pixels taken as device pixels (sharp on
// any screen) and a drawing at its physical size; stretched, the picture
// fills the control and its aspect ratio is not kept. Either way it is drawn
// at the screen's resolution. Given a focus policy, it takes the keyboard
// focus, shows it with a frame, and Enter or Space acts as a click.
class ImageControl : public QWidget, public ControlGeometry {
  Q_OBJECT

 public:
  enum class Sizing { Natural, Stretch };

  ImageControl(QWidget* parent, const QString& name, Sizing sizing,
               ScaleMode mode = ScaleMode::Twips);

  const Picture& picture() const { return picture_; }
  void setPicture(const Picture& picture);
  // Shows a short text in a frame instead of a picture (picture() is then
  // null), for a picture that cannot be shown.
  void setPlaceholder(const QString& text);
  const QString& placeholder() const { return placeholder_; }
  Sizing sizing() const { return sizing_; }
  // Which frame of a moving picture is shown (0 after setPicture); the size
  // stays, all frames being the picture's size.
  void showFrame(int index);
  int frameShown() const { return frame_; }
  // Whether a click does anything: something listens to Click.
  bool acts() const;

 signals:
  void Click();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void geometryApplied() override;
  bool event(QEvent* event) override;

 private:
  const QImage& rendered();
  void paintFilling(QPainter& painter, const QRect& exposed);
  void showArrivedRows();
  void paintPlaceholder(QPainter& painter) const;
  void paintFocusMark(QPainter& painter) const;
  void paintContent(QPainter& painter, const QRect& exposed);
  void takeNaturalSize();

  Sizing sizing_;
  Picture picture_;
  QString placeholder_;
  QImage cache_;     // a drawing rendered once at the control's size
  qreal ratio_ = 1;  // the device pixel ratio the natural size was taken at
  int frame_ = 0;
  bool pressed_ = false;
  // A picture still filling is looked at this often, and the rows that came
  // since (shownRows_ are those already drawn) are drawn.
  static constexpr int kFillRepaintMs = 40;
  QTimer fillTimer_;
  QRect shownRows_;
  // Whether the user has been told that this picture was drawn in part.
  bool toldPartsLeftOut_ = false;
  void tellIfPartsLeftOut();
};

}  // namespace ostrel
