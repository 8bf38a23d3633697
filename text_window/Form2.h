#pragma once

#include "toolkit/controls/CommandButton.h"
#include "toolkit/controls/FindDialog.h"
#include "toolkit/controls/Label.h"
#include "toolkit/controls/ProgressStrip.h"
#include "toolkit/controls/TextBox.h"
#include "toolkit/dialogs/CommonDialog.h"
#include "toolkit/files/FileIdentity.h"
#include "toolkit/forms/Form.h"
#include "toolkit/jobs/JobHandle.h"
#include "toolkit/jobs/JobService.h"

namespace ostrel {

// The text window: one text file, read into an editable text box, shown in
// one of two font sizes, saved back, saved under another name or printed.
// Beside the buttons it says how the file's characters were read, and long
// reading, saving or printing shows its progress there. It notices when
// another program changes the file: Save asks before replacing that change,
// and unedited text is offered afresh when the window becomes active again.
class Form2 : public Form {
  Q_OBJECT

 public:
  Form2();

  TextBox* Text1;
  CommandButton* Command1;
  CommandButton* Command3;
  CommandButton* Command2;
  CommandButton* Command4;
  CommandButton* Command5;
  CommandButton* Command6;
  CommonDialog* CommonDialog1;
  Label* EncodingLabel;
  ProgressStrip* WorkProgress;

  void Command1_Click();
  void Command2_Click();
  void Command3_Click();
  void Command4_Click();
  void Command5_Click();
  void Command6_Click();

  // Finding, replacing and going to a line in the text: made on first use.
  FindDialog& findDialog();

  // The file the window shows, which Save writes back.
  QString loadedFileName() const { return loadedFile_; }

 protected:
  void Form_Load() override;
  void Form_Resize() override;
  void Form_Activate() override;

 private:
  void loadFile(const QString& fullName);
  // True when the file on disk is as loaded, or the user agreed to replace
  // what another program wrote.
  // Whether fileName is the loaded file, by its name or through a link.
  bool isLoadedFile(const QString& fileName) const;
  bool mayReplaceChangesOnDisk();
  void offerReload();

  // A save: where the text goes, in which character set, and what follows.
  struct SaveRequest {
    enum class Listed { AsIs, Refresh };
    QString fileName;
    TextCodec codec;
    bool toLoadedFile;  // by its name or another
    Listed listed;      // Save As: the main window's file list shows the file
    // Save: the folder the file was read from, the only one to make it in
    // anew (Save As writes where the user chose).
    std::optional<FileIdentity> folderWas = {};
  };
  // Writes the text and a line end off the interface thread, showing its
  // progress and a Cancel; a failure ends in a message.
  void startSave(const SaveRequest& request);
  // A character the set cannot hold: UTF-8, when the user agrees.
  void offerUtf8(SaveRequest request);
  void saveDone(const SaveRequest& request, quint64 state, const FileIdentity& written);

  void showEncoding();
  // What a print ended in: for a printer's failure the print-failure
  // message with the cause as its details, or what the user is still to be
  // told.
  void printEnded(const JobOutcome<QString>& outcome);
  // Ctrl+F, F3, Shift+F3, Ctrl+H and Ctrl+G in the text box, also in its menu.
  void addFindCommands();

  FindDialog* findDialog_ = nullptr;
  JobHandle saveJob_;
  JobHandle printJob_;

  // Kept from loading: the caption is for the user, and the main window's
  // selection may have moved on since.
  QString loadedFile_;
  FileIdentity loadedIdentity_;
  std::optional<FileIdentity> loadedFolder_;
  // The file as it was when the user chose to keep the window's text.
  std::optional<FileIdentity> declinedReload_;
  bool askingAboutDisk_ = false;
};

}  // namespace ostrel
