#include "text_window/Form2.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPointer>
#include <QShortcut>

#include "main_window/Ostrel_View.h"
#include "text_window/InterruptedSaves.h"
#include "toolkit/App.h"
#include "toolkit/BusyCursor.h"
#include "toolkit/Icons.h"
#include "toolkit/Services.h"
#include "toolkit/ToolkitError.h"
#include "toolkit/dialogs/MessageBoxService.h"
#include "toolkit/files/FileNames.h"
#include "toolkit/files/FullName.h"
#include "toolkit/files/SafeFileWriter.h"
#include "toolkit/files/TextFileReader.h"
#include "toolkit/forms/FormSet.h"
#include "toolkit/jobs/JobService.h"
#include "toolkit/printing/Printer.h"
#include "toolkit/text/TextDocument.h"
#include "toolkit/text/TextWriter.h"

namespace ostrel {

namespace {
constexpr float kButtonTop = 120;
constexpr float kButtonHeight = 255;
// Where a web page declares its character set.
constexpr qint64 kDeclarationLength = 1024;
}  // namespace

Form2::Form2() {
  setObjectName(QStringLiteral("Form2"));
  setCaption(QStringLiteral("Form2"));
  setWindowIcon(Icons::textWindow());
  setDesignClientArea(6165, 2205, 7995, 6915);

  Text1 = new TextBox(this, QStringLiteral("Text1"));
  Text1->Move(120, 480, 7815, 6135);
  Text1->setAccessibleName(tr("Text"));
  Command1 = new CommandButton(this, QStringLiteral("Command1"));
  Command1->Move(120, kButtonTop, 855, kButtonHeight);
  Command1->setCaption(tr("&Close"));
  Command3 = new CommandButton(this, QStringLiteral("Command3"));
  Command3->Move(1080, kButtonTop, 375, kButtonHeight);
  Command3->setIcon(Icons::arrowAnticlockwise());
  Command3->setToolTip(tr("12 point"));
  Command3->setAccessibleName(tr("12 point"));
  Command2 = new CommandButton(this, QStringLiteral("Command2"));
  Command2->Move(1560, kButtonTop, 375, kButtonHeight);
  Command2->setIcon(Icons::arrowClockwise());
  Command2->setToolTip(tr("10 point"));
  Command2->setAccessibleName(tr("10 point"));
  for (CommandButton* picture : {Command3, Command2}) picture->setIconSize(QSize(24, 23));
  Command4 = new CommandButton(this, QStringLiteral("Command4"));
  Command4->Move(2040, kButtonTop, 975, kButtonHeight);
  Command4->setCaption(tr("&Save"));
  Command5 = new CommandButton(this, QStringLiteral("Command5"));
  Command5->Move(3120, kButtonTop, 975, kButtonHeight);
  Command5->setCaption(tr("Save &As"));
  Command6 = new CommandButton(this, QStringLiteral("Command6"));
  Command6->Move(4200, kButtonTop, 1095, kButtonHeight);
  Command6->setCaption(tr("&Print"));
  CommonDialog1 = new CommonDialog(this, QStringLiteral("CommonDialog1"));
  // Named as its button is, not in the file dialog's own words.
  CommonDialog1->setDialogTitle(tr("Save As"));
  // Right of the buttons, where the window has room to spare.
  EncodingLabel = new Label(this, QStringLiteral("EncodingLabel"));
  EncodingLabel->Move(5400, kButtonTop, 2535, kButtonHeight);
  EncodingLabel->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
  WorkProgress = new ProgressStrip(this, QStringLiteral("WorkProgress"));
  WorkProgress->Move(5400, kButtonTop, 2535, kButtonHeight);

  const QList<QWidget*> order = {Text1, Command1, Command2, Command3, Command4, Command5, Command6};
  for (int i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
  Text1->setFocus();

  on(Command1, &CommandButton::Click, [this] { Command1_Click(); });
  on(Command2, &CommandButton::Click, [this] { Command2_Click(); });
  on(Command3, &CommandButton::Click, [this] { Command3_Click(); });
  on(Command4, &CommandButton::Click, [this] { Command4_Click(); });
  on(Command5, &CommandButton::Click, [this] { Command5_Click(); });
  on(Command6, &CommandButton::Click, [this] { Command6_Click(); });
  // One print at a time; the rest of the window stays in use meanwhile.
  connect(WorkProgress, &ProgressStrip::ended, this, [this] {
    if (!printJob_.running()) Command6->setEnabled(true);
  });
  addFindCommands();
  // Save by the key every editor has for it.
  auto* saveKey = new QShortcut(QKeySequence::Save, this);
  connect(saveKey, &QShortcut::activated, Command4, &QAbstractButton::click);
}

FindDialog& Form2::findDialog() {
  if (!findDialog_) findDialog_ = new FindDialog(Text1, this);
  return *findDialog_;
}

void Form2::addFindCommands() {
  const auto command = [this](const QString& text, const QKeySequence& keys, auto run) {
    auto* action = new QAction(text, this);
    action->setShortcut(keys);
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(action, &QAction::triggered, this,
            [this, run] { runHandler([this, run] { run(findDialog()); }); });
    Text1->addAction(action);
    return action;
  };
  QAction* find = command(tr("Find…"), QKeySequence(Qt::CTRL | Qt::Key_F),
                          [](FindDialog& d) { d.open(FindDialog::Mode::Find); });
  command(tr("Find Next"), QKeySequence(Qt::Key_F3), [](FindDialog& d) { d.findNext(); });
  command(tr("Find Previous"), QKeySequence(Qt::SHIFT | Qt::Key_F3),
          [](FindDialog& d) { d.findPrevious(); });
  QAction* replace = command(tr("Replace…"), QKeySequence(Qt::CTRL | Qt::Key_H),
                             [](FindDialog& d) { d.open(FindDialog::Mode::Replace); });
  QAction* goTo = command(tr("Go to Line…"), QKeySequence(Qt::CTRL | Qt::Key_G),
                          [](FindDialog& d) { d.open(FindDialog::Mode::GoToLine); });
  Text1->setContextMenuExtension([find, replace, goTo](QMenu* menu) {
    menu->addSeparator();
    menu->addActions({find, replace, goTo});
  });
}

void Form2::Form_Load() {
  Text1->setFontSize(10);
  Ostrel_View& main = form<Ostrel_View>();
  // Beside the main window, its lists in sight.
  setStartUpPosition(StartUpPosition::BesideOwner, &main);
  const QString fullName = fullFileName(main.Dir1->Path(), main.File1->FileName());
  setCaption(fullName);
  loadFile(fullName);
}

void Form2::loadFile(const QString& fullName) {
  // A save of this file the program could not finish comes first: its old
  // content may be what the user wants to see.
  InterruptedSaves::offerFor(fullName, this);
  const BusyCursor busy;
  // The document keeps the bytes as read and finds the lines; nothing is
  // decoded until it is shown. A long read lets the main window answer; the
  // window holds back its own deletion until it is done.
  ProgressStrip::Run run(*WorkProgress, tr("Reading"), ProgressStrip::Cancel::NotAllowed,
                         ProgressStrip::Input::Answered);
  RegularFileReader::Contents contents =
      TextFileReader::read(fullName, TextFileReader::kSizeLimit, std::ref(run));
  const TextCodec codec = TextCodec::detectFile(contents.bytes, fullName);
  Text1->setDocument(
      TextDocument::fromBytes(std::move(contents.bytes), codec, std::ref(run), fullName));
  loadedFile_ = fullName;
  loadedIdentity_ = contents.identity;
  loadedFolder_ = SafeFileWriter::folderHolding(fullName);
  declinedReload_.reset();
  showEncoding();
}

void Form2::Form_Activate() {
  offerReload();
}

void Form2::offerReload() {
  // Edited text is never thrown away for the file; Save asks instead.
  // A save under way is this program's own change.
  if (askingAboutDisk_ || saveJob_.running() || loadedFile_.isEmpty() || !isActiveWindow() ||
      Text1->document().isModified()) {
    return;
  }
  if (loadedIdentity_.compareWith(loadedFile_, FileIdentity::Look::Quick) !=
      FileIdentity::OnDisk::Changed) {
    return;
  }
  const std::optional<FileIdentity> now = FileIdentity::of(loadedFile_);
  if (now && declinedReload_ && now->sameStatusAs(*declinedReload_)) return;
  askingAboutDisk_ = true;
  const int answer =
      MsgBox(tr("“%1” was changed by another program since it was opened. Reload it?")
                 .arg(FileNames::shown(loadedFile_)),
             mb::YesNo | mb::Question, App().Title, this);
  askingAboutDisk_ = false;
  if (answer == mb::Yes) {
    loadFile(loadedFile_);
  } else {
    declinedReload_ = now;
  }
}

bool Form2::isLoadedFile(const QString& fileName) const {
  if (fileName == loadedFile_) return true;
  const std::optional<FileIdentity> chosen = FileIdentity::of(fileName);
  const std::optional<FileIdentity> loaded = FileIdentity::of(loadedFile_);
  return chosen && loaded && chosen->samePlaceAs(*loaded);
}

bool Form2::mayReplaceChangesOnDisk() {
  if (loadedIdentity_.compareWith(loadedFile_, FileIdentity::Look::Thorough) !=
      FileIdentity::OnDisk::Changed) {
    return true;
  }
  askingAboutDisk_ = true;
  const int answer = MsgBox(tr("“%1” was changed by another program since it was opened. Save "
                               "and replace those changes?")
                                .arg(FileNames::shown(loadedFile_)),
                            mb::SaveCancel | mb::Exclamation, App().Title, this);
  askingAboutDisk_ = false;
  return answer == mb::Save;
}

void Form2::showEncoding() {
  const QString name = Text1->document().codec().name();
  EncodingLabel->setCaption(name);
  EncodingLabel->setToolTip(tr("The characters of this file are read and saved as %1.").arg(name));
}

void Form2::Form_Resize() {
  // A window smaller than the margins gives negative sizes, which the text
  // box ignores, keeping its last size.
  Text1->setHeight(Height() - 1000);
  Text1->setWidth(Width() - 400);
}

void Form2::Command1_Click() {
  Unload(*this);
}

void Form2::Command2_Click() {
  Text1->setFontSize(10);
}

void Form2::Command3_Click() {
  Text1->setFontSize(12);
}

void Form2::Command4_Click() {
  // One save at a time; the one under way shows its progress.
  if (saveJob_.running() || !mayReplaceChangesOnDisk()) return;
  startSave(
      {loadedFile_, Text1->document().codec(), true, SaveRequest::Listed::AsIs, loadedFolder_});
}

void Form2::Command5_Click() {
  if (saveJob_.running()) return;
  // As in every editor: the loaded file's folder, its name ready to change.
  CommonDialog1->setFileName(loadedFile_);
  try {
    if (CommonDialog1->ShowSave() == CommonDialog::Result::Cancelled) return;
  } catch (const ToolkitError& e) {
    if (e.Number() == err::DialogCancelled) return;
    throw;
  }
  const QString chosen = CommonDialog1->FileName();
  // Asked before the write: a file replaced is a new file, no longer the same place.
  const bool loaded = isLoadedFile(chosen);
  if (loaded && !mayReplaceChangesOnDisk()) return;
  startSave({chosen, Text1->document().codec(), loaded, SaveRequest::Listed::Refresh});
}

void Form2::Command6_Click() {
  if (printJob_.running()) return;
  CommonDialog1->setFlags(cdl::PDPrintSetup);
  CommonDialog1->setCancelError(true);
  try {
    CommonDialog1->ShowPrinter();
    // The document's text as it stands now goes to the job, shared, not
    // copied: typing on while it prints changes nothing on paper.
    printer().setFontName(Text1->font().family());
    printer().Print(Text1->document().snapshot());
    printJob_ =
        printer().EndDoc(this, [this](const JobOutcome<QString>& outcome) { printEnded(outcome); });
  } catch (const ToolkitError& e) {
    printer().KillDoc();
    if (e.Number() == err::PrinterError) printEnded({std::nullopt, e});
    return;
  }
  if (!printJob_.running()) return;  // done already (nothing to print, or a quick job)
  Command6->setEnabled(false);
  WorkProgress->follow(
      printJob_, tr("Printing"), [job = printJob_] { job.cancel(); }, ProgressStrip::Hold::Nothing);
}

void Form2::printEnded(const JobOutcome<QString>& outcome) {
  Command6->setEnabled(true);
  if (outcome.error && outcome.error->Number() != err::PrinterError) {
    // Not the printer's doing (memory, say): told in its own words.
    services().jobs->report(*outcome.error);
  } else if (outcome.error) {
    MsgBoxWithDetails(tr("Ostrel_label has encountered an error while trying to print,please "
                         "check all cables,paper,ports and drivers,restart windows then try "
                         "again."),
                      outcome.error->Description(), mb::OkOnly, App().Title);
  } else if (outcome.value && !outcome.value->isEmpty()) {
    MsgBox(*outcome.value, mb::Information, App().Title);
  }
}

void Form2::startSave(const SaveRequest& request) {
  const TextDocument& document = Text1->document();
  const quint64 state = document.editState();
  auto stop = std::make_shared<std::atomic<bool>>(false);
  // The work writes what the text was at the click, while the user may go
  // on editing; the file must be written whole even if the window closes.
  saveJob_ = services().jobs->startToFinish(
      qApp, QStringLiteral("save"),
      [text = document.snapshot(), fileName = request.fileName, codec = request.codec,
       folderWas = request.folderWas, stop](JobControl& control) {
        const QByteArray lineEnd =
            codec.encodeFragment(u"\r\n").value_or(QByteArrayLiteral("\r\n"));
        // The text goes to the disk as it is encoded, never whole in memory.
        // Cancel stops it until the new content is whole; the old is then
        // what the file holds.
        return SafeFileWriter::write(
            fileName,
            [&](const SafeFileWriter::Sink& sink) {
              TextWriter writer(text, sink, [&](qint64 done, qint64 total) {
                control.report(done, total);
                return !stop->load();
              });
              if (!writer.write(codec)) return false;
              sink(lineEnd);
              if (stop->load()) {
                throw ToolkitError(err::DialogCancelled, tr("Saving was cancelled."));
              }
              return true;
            },
            folderWas);
      },
      [self = QPointer<Form2>(this), request,
       state](JobOutcome<std::optional<FileIdentity>> outcome) {
        if (self) self->WorkProgress->unfollow();
        if (outcome.error) {
          // A save the user cancelled needs no message.
          if (outcome.error->Number() != err::DialogCancelled)
            services().jobs->report(*outcome.error);
          return;
        }
        if (!self) return;
        if (*outcome.value) {
          self->saveDone(request, state, **outcome.value);
        } else {
          self->offerUtf8(request);
        }
      });
  WorkProgress->follow(saveJob_, tr("Saving"), [stop] { stop->store(true); });
}

void Form2::offerUtf8(SaveRequest request) {
  if (request.codec.encoding() == TextCodec::Encoding::Utf8) {
    MsgBox(tr("The text cannot be written in the character set of “%1” (%2).")
               .arg(FileNames::shown(request.fileName), request.codec.name()),
           mb::OkOnly | mb::Exclamation, App().Title, this);
    return;
  }
  // Never put a stand-in in place of what the user wrote.
  const int answer =
      MsgBox(tr("The text holds characters that the character set of “%1” (%2) cannot hold.\n\n"
                "Save it as UTF-8, which holds them all?")
                 .arg(FileNames::shown(request.fileName), request.codec.name()),
             mb::YesNo | mb::Question, App().Title, this);
  if (answer != mb::Yes) return;
  request.codec =
      TextCodec::utf8For(Text1->document().text(0, kDeclarationLength), request.fileName);
  startSave(request);
}

void Form2::saveDone(const SaveRequest& request, quint64 state, const FileIdentity& written) {
  if (request.toLoadedFile) {
    loadedIdentity_ = written;
    TextDocument& document = Text1->document();
    document.setCodec(request.codec);
    document.setUnmodifiedAt(state);
    document.breakUndoCoalescing();
    showEncoding();
  }
  // The main window may have been closed while the text window stayed.
  if (request.listed == SaveRequest::Listed::Refresh) {
    if (Ostrel_View* main = loadedForm<Ostrel_View>()) main->File1->Refresh();
  }
}

}  // namespace ostrel
