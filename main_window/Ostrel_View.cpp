#include "main_window/Ostrel_View.h"

#include <QFile>
#include <QShortcut>
#include <utility>

#include "about/frmAbout.h"
#include "main_window/FileDispatch.h"
#include "main_window/FileTypeFilter.h"
#include "picture_viewer/Form1.h"
#include "text_window/Form2.h"
#include "toolkit/App.h"
#include "toolkit/Icons.h"
#include "toolkit/Services.h"
#include "toolkit/ToolkitError.h"
#include "toolkit/dialogs/MessageBoxService.h"
#include "toolkit/files/FileNames.h"
#include "toolkit/files/FullName.h"
#include "toolkit/forms/FormSet.h"
#include "toolkit/forms/ProcessService.h"
#include "toolkit/help/HelpService.h"
#include "toolkit/picture/PictureLoader.h"

namespace ostrel {

namespace {

// A name's last part, as the viewer's caption and the preview's name show it.
QString bareName(const QString& fullName) {
  return fullName.section(QLatin1Char('/'), -1);
}

}  // namespace

Ostrel_View::Ostrel_View() {
  setObjectName(QStringLiteral("Ostrel_View"));
  setCaption(App().Title);
  setWindowIcon(Icons::program());
  setDesignClientArea(1515, 2460, 4320, 5250);
  setFixedSize(size());

  Drive1 = new DriveListBox(this, QStringLiteral("Drive1"));
  Drive1->Move(120, 120, 1935, 315);
  Dir1 = new DirListBox(this, QStringLiteral("Dir1"));
  Dir1->Move(120, 480, 1935, 3465);
  Image1 = new ImageControl(this, QStringLiteral("Image1"), ImageControl::Sizing::Stretch);
  Image1->Move(2160, 120, 2055, 1695);
  Image1->setPicture(Picture::fromImage(Icons::program().pixmap(32, 32).toImage()));
  // Reached by Tab after the design's controls, or by a click, and opened
  // by Enter or Space as by a click.
  Image1->setFocusPolicy(Qt::StrongFocus);
  Image1->setAccessibleName(tr("No picture"));
  File1 = new FileListBox(this, QStringLiteral("File1"));
  File1->Move(2160, 1920, 2055, 2040);
  Command2 = new CommandButton(this, QStringLiteral("Command2"));
  Command2->Move(120, 4080, 1215, 255);
  Command2->setCaption(tr("&About"));
  Command3 = new CommandButton(this, QStringLiteral("Command3"));
  Command3->Move(1560, 4080, 1215, 255);
  Command3->setCaption(tr("&Help"));
  Command1 = new CommandButton(this, QStringLiteral("Command1"));
  Command1->Move(3000, 4080, 1215, 255);
  Command1->setCaption(tr("E&xit"));
  // Only a store for the last clicked name: its design place is under the
  // buttons and partly outside the window, so it is not drawn.
  Label1 = new Label(this, QStringLiteral("Label1"));
  Label1->Move(-720, 4080, 4815, 135);
  Label1->setCaption(QStringLiteral("Label1"));
  Label1->setVisible(false);

  Check1 = new CheckBoxArray(this, QStringLiteral("Check1"), kFileTypeBoxCount);
  for (int i = 0; i < kFileTypeBoxCount; ++i) {
    const FileTypeBox& box = kFileTypeBoxes[i];
    CheckBox& c = (*Check1)(i);
    c.Move(box.left, box.top, box.width, 255);
    c.setCaption(tr(box.caption));
    const QSignalBlocker block(&c);
    c.setValue(box.tickedAtStart ? 1 : 0);
  }

  // Tab order: Dir1 first, so the directory list has the focus at start.
  setTabOrder({Dir1, Drive1, File1, &(*Check1)(0), &(*Check1)(2), &(*Check1)(3), &(*Check1)(4),
               &(*Check1)(5), &(*Check1)(6), &(*Check1)(7), &(*Check1)(8), Command1, Command3,
               &(*Check1)(1), &(*Check1)(9), &(*Check1)(10), &(*Check1)(11), Command2, Image1});
  Dir1->setFocus();
  // F1 asks for help from any of the program's windows.
  auto* helpKey = new QShortcut(QKeySequence::HelpContents, this);
  helpKey->setContext(Qt::ApplicationShortcut);

  on(Drive1, &DriveListBox::Change, [this] { Drive1_Change(); });
  on(Dir1, &DirListBox::Change, [this] { Dir1_Change(); });
  on(Command1, &CommandButton::Click, [this] { Command1_Click(); });
  on(Command2, &CommandButton::Click, [this] { Command2_Click(); });
  on(Command3, &CommandButton::Click, [this] { Command3_Click(); });
  on(File1, &FileListBox::Click, [this] { File1_Click(); });
  on(File1, &FileListBox::Open, [this] { File1_Open(); });
  on(helpKey, &QShortcut::activated, [this] { Command3_Click(); });
  folderSettle_.setSingleShot(true);
  folderSettle_.setInterval(150);
  connect(&folderWatch_, &QFileSystemWatcher::directoryChanged, &folderSettle_,
          qOverload<>(&QTimer::start));
  on(&folderSettle_, &QTimer::timeout, [this] { Folder_Changed(); });
  on(Image1, &ImageControl::Click, [this] { Image1_Click(); });
  on(Check1, &CheckBoxArray::Click, [this](int Index) { Check1_Click(Index); });
}

void Ostrel_View::Form_Load() {
  File1->setPattern(QString::fromLatin1(kDefaultPattern));
  watchListedFolder();
}

void Ostrel_View::Form_Activate() {
  // Back from another program, which may have changed the folder.
  Folder_Changed();
}

void Ostrel_View::watchListedFolder() {
  const QString path = Dir1->Path();
  listedFolder_ = FileIdentity::of(path);
  const QList<Volume> volumes =
      services().volumes != nullptr ? services().volumes->volumes() : QList<Volume>{};
  const QString root = DriveListBox::volumeRootOf(path, volumes);
  listedVolume_ = Volume{root, QString()};
  for (const Volume& v : volumes) {
    if (v.root == root) listedVolume_ = v;
  }
  if (!folderWatch_.directories().isEmpty()) folderWatch_.removePaths(folderWatch_.directories());
  // The watcher takes names through Qt's conversion, which loses a byte
  // that is not UTF-8: such a folder is read again on activation only.
  if (QFile::encodeName(path) == FileNames::encode(path)) folderWatch_.addPath(path);
}

void Ostrel_View::Folder_Changed() {
  const QString before = Dir1->Path();
  const QList<Volume> volumes =
      services().volumes != nullptr ? services().volumes->volumes() : QList<Volume>{};
  const bool driveGone = listedVolume_.root != QLatin1String("/") &&
                         std::none_of(volumes.begin(), volumes.end(), [this](const Volume& v) {
                           return v.root == listedVolume_.root;
                         });
  const std::optional<FileIdentity> now = FileIdentity::of(before);
  if (!driveGone && now && listedFolder_ && now->sameStatusAs(*listedFolder_)) return;
  const Volume gone = listedVolume_;
  // The folder list moves to the nearest folder that is still there, off a
  // drive that is gone, and raises Change for the file list when it moves.
  Dir1->moveUpTo(driveGone ? gone.root + QStringLiteral("/..") : before);
  if (Dir1->Path() == before) File1->Refresh();
  Drive1->showVolumeOf(Dir1->Path());
  watchListedFolder();
  if (driveGone) {
    MsgBox(tr("The drive “%1” is no longer there. The lists show “%2” instead.")
               .arg(DriveListBox::designation(gone), FileNames::shown(Dir1->Path())),
           mb::Information, Caption());
  }
}

void Ostrel_View::Drive1_Change() {
  try {
    Dir1->setPath(Drive1->Drive());
  } catch (const ToolkitError&) {
    // The lists stay on the last directory that could be read.
    Drive1->showVolumeOf(Dir1->Path());
    throw;
  }
}

void Ostrel_View::Dir1_Change() {
  File1->setPath(Dir1->Path());
  watchListedFolder();
}

void Ostrel_View::Command1_Click() {
  // No decode outlives the program's windows.
  services().pictures->cancel(PictureLoader::Purpose::Preview);
  services().pictures->cancel(PictureLoader::Purpose::Viewer);
  services().pictures->forgetPrefetched();
  Unload<Form1>();
  Unload<Form2>();
  Unload(*this);
  services().process->end(0);
}

void Ostrel_View::Command2_Click() {
  form<frmAbout>().Show();
}

void Ostrel_View::Command3_Click() {
  if (App().HelpFile.isEmpty()) {
    MsgBox(tr("Unable to display Help Contents. There is no Help associated with this project."),
           mb::Information, Caption());
    return;
  }
  // From here an error does not stop the command; it is reported afterwards.
  std::optional<QString> heldError;
  try {
    if (services().help == nullptr) {
      throw ToolkitError(err::DeviceUnavailable, tr("No help viewer is available."));
    }
    services().help->WinHelp(this, App().HelpFile, help::PartialKey, QString());
  } catch (const ToolkitError& e) {
    heldError = e.Description();
  }
  if (heldError) MsgBox(*heldError, mb::OkOnly);
}

void Ostrel_View::Check1_Click(int /*Index*/) {
  std::array<int, kFileTypeBoxCount> values{};
  for (int i = 0; i < kFileTypeBoxCount; ++i) values[i] = (*Check1)(i).Value();
  File1->setPattern(assemblePattern(values));
  File1->Refresh();
}

void Ostrel_View::File1_Click() {
  Label1->setCaption(File1->FileName());
  switch (actionForFileName(File1->FileName())) {
    case FileAction::PreviewPicture: {
      const QString name = fullFileName(Dir1->Path(), File1->FileName());
      // Decoded off the interface thread; the box takes the picture when it
      // arrives, unless another file was clicked since.
      services().pictures->request(
          PictureLoader::Purpose::Preview, name, previewPixels(), this,
          [this, by = File1->clickedBy()](const PictureLoader::Result& result) {
            runHandler([&] { Image1_PictureArrived(result, by); });
          });
      break;
    }
    case FileAction::OpenText:
      // Browsing the list by keyboard goes on past a text file: its window
      // comes forward, the focus stays in the list.
      form<Form2>().Show(File1->clickedBy() == FileListBox::ClickedBy::Keyboard ? ShowFocus::Leave
                                                                                : ShowFocus::Take);
      break;
    case FileAction::None:
      break;
  }
}

QSize Ostrel_View::previewPixels() const {
  // The box's device pixels, so a ratio-2 screen gets a sharp preview.
  return Image1->size() * Image1->devicePixelRatioF();
}

void Ostrel_View::File1_Open() {
  switch (actionForFileName(File1->FileName())) {
    case FileAction::PreviewPicture:
      viewPicture(fullFileName(Dir1->Path(), File1->FileName()));
      break;
    case FileAction::OpenText:
      form<Form2>().Show();
      break;
    case FileAction::None:
      break;
  }
}

void Ostrel_View::Image1_PictureArrived(const PictureLoader::Result& result,
                                        FileListBox::ClickedBy by) {
  if (result.error) {
    // Never another file's picture in the box while this one is selected.
    // The box gives the reason; a message box tells it too, but only to a
    // click: keys browsing the list go on past a picture that cannot be
    // shown, and a file left behind is of no more interest.
    QString reason = result.error->Description();
    reason.replace(FileNames::shown(result.fullName),
                   FileNames::visible(bareName(result.fullName)));
    showCannotPreview(reason);
    if (by == FileListBox::ClickedBy::Mouse &&
        result.fullName == fullFileName(Dir1->Path(), Label1->Caption())) {
      throw *result.error;
    }
    return;
  }
  Image1->setPicture(result.picture);
  previewFile_ = result.fullName;
  Image1->setAccessibleName(tr("Preview of %1").arg(FileNames::visible(bareName(previewFile_))));
  Image1->setAccessibleDescription(QString());
  // Resting here: the next key may well ask for a neighbour.
  const QStringList names = File1->names();
  QStringList neighbours;
  for (const QString& n : neighbourPictures(names, names.indexOf(File1->FileName()))) {
    neighbours << fullFileName(Dir1->Path(), n);
  }
  services().pictures->prefetch(neighbours, previewPixels());
}

void Ostrel_View::showCannotPreview(const QString& reason) {
  Image1->setPlaceholder(reason);
  Image1->setAccessibleName(tr("No picture"));
  Image1->setAccessibleDescription(reason);
  previewFile_.clear();
  // No picture to browse on from: its neighbours' previews are not kept.
  services().pictures->forgetPrefetched();
}

void Ostrel_View::Image1_Click() {
  // The program icon or the placeholder stands for no picture at all.
  if (previewFile_.isEmpty()) {
    MsgBox(tr("No picture is selected. Click a picture file in the list to see it here, then "
              "click it here to see it at its natural size."),
           mb::Information, Caption());
    return;
  }
  // The picture the preview shows, wherever the lists have moved since.
  viewPicture(previewFile_);
}

void Ostrel_View::viewPicture(const QString& fullName) {
  // The picture is decoded off the interface thread; the viewer opens once
  // the rows of its first screen are in, and the rest fill in as they come.
  filling_.clear();
  services().pictures->requestFilling(
      fullName, Form1::firstScreenRows(devicePixelRatioF()), this,
      [this](const PictureLoader::Result& result) { runHandler([&] { openViewer(result); }); });
}

void Ostrel_View::openViewer(const PictureLoader::Result& result) {
  PictureLoader& pictures = *services().pictures;
  if (std::exchange(filling_, QString()) == result.fullName &&
      FormSet::instance().isLoaded<Form1>()) {
    // The rest of the picture the viewer shows: it stays open with the rows
    // it has even when the decode failed, and the failure is told.
    pictures.forgetNatural();
    if (result.error) throw *result.error;
    form<Form1>().showPicture(result.picture);
    return;
  }
  try {
    if (result.error) throw *result.error;
    opening_ = result.fullName;
    const QString name = bareName(opening_);
    form<Form1>().setCaption(name);
    form<Form1>().Image1->setAccessibleName(tr("Picture %1").arg(FileNames::visible(name)));
    form<Form1>().Hide();
    form<Form1>().Refresh();
    // The same decode the load step took, while the file is unchanged.
    form<Form1>().showPicture(pictures.natural(opening_));
    if (form<Form1>().Image1->picture().progress()) filling_ = opening_;
    opening_.clear();
    pictures.forgetNatural();
    form<Form1>().Show();
    // Looking at one picture, not browsing: the neighbours' previews go.
    pictures.forgetPrefetched();
  } catch (const ToolkitError&) {
    // The viewer is not left open on a stale or empty picture.
    opening_.clear();
    pictures.forgetNatural();
    Unload<Form1>();
    throw;
  }
}

}  // namespace ostrel
