#pragma once

#include <QFileSystemWatcher>
#include <QTimer>

#include "toolkit/controls/CheckBox.h"
#include "toolkit/controls/CommandButton.h"
#include "toolkit/controls/DirListBox.h"
#include "toolkit/controls/DriveListBox.h"
#include "toolkit/controls/FileListBox.h"
#include "toolkit/controls/ImageControl.h"
#include "toolkit/controls/Label.h"
#include "toolkit/files/FileIdentity.h"
#include "toolkit/forms/Form.h"
#include "toolkit/picture/PictureLoader.h"

namespace ostrel {

// The main window: drive, directory and file lists, the preview, the
// file-type boxes and the About, Help and Exit buttons. The lists follow
// what other programs do to the folder they show, read again when it
// changes and when the window becomes active.
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
  // Enter on a name: a picture opens in the viewer, a text file's window
  // takes the focus.
  void File1_Open();
  void Image1_Click();
  // A preview decode has finished for the last picture file clicked, by
  // the mouse (or the program) or by a key.
  void Image1_PictureArrived(const PictureLoader::Result& result, FileListBox::ClickedBy by);
  // Reads the shown folder again where it changed, moving the lists off a
  // folder or a drive that is gone.
  void Folder_Changed();

  // The full name of the picture a viewer that loads now shows: the one
  // being opened (the preview's, or the file Enter was pressed on), else
  // the preview's.
  QString viewerFile() const { return opening_.isEmpty() ? previewFile_ : opening_; }

 protected:
  void Form_Load() override;
  void Form_Activate() override;

 private:
  QSize previewPixels() const;
  void showCannotPreview(const QString& reason);
  void viewPicture(const QString& fullName);
  void openViewer(const PictureLoader::Result& result);
  // Notes where the lists are, to tell later what has changed there.
  void watchListedFolder();

  // The full name of the picture in the preview; empty for the program
  // icon or the placeholder of a picture that failed.
  QString previewFile_;
  QString opening_;
  // The picture the viewer shows while the rest of it decodes.
  QString filling_;

  QFileSystemWatcher folderWatch_;
  QTimer folderSettle_;  // one reading for a burst of changes
  std::optional<FileIdentity> listedFolder_;
  Volume listedVolume_;
};

}  // namespace ostrel
