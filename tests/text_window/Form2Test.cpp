#include "text_window/Form2.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QInputMethodEvent>
#include <QPushButton>
#include <QTest>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "main_window/Ostrel_View.h"
#include "tests/support/FakeJobRunner.h"
#include "tests/support/FakeServices.h"
#include "tests/support/MainWindowClicks.h"
#include "tests/support/TempDir.h"
#include "toolkit/ToolkitError.h"
#include "toolkit/dialogs/MessageBoxService.h"
#include "toolkit/files/FileNames.h"
#include "toolkit/files/SafeFileWriter.h"
#include "toolkit/files/SaveJournal.h"
#include "toolkit/forms/FormSet.h"
#include "toolkit/text/TextDocument.h"

namespace ostrel {
namespace {

class Form2Test : public ::testing::Test {
 protected:
  void TearDown() override { SafeFileWriter::setSystemCalls({}); }

  // Clicks name in the main window's file list, as the user opens a text file.
  Form2& open(const QString& name, const QByteArray& bytes) {
    tmp.write(name, bytes);
    return openExisting(name);
  }
  Form2& openExisting(const QString& name) {
    test::clickFile(tmp, name);
    // The check that follows the window's first activation is behind it.
    QCoreApplication::processEvents();
    return form<Form2>();
  }
  // The window becomes the active one again, as after a visit to another program.
  static void activate(Form2& w) {
    QCoreApplication::processEvents();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    QEvent activation(QEvent::WindowActivate);
    QCoreApplication::sendEvent(&w, &activation);
    QCoreApplication::processEvents();
  }
  static void typeAtEnd(Form2& w, const QString& text) {
    w.Text1->setCursorPosition(w.Text1->document().length());
    // Keys for what a keyboard types; other characters as an input method gives them.
    for (const QChar c : text) {
      if (c.unicode() < 0x80) {
        QTest::keyClick(w.Text1, c.toLatin1());
      } else {
        QInputMethodEvent event;
        event.setCommitString(QString(c));
        QCoreApplication::sendEvent(w.Text1, &event);
      }
    }
  }
  // Save, and what the file then holds.
  QByteArray save(Form2& w, const QString& name) {
    w.Command4->click();
    return tmp.read(name);
  }
  static void saveAs(Form2& w, const QString& name) {
    test::fakes().dialogs.saveAnswers = {name};
    w.Command5->click();
  }
  static std::vector<test::FakeMessageBox::Call>& boxes() { return test::fakes().messageBox.calls; }

  test::TempDir tmp;
};

struct Bytes {
  const char* name;
  QByteArray content;
};

class Form2RoundTrip : public Form2Test, public ::testing::WithParamInterface<Bytes> {};

TEST_P(Form2RoundTrip, AnUneditedSaveWritesTheSameBytesAndOneLineEnd) {
  const QByteArray& bytes = GetParam().content;
  Form2& w = open(QStringLiteral("a.txt"), bytes);
  EXPECT_EQ(save(w, "a.txt"), bytes + "\r\n");
  EXPECT_TRUE(boxes().empty());
  // Saved again from the same window: the same bytes.
  EXPECT_EQ(save(w, "a.txt"), bytes + "\r\n");
  // Loaded afresh and saved again: two more bytes.
  Unload<Form2>();
  Form2& again = openExisting(QStringLiteral("a.txt"));
  EXPECT_EQ(save(again, "a.txt"), bytes + "\r\n\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Files, Form2RoundTrip,
    // Line ends of every kind, and bytes a text editor is apt to lose; each
    // encoding's own faithfulness is the document's test.
    ::testing::Values(Bytes{"empty", ""}, Bytes{"mixed", "a\r\nb\nc\rd\n\r\n\r\r\n"},
                      Bytes{"eof_mark", QByteArray("before\x1A after\r\n\x1A", 16)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Form2Test, TheTextBoxFollowsTheWindowAndKeepsItsLastSizeWhenTooSmall) {
  Form2& w = open(QStringLiteral("a.txt"), "x");
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  // From the design size with the usual frame (set outright, as frames differ),
  // through one too small, to one smaller than the design.
  const struct {
    float width, height, boxWidth, boxHeight;
  } sizes[] = {{8115, 7320, 7715, 6320}, {300, 900, 7715, 6320}, {6000, 4995, 5600, 3995}};
  for (const auto& s : sizes) {
    SCOPED_TRACE(s.width);
    w.setWidth(s.width);
    w.setHeight(s.height);
    QCoreApplication::processEvents();
    if (s.width > 1000) {  // a size the window can take
      ASSERT_FLOAT_EQ(w.Width(), s.width);
      ASSERT_FLOAT_EQ(w.Height(), s.height);
    }
    EXPECT_FLOAT_EQ(w.Text1->Width(), s.boxWidth);
    EXPECT_FLOAT_EQ(w.Text1->Height(), s.boxHeight);
  }
}

TEST_F(Form2Test, SaveWritesTheLoadedFileWhateverTheMainWindowShowsNow) {
  Form2& w = open(QStringLiteral("a.txt"), "a");
  open(QStringLiteral("b.txt"), "b");
  typeAtEnd(w, QStringLiteral("1"));
  EXPECT_EQ(save(w, "a.txt"), QByteArray("a1\r\n"));
  EXPECT_EQ(tmp.read("b.txt"), QByteArray("b"));
  QDir(tmp.path()).mkdir(QStringLiteral("sub"));
  form<Ostrel_View>().Dir1->setPath(tmp.file("sub"));
  typeAtEnd(w, QStringLiteral("2"));
  EXPECT_EQ(save(w, "a.txt"), QByteArray("a12\r\n"));
  EXPECT_TRUE(QDir(tmp.file("sub")).isEmpty());
}

// Every fault of the writer has its own test; here, that one reaches the user.
TEST_F(Form2Test, SaveAndSaveAsFailuresAreReportedWithTheFileNameAndTheTextStays) {
  Form2& w = open(QStringLiteral("a.txt"), "old");
  typeAtEnd(w, QStringLiteral("new"));
  QFile::setPermissions(tmp.file("a.txt"), QFile::ReadOwner);
  w.Command4->click();
  saveAs(w, tmp.file("gone/copy.txt"));
  ASSERT_EQ(boxes().size(), 2U);
  EXPECT_TRUE(boxes()[0].prompt.contains(QStringLiteral("“%1”").arg(tmp.file("a.txt"))));
  EXPECT_TRUE(boxes()[1].prompt.contains(QStringLiteral("“%1”").arg(tmp.file("gone/copy.txt"))));
  EXPECT_EQ(boxes()[0].title, QStringLiteral("Ostrel_Viewer"));
  EXPECT_EQ(tmp.read("a.txt"), QByteArray("old"));
  EXPECT_EQ(w.Text1->Text(), QStringLiteral("oldnew"));
}

// A disk taken away leaves its mount point behind: an empty folder at the
// same path, on the disk below. Save makes no file there.
TEST_F(Form2Test, SaveNamesAFolderOrDiskThatIsGoneAndMakesNoFileInItsPlace) {
  tmp.write("disk/a.txt", "old");
  Ostrel_View& main = form<Ostrel_View>();
  main.Dir1->setPath(tmp.file("disk"));
  ASSERT_TRUE(main.File1->clickName(QStringLiteral("a.txt")));
  Form2& w = form<Form2>();
  typeAtEnd(w, QStringLiteral("new"));
  const QString name = tmp.file("disk/a.txt");
  ASSERT_TRUE(QDir(tmp.path()).rename(QStringLiteral("disk"), QStringLiteral("away")));
  w.Command4->click();
  // Made while the first is still there (as "away"): another folder.
  ASSERT_TRUE(QDir(tmp.path()).mkdir(QStringLiteral("disk")));
  w.Command4->click();
  ASSERT_EQ(boxes().size(), 2U);
  EXPECT_EQ(boxes()[0].prompt, QStringLiteral("The file “%1” could not be saved: its folder does "
                                              "not exist. The file on disk was not changed.")
                                   .arg(name));
  EXPECT_EQ(boxes()[1].prompt,
            QStringLiteral("The file “%1” could not be saved: its folder, or the disk it was on, "
                           "is no longer there. The file on disk was not changed.")
                .arg(name));
  EXPECT_TRUE(QDir(tmp.file("disk")).isEmpty());
  EXPECT_EQ(tmp.read("away/a.txt"), QByteArray("old"));
  // The disk back in its place: Save writes there again.
  ASSERT_TRUE(QDir(tmp.path()).rmdir(QStringLiteral("disk")));
  ASSERT_TRUE(QDir(tmp.path()).rename(QStringLiteral("away"), QStringLiteral("disk")));
  EXPECT_EQ(save(w, "disk/a.txt"), QByteArray("oldnew\r\n"));
}

struct OtherProgram {
  const char* name;
  std::function<void(const test::TempDir&)> does;  // to a.txt
  bool asks;
};

class Form2OtherProgram : public Form2Test, public ::testing::WithParamInterface<OtherProgram> {};

// Another program writes the file between loading and Save.
TEST_P(Form2OtherProgram, SaveAsksBeforeReplacingItsChangeAndCancelKeepsIt) {
  Form2& w = open(QStringLiteral("a.txt"), "mine");
  const QString name = tmp.file("a.txt");
  GetParam().does(tmp);
  const QByteArray theirs = tmp.read(name);
  typeAtEnd(w, QStringLiteral("!"));
  test::fakes().messageBox.answers = {mb::Cancel};
  w.Command4->click();
  if (!GetParam().asks) {
    EXPECT_TRUE(boxes().empty());
    EXPECT_EQ(tmp.read(name), QByteArray("mine!\r\n"));
    return;
  }
  ASSERT_EQ(boxes().size(), 1U);
  EXPECT_EQ(boxes()[0].prompt,
            QStringLiteral("“%1” was changed by another program since it was opened. Save and "
                           "replace those changes?")
                .arg(name));
  EXPECT_EQ(boxes()[0].style & 7, mb::SaveCancel);
  EXPECT_EQ(tmp.read(name), theirs);
  test::fakes().messageBox.answers = {mb::Save};
  EXPECT_EQ(save(w, name), QByteArray("mine!\r\n"));
  w.Command4->click();  // the file is ours again: no question
  EXPECT_EQ(boxes().size(), 2U);
  GetParam().does(tmp);  // Save As onto the same file asks the same
  test::fakes().messageBox.answers = {mb::Cancel};
  saveAs(w, name);
  EXPECT_EQ(boxes().size(), 3U);
  EXPECT_EQ(tmp.read(name), theirs);
}

using Dir = const test::TempDir&;
INSTANTIATE_TEST_SUITE_P(
    Changes, Form2OtherProgram,
    ::testing::Values(
        OtherProgram{"adds_a_line", [](Dir d) { d.write("a.txt", "mine\nand theirs\n"); }, true},
        // Within one tick of the file system's clock: only the bytes tell.
        OtherProgram{"same_size", [](Dir d) { d.write("a.txt", "MINE"); }, true},
        OtherProgram{"replaced_by_rename",
                     [](Dir d) {
                       const QString theirs = d.write("a.new", "other");
                       QFile::remove(d.file("a.txt"));
                       QFile::rename(theirs, d.file("a.txt"));
                     },
                     true},
        OtherProgram{"same_bytes_rewritten", [](Dir d) { d.write("a.txt", "mine"); }, false},
        OtherProgram{"deleted", [](Dir d) { QFile::remove(d.file("a.txt")); }, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Form2Test, AnUneditedWindowOffersTheChangedFileWhenItIsActiveAgain) {
  Form2& w = open(QStringLiteral("a.txt"), "one");
  activate(w);
  EXPECT_TRUE(boxes().empty()) << "nothing changed: nothing to say";
  tmp.write("a.txt", "two, longer");
  test::fakes().messageBox.answers = {mb::Yes};
  activate(w);
  ASSERT_EQ(boxes().size(), 1U);
  EXPECT_EQ(boxes()[0].style, mb::YesNo | mb::Question);
  EXPECT_EQ(w.Text1->Text(), QStringLiteral("two, longer"));

  tmp.write("a.txt", "three");
  test::fakes().messageBox.answers = {mb::No};
  activate(w);
  activate(w);  // declined once: not asked again for the same change
  EXPECT_EQ(boxes().size(), 2U);
  EXPECT_EQ(w.Text1->Text(), QStringLiteral("two, longer"));

  typeAtEnd(w, QStringLiteral("!"));
  tmp.write("a.txt", "four, four");
  activate(w);  // edited text is not offered to be thrown away
  EXPECT_EQ(boxes().size(), 2U);
}

// Files named by bytes, where Qt's own names would lose them.
void writeRaw(const QByteArray& name, const QByteArray& content) {
  std::ofstream(name.constData(), std::ios::binary).write(content.constData(), content.size());
}
QByteArray readRaw(const QByteArray& name) {
  std::ifstream in(name.constData(), std::ios::binary);
  return QByteArray::fromStdString({std::istreambuf_iterator<char>(in), {}});
}

TEST_F(Form2Test, ANameThatIsNotUtf8IsListedVisiblyAndOpensSavesAndSavesAs) {
  const QByteArray folder = QFile::encodeName(tmp.path()) + "/in\xFE/";
  ASSERT_EQ(::mkdir(folder.constData(), 0755), 0);
  writeRaw(folder + "bad\xFFname.txt", "text");
  QImage(4, 3, QImage::Format_RGB32).save(tmp.file("p.bmp"));
  ASSERT_EQ(std::rename(QFile::encodeName(tmp.file("p.bmp")).constData(),
                        (folder + "pic\xFF.bmp").constData()),
            0);
  Ostrel_View& main = form<Ostrel_View>();
  main.Dir1->setPath(FileNames::decode(folder.chopped(1)));
  const QString text = FileNames::decode("bad\xFFname.txt");
  const int row = static_cast<int>(main.File1->names().indexOf(text));
  ASSERT_GE(row, 0);
  EXPECT_EQ(main.File1->model()->index(row, 0).data().toString(),
            QStringLiteral("bad\\xFFname.txt"));
  ASSERT_TRUE(main.File1->clickName(FileNames::decode("pic\xFF.bmp")));
  EXPECT_EQ(main.Image1->picture().naturalSize(), QSize(4, 3));

  ASSERT_TRUE(main.File1->clickName(text));
  Form2& w = form<Form2>();
  EXPECT_EQ(w.windowTitle(), tmp.path() + QStringLiteral("/in\\xFE/bad\\xFFname.txt"));
  typeAtEnd(w, QStringLiteral("!"));
  w.Command4->click();
  EXPECT_EQ(readRaw(folder + "bad\xFFname.txt"), QByteArray("text!\r\n"));
  // Save As confirmed with the name as the dialog showed it: the same file.
  test::fakes().dialogs.saveAnswers = {w.windowTitle()};
  typeAtEnd(w, QStringLiteral("?"));
  w.Command5->click();
  EXPECT_TRUE(boxes().empty());
  EXPECT_EQ(readRaw(folder + "bad\xFFname.txt"), QByteArray("text!?\r\n"));
  // A new name in the folder as shown: that folder, bytes and all.
  saveAs(w, tmp.path() + QStringLiteral("/in\\xFE/new.txt"));
  EXPECT_EQ(readRaw(folder + "new.txt"), QByteArray("text!?\r\n"));
  main.File1->Refresh();
  EXPECT_EQ(main.File1->ListCount(), 3) << "nothing else was created";
}

TEST_F(Form2Test, SaveAsStartsAtTheLoadedFileWritesTheChosenOneAndLeavesSaveAlone) {
  Form2& w = open(QStringLiteral("a.txt"), "text");
  saveAs(w, tmp.file("copy.txt"));
  EXPECT_EQ(test::fakes().dialogs.lastInitialName, tmp.file("a.txt"));
  EXPECT_EQ(tmp.read("copy.txt"), QByteArray("text\r\n"));
  EXPECT_TRUE(form<Ostrel_View>().File1->names().contains(QStringLiteral("copy.txt")));
  EXPECT_EQ(w.Caption(), tmp.file("a.txt"));
  typeAtEnd(w, QStringLiteral("!"));
  w.Command5->click();  // cancelled, after an earlier Save As: writes nothing, says nothing
  EXPECT_EQ(tmp.read("copy.txt"), QByteArray("text\r\n"));
  w.Command6->click();  // Print, cancelled: cancel now raises an error
  ASSERT_TRUE(w.CommonDialog1->CancelError());
  w.Command5->click();
  EXPECT_EQ(tmp.read("copy.txt"), QByteArray("text\r\n"));
  EXPECT_EQ(test::fakes().dialogs.saveCalls, 3);
  EXPECT_EQ(save(w, "a.txt"), QByteArray("text!\r\n"));
  EXPECT_EQ(tmp.read("copy.txt"), QByteArray("text\r\n"));
  // Save As onto the loaded file by another name writes the loaded file:
  // the next Save knows that write as its own.
  QFile::link(tmp.file("a.txt"), tmp.file("link.txt"));
  typeAtEnd(w, QStringLiteral("#"));
  saveAs(w, tmp.file("link.txt"));
  typeAtEnd(w, QStringLiteral("?"));
  EXPECT_EQ(save(w, "a.txt"), QByteArray("text!#?\r\n"));
  EXPECT_TRUE(boxes().empty());
}

TEST_F(Form2Test, SaveAsAfterTheMainWindowClosedBringsNothingBackAndCloseEndsTheProgramUnasked) {
  Form2& w = open(QStringLiteral("a.txt"), "text");
  Unload<Ostrel_View>();  // its close box; the text window stays
  saveAs(w, tmp.file("copy.txt"));
  EXPECT_EQ(tmp.read("copy.txt"), QByteArray("text\r\n"));
  EXPECT_FALSE(FormSet::instance().isLoaded<Ostrel_View>());
  EXPECT_EQ(test::fakes().process.ends, 0);
  EXPECT_FLOAT_EQ(w.Text1->FontSize(), 10);
  // Close leaves edited text unsaved without a question.
  typeAtEnd(w, QStringLiteral("edited"));
  w.Command1->click();
  EXPECT_TRUE(boxes().empty());
  EXPECT_EQ(tmp.read("a.txt"), QByteArray("text"));
  EXPECT_EQ(FormSet::instance().loadedCount(), 0);
  EXPECT_EQ(test::fakes().process.ends, 1);
  EXPECT_EQ(test::fakes().process.lastExitCode, 0);
}

TEST_F(Form2Test, ACharacterTheFileCannotHoldIsSavedAsUtf8OnlyWhenTheUserAgrees) {
  Form2& w = open(QStringLiteral("a.txt"), "caf\xE9");
  typeAtEnd(w, QString::fromUtf16(u" \u2603"));
  test::fakes().messageBox.answers = {mb::No};
  w.Command4->click();
  ASSERT_EQ(boxes().size(), 1U);
  EXPECT_EQ(boxes()[0].style, mb::YesNo | mb::Question);
  EXPECT_EQ(tmp.read("a.txt"), QByteArray("caf\xE9"));
  test::fakes().messageBox.answers = {mb::Yes};
  EXPECT_EQ(save(w, "a.txt"), QByteArray("caf\xC3\xA9 \xE2\x98\x83\r\n"));
  w.Command4->click();  // now a UTF-8 file: no further question
  EXPECT_EQ(boxes().size(), 2U);
  EXPECT_EQ(w.EncodingLabel->Caption(), QStringLiteral("UTF-8"));

  // A page declaring another set, saved as UTF-8, gets a mark and reopens as written.
  Unload<Form2>();
  Form2& page = open(QStringLiteral("p.html"),
                     "<html><meta http-equiv=\"Content-Type\" content=\"text/html; "
                     "charset=windows-1251\">\xE8\xF5");
  typeAtEnd(page, QString::fromUtf16(u"\u4E2D"));
  test::fakes().messageBox.answers = {mb::Yes};
  page.Command4->click();
  ASSERT_EQ(boxes().size(), 3U);
  EXPECT_TRUE(tmp.read("p.html").startsWith("\xEF\xBB\xBF"));
  const QString text = page.Text1->Text();
  Unload<Form2>();
  Form2& again = openExisting(QStringLiteral("p.html"));
  EXPECT_EQ(again.Text1->Text(), text + QStringLiteral("\r\n"));
  EXPECT_EQ(again.EncodingLabel->Caption(), QStringLiteral("UTF-8 with BOM"));
}

// Saving runs beside the window: it writes the text as it was at the click
// while the user types on, shows its progress and a Cancel once it takes a
// while, and a Cancel before the new content is whole leaves the file as it
// was. A window closed meanwhile still has its text saved.
TEST_F(Form2Test, SaveRunsBesideTheWindowWithProgressAndCancel) {
  Form2& w = open(QStringLiteral("a.txt"), "old");
  typeAtEnd(w, QStringLiteral("1"));
  test::FakeJobRunner& jobs = *test::fakes().jobRunner;
  jobs.holding = true;
  w.Command4->click();
  w.Command4->click();  // one save at a time
  EXPECT_EQ(jobs.waiting(), QStringList{QStringLiteral("save")});
  typeAtEnd(w, QStringLiteral("2"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.WorkProgress->isVisible(); }, 5000));
  EXPECT_FALSE(w.Command5->isEnabled());
  jobs.runAll();
  EXPECT_EQ(tmp.read("a.txt"), QByteArray("old1\r\n"));
  EXPECT_TRUE(w.Text1->document().isModified()) << "typed after the click";
  EXPECT_FALSE(w.WorkProgress->isVisible());
  EXPECT_TRUE(w.Command5->isEnabled());

  w.Command4->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.WorkProgress->isVisible(); }, 5000));
  w.WorkProgress->findChild<QPushButton*>(QStringLiteral("Cancel"))->click();
  jobs.runAll();
  EXPECT_EQ(tmp.read("a.txt"), QByteArray("old1\r\n"));
  EXPECT_TRUE(boxes().empty());

  w.Command4->click();
  Unload<Form2>();
  jobs.runAll();
  EXPECT_EQ(tmp.read("a.txt"), QByteArray("old12\r\n"));
}

TEST_F(Form2Test, ASaveThatDidNotFinishIsOfferedWhenTheFileIsOpenedAgain) {
  qputenv("XDG_CACHE_HOME", QFile::encodeName(tmp.file("cache")));
  const QString name = tmp.write("a.txt", "half new and half");
  const QString copy = tmp.write(".a.txt.k1.old", "the old text");
  {
    // Left as a save killed while it rewrote the file leaves it.
    const auto note = SaveJournal::begin(SaveJournal::Copy::OldContent, FileNames::encode(name));
    ASSERT_TRUE(note && note->nameCopy(FileNames::encode(copy)) && note->copyMade() &&
                note->copyComplete());
  }
  test::fakes().messageBox.answers = {mb::Cancel};
  EXPECT_EQ(openExisting(QStringLiteral("a.txt")).Text1->Text(),
            QStringLiteral("half new and half"));
  ASSERT_EQ(boxes().size(), 1U);
  EXPECT_EQ(boxes()[0].style, mb::YesNoCancel | mb::Exclamation);
  EXPECT_TRUE(boxes()[0].prompt.contains(QStringLiteral("“%1”").arg(copy)));
  Unload<Form2>();
  test::fakes().messageBox.answers = {mb::Yes};  // asked again, and put back
  EXPECT_EQ(openExisting(QStringLiteral("a.txt")).Text1->Text(), QStringLiteral("the old text"));
  EXPECT_EQ(boxes().size(), 2U);
  EXPECT_FALSE(QFile::exists(copy));
  Unload<Form2>();
  openExisting(QStringLiteral("a.txt"));
  EXPECT_EQ(boxes().size(), 2U) << "dealt with: not asked again";
  qunsetenv("XDG_CACHE_HOME");
}

struct Encoded {
  const char* name;
  const char* fileName;
  QByteArray content;
  const char16_t* shown;      // the text as the box shows it
  const char16_t* typed;      // typed at the end
  QByteArray saved;           // what Save then writes
  const char* encodingShown;  // part of what the window says about the encoding
};

class Form2Encodings : public Form2Test, public ::testing::WithParamInterface<Encoded> {};

TEST_P(Form2Encodings, AreReadShownTypedInAndSavedInTheFilesOwnEncoding) {
  const Encoded& e = GetParam();
  Form2& w = open(QString::fromLatin1(e.fileName), e.content);
  EXPECT_EQ(w.Text1->Text(), QString::fromUtf16(e.shown));
  EXPECT_TRUE(w.EncodingLabel->Caption().contains(QString::fromLatin1(e.encodingShown)))
      << w.EncodingLabel->Caption().toStdString();
  // Unedited, the bytes come back as they were, with the line end in the same encoding.
  typeAtEnd(w, QString::fromUtf16(e.typed));
  w.Command4->click();
  EXPECT_TRUE(boxes().empty());
  EXPECT_EQ(tmp.read(QString::fromLatin1(e.fileName)), e.saved);
}

INSTANTIATE_TEST_SUITE_P(
    Files, Form2Encodings,
    ::testing::Values(Encoded{"utf16le", "u.txt", QByteArray("\xFF\xFEG\0r\0\xFC\0\r\0\n\0", 12),
                              u"Gr\u00FC\r\n", u"\u00DF!",
                              QByteArray("\xFF\xFEG\0r\0\xFC\0\r\0\n\0\xDF\0!\0\r\0\n\0", 20),
                              "UTF-16 LE"},
                      Encoded{"html_declared", "p.html",
                              "<html><meta charset=\"windows-1251\">\xC0",
                              u"<html><meta charset=\"windows-1251\">\u0410", u"\u0411",
                              "<html><meta charset=\"windows-1251\">\xC0\xC1\r\n", "1251"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Form2Test, AFileThatCannotBeReadIsReportedAndTheWindowDoesNotStay) {
  tmp.write("a.txt", "x");
  Ostrel_View& main = form<Ostrel_View>();
  main.Dir1->setPath(tmp.path());
  QFile::remove(tmp.file("a.txt"));
  main.File1->clickName(QStringLiteral("a.txt"));
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_FALSE(FormSet::instance().isLoaded<Form2>());
  ASSERT_EQ(boxes().size(), 1U);
  EXPECT_TRUE(boxes()[0].prompt.contains(tmp.file("a.txt")));
}

TEST_F(Form2Test, PrintPrintsTheTextOnceAndAFailureShowsThePrinterMessageWithItsCause) {
  Form2& w = open(QStringLiteral("a.txt"), "line 1\r\nline 2");
  w.Command6->click();  // cancelled
  EXPECT_TRUE(test::fakes().printer.jobs.empty());
  EXPECT_EQ(w.CommonDialog1->Flags(), 64);
  EXPECT_TRUE(w.CommonDialog1->CancelError());
  test::fakes().dialogs.printAnswers = {true, true, true, true};
  w.Command6->click();
  ASSERT_EQ(test::fakes().printer.jobs.size(), 1U);
  EXPECT_EQ(test::fakes().printer.jobs[0].text, QStringLiteral("line 1\r\nline 2\n"));
  EXPECT_EQ(test::fakes().printer.jobs[0].font.family(), w.Text1->font().family());
  EXPECT_TRUE(boxes().empty());

  test::fakes().printer.failWith = QStringLiteral("The printer “q” is stopped: paused.");
  w.Command6->click();
  ASSERT_EQ(boxes().size(), 1U);
  EXPECT_EQ(boxes()[0].prompt,
            QStringLiteral("Ostrel_label has encountered an error while trying to print,please "
                           "check all cables,paper,ports and drivers,restart windows then try "
                           "again."));
  EXPECT_EQ(boxes()[0].details, test::fakes().printer.failWith);
  EXPECT_EQ(boxes()[0].style, mb::OkOnly);
  EXPECT_EQ(boxes()[0].title, QStringLiteral("Ostrel_Viewer"));
  // Not the printer's fault: said in its own words.
  test::fakes().printer.failWith = QStringLiteral("There is not enough memory to finish this.");
  test::fakes().printer.failNumber = err::OutOfMemory;
  w.Command6->click();
  ASSERT_EQ(boxes().size(), 2U);
  EXPECT_EQ(boxes()[1].prompt, test::fakes().printer.failWith);

  test::fakes().printer.failWith.clear();
  test::fakes().printer.notice = QStringLiteral("printed to the file “print.pdf”");
  w.Command6->click();
  ASSERT_EQ(boxes().size(), 3U);
  EXPECT_EQ(boxes()[2].prompt, test::fakes().printer.notice);
  EXPECT_EQ(boxes()[2].style, mb::Information);
}

TEST_F(Form2Test, PrintRunsAsAJobOfTheTextAsClickedWhileTheWindowGoesOnAndCancelDropsIt) {
  Form2& w = open(QStringLiteral("a.txt"), "before");
  test::fakes().jobRunner->holding = true;
  test::fakes().dialogs.printAnswers = {true, true};
  w.Command6->click();
  ASSERT_EQ(test::fakes().jobRunner->waiting(), QStringList{QStringLiteral("print")});
  EXPECT_FALSE(w.Command6->isEnabled()) << "one print at a time";
  EXPECT_TRUE(w.Text1->isEnabled() && w.Command4->isEnabled());
  typeAtEnd(w, QStringLiteral(" after"));
  test::fakes().jobRunner->runNext();
  ASSERT_EQ(test::fakes().printer.jobs.size(), 1U);
  EXPECT_EQ(test::fakes().printer.jobs[0].text, QStringLiteral("before\n"));
  EXPECT_TRUE(w.Command6->isEnabled());

  // Cancelled from the strip: the job's answer, a failure here, is never shown.
  test::fakes().printer.failWith = QStringLiteral("paper jam");
  w.Command6->click();
  w.WorkProgress->cancel();
  EXPECT_TRUE(w.Command6->isEnabled());
  test::fakes().jobRunner->runAll();
  EXPECT_TRUE(boxes().empty());
}

}  // namespace
}  // namespace ostrel
