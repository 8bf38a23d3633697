#pragma once

#include <QTimer>

#include "picture_viewer/ViewerLayout.h"
#include "toolkit/controls/ImageControl.h"
#include "toolkit/controls/ScrollBar.h"
#include "toolkit/forms/Form.h"

namespace ostrel {

// The picture viewer: one picture at its natural size, in points, with a
// horizontal and a vertical bar; the picture follows every move of a bar
// (its thumb, arrows and track, the wheel, the keys). It reads the picture's
// name from the main window when it loads; a click on the picture or on the
// empty interior, Esc or Ctrl+W closes it. A moving picture plays while the
// window is shown, each frame for its delay.
class Form1 : public Form {
  Q_OBJECT

 public:
  Form1();

  ScrollBar* VScroll1;
  ScrollBar* HScroll1;
  ImageControl* Image1;

  void HScroll1_Scroll();
  void VScroll1_Scroll();
  void Image1_Click();

  // Shows picture from its first frame, playing its frames if it has them.
  // A picture still filling shows its rows as they come.
  void showPicture(const Picture& picture);
  // How many rows of a picture (device pixels at ratio) the viewer's first
  // screen shows: the loaded window's interior, else its design one.
  static int firstScreenRows(qreal ratio);
  // The frame timer's step: the next frame, or the end of the plays.
  void FrameTimer_Timer();
  bool playing() const { return frameTimer_.isActive(); }

  // Points per bar step (1 unless the picture is too large for the bar's
  // 16-bit range).
  int horizontalUnit() const { return hScale_.unit; }
  int verticalUnit() const { return vScale_.unit; }

 protected:
  void Form_Load() override;
  void Form_Resize() override;
  void Form_Click() override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  void addKeys();
  void applyFitRule();
  void setRanges();
  void startFrameTimer();

  ViewerLayout::BarScale hScale_;
  ViewerLayout::BarScale vScale_;
  QTimer frameTimer_;
  int playsLeft_ = 0;                           // -1: for ever
  static constexpr float kDesignHeight = 3645;  // twips
};

}  // namespace ostrel
