#pragma once

#include "toolkit/controls/CheckBox.h"
#include "toolkit/controls/CommandButton.h"
#include "toolkit/controls/DirListBox.h"
#include "toolkit/controls/DriveListBox.h"
#include "toolkit/controls/FileListBox.h"
#include "toolkit/controls/ImageControl.h"
#include "toolkit/controls/Label.h"
#include "toolkit/forms/Form.h"

namespace ostrel {

// The main window: drive, directory and file lists, the preview, the
// file-type boxes and the About, Help and Exit buttons.
class Ostrel_View : public Form {
  Q_OBJECT

 public:
  Ostrel_View();

  DriveListBox* Drive1;
  DirListBox* Dir1;
  ImageControl* Image1;
  FileListBox* File1;
  CommandButton* Command2;
  CommandButton* Command3;
  CommandButton* Command1;
  Label* Label1;
  CheckBoxArray* Check1;

  void Drive1_Change();
  void Dir1_Change();
  void Command1_Click();
  void Command2_Click();
  void Command3_Click();
  void Check1_Click(int Index);
  void File1_Click();
  void Image1_Click();

 protected:
  void Form_Load() override;

 private:
  void showCannotPreview();

  // Whether the preview shows a picture file (not the program icon or the
  // placeholder of a picture that failed).
  bool previewShowsPicture_ = false;
};

}  // namespace ostrel
