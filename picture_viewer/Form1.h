#pragma once

#include "picture_viewer/ViewerLayout.h"
#include "toolkit/controls/ImageControl.h"
#include "toolkit/controls/ScrollBar.h"
#include "toolkit/forms/Form.h"

namespace ostrel {

// The picture viewer: one picture at its natural size, in points, with a
// horizontal and a vertical bar that move it when their thumbs are dragged.
// It reads the picture's name from the main window when it loads; a click on
// the picture or on the empty interior closes it.
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

  // Points per bar step (1 unless the picture is too large for the bar's
  // 16-bit range).
  int horizontalUnit() const { return hScale_.unit; }
  int verticalUnit() const { return vScale_.unit; }

 protected:
  void Form_Load() override;
  void Form_Resize() override;
  void Form_Click() override;

 private:
  void applyFitRule();
  void setRanges();

  ViewerLayout::BarScale hScale_;
  ViewerLayout::BarScale vScale_;
};

}  // namespace ostrel
