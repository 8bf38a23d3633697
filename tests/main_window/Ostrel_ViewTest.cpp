#include <gtest/gtest.h>

#include <QAccessible>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTest>
#include <cstdio>

#include "about/frmAbout.h"
#include "main_window/FileDispatch.h"
#include "main_window/FileTypeFilter.h"
#include "main_window/Ostrel_View.h"
#include "picture_viewer/Form1.h"
#include "tests/support/FakeServices.h"
#include "tests/support/ShowFocused.h"
#include "tests/support/TempDir.h"
#include "text_window/Form2.h"
#include "toolkit/App.h"
#include "toolkit/controls/DriveListBox.h"
#include "toolkit/files/FileNames.h"
#include "toolkit/forms/FormSet.h"
#include "toolkit/help/HelpService.h"

namespace ostrel {
namespace {

using test::fakes;
using test::TempDir;

// The main window on a folder of its own.
class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* n : {"a.txt", "page.htm", "page.html", "tool.exe", "PIC.JPEG", "README"}) {
      tmp.write(QString::fromLatin1(n), "text\r\n");
    }
    QImage red(40, 30, QImage::Format_RGB32);
    red.fill(Qt::red);
    red.save(tmp.file(QStringLiteral("red.bmp")), "BMP");
    QDir::setCurrent(tmp.path());
    savedHelp = App().HelpFile;
  }
  void TearDown() override { App().HelpFile = savedHelp; }

  Ostrel_View& main() { return form<Ostrel_View>(); }

  TempDir tmp;
  QString savedHelp;
};

TEST_F(MainWindowTest, OpensWithTheDesignLayoutAndAScreenReaderHearsWhatEachListIs) {
  Ostrel_View& w = main();
  w.Show();
  EXPECT_EQ(w.File1->Path(), QDir::cleanPath(tmp.path()));
  EXPECT_EQ(w.focusWidget(), w.Dir1);
  // Tab order: Dir1, Drive1, File1, the first two rows of boxes, Exit, Help,
  // the last row, About, and after the design's controls the preview.
  QList<QWidget*> order;
  for (QWidget* x = w.Dir1; order.size() < 19; x = x->nextInFocusChain()) {
    if (x->parentWidget() == &w && (x->focusPolicy() & Qt::TabFocus)) order << x;
  }
  const QList<QWidget*> expected = {
      w.Dir1,           w.Drive1,         w.File1,         &(*w.Check1)(0), &(*w.Check1)(2),
      &(*w.Check1)(3),  &(*w.Check1)(4),  &(*w.Check1)(5), &(*w.Check1)(6), &(*w.Check1)(7),
      &(*w.Check1)(8),  w.Command1,       w.Command3,      &(*w.Check1)(1), &(*w.Check1)(9),
      &(*w.Check1)(10), &(*w.Check1)(11), w.Command2,      w.Image1};
  EXPECT_EQ(order, expected);
  const auto name = [](QWidget* list) {
    return QAccessible::queryAccessibleInterface(list)->text(QAccessible::Name);
  };
  EXPECT_EQ(name(w.Dir1), QStringLiteral("Folders"));
  EXPECT_EQ(name(w.File1), QStringLiteral("Files"));
  // The drive list's own name is the drive shown; a label names the list.
  QAccessibleInterface* drives = QAccessible::queryAccessibleInterface(w.Drive1);
  EXPECT_EQ(drives->text(QAccessible::Value), w.Drive1->Drive());
  const auto labels = drives->relations(QAccessible::Label);
  ASSERT_EQ(labels.size(), 1);
  EXPECT_EQ(labels[0].first->text(QAccessible::Name), QStringLiteral("Drives"));
}

TEST_F(MainWindowTest, StartsWithTheDefaultPatternSoHtmFilesWaitForTheFirstBoxClick) {
  EXPECT_EQ(main().File1->Pattern(), QString::fromLatin1(kDefaultPattern));
  EXPECT_TRUE(main().File1->names().contains(QStringLiteral("page.html")));
  EXPECT_FALSE(main().File1->names().contains(QStringLiteral("page.htm")));
  (*main().Check1)(3).setValue(0);  // untick JPG: the pattern is rebuilt
  EXPECT_TRUE(main().File1->names().contains(QStringLiteral("page.htm")));
  EXPECT_FALSE(main().File1->Pattern().contains(QStringLiteral("*.jpg")));
}

TEST(FileDispatchTest, TheLastThreeLettersDecideAndNeighbourPicturesSkipOtherFiles) {
  struct Case {
    const char* name;
    FileAction action;
  };
  constexpr FileAction P = FileAction::PreviewPicture, T = FileAction::OpenText,
                       N = FileAction::None;
  const Case cases[] = {{"photo.bmp", P}, {"PHOTO.JPG", P}, {"x.Dib", P},     {"a.gif", P},
                        {"a.ico", P},     {"a.wmf", P},     {"a.emf", P},     {"a.txt", T},
                        {"a.doc", T},     {"a.BAT", T},     {"PAGE.HTML", T}, {"page.htm", T},
                        {"PIC.JPEG", N},  {"README", N},    {"nodotgif", P},  {"xtml", T},
                        {"", N},          {"gif", P}};
  for (const Case& c : cases)
    EXPECT_EQ(actionForFileName(QString::fromLatin1(c.name)), c.action) << c.name;
  const QStringList names = {"a.bmp", "b.txt", "c.gif", "d.txt", "e.jpg"};
  EXPECT_EQ(neighbourPictures(names, 2), (QStringList{"e.jpg", "a.bmp"}));
  EXPECT_EQ(neighbourPictures(names, 0), (QStringList{"c.gif"}));
  EXPECT_EQ(neighbourPictures(names, 4), (QStringList{"c.gif"}));
  EXPECT_EQ(neighbourPictures(names, 1), (QStringList{"c.gif", "a.bmp"}));
  EXPECT_TRUE(neighbourPictures(names, -1).isEmpty());
}

// Decodes finish only when the test says so, as a slow worker would.
class PreviewLoadingTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    for (auto [name, colour] : {std::pair{"a.bmp", Qt::blue}, {"c.bmp", Qt::green}}) {
      QImage image(20, 10, QImage::Format_RGB32);
      image.fill(colour);
      image.save(tmp.file(QString::fromLatin1(name)), "BMP");
    }
    main().File1->Refresh();
    jobs().holding = true;
  }
  static test::FakeJobRunner& jobs() { return *fakes().jobRunner; }
  QColor shown() { return main().Image1->picture().image().pixelColor(0, 0); }
  bool click(const char* name) { return main().File1->clickName(QString::fromLatin1(name)); }
};

TEST_F(PreviewLoadingTest, AFailureIsReportedOnlyWhileItsFileIsSelected) {
  tmp.write(QStringLiteral("broken.gif"), "GIF89a\x01");
  main().File1->Refresh();
  // Left for another picture: neither message nor placeholder.
  ASSERT_TRUE(click("broken.gif"));
  ASSERT_TRUE(click("red.bmp"));
  jobs().runAll();
  EXPECT_TRUE(fakes().messageBox.calls.empty());
  EXPECT_EQ(shown(), QColor(Qt::red));
  // Left for a file that is no picture: the box says it cannot show the
  // picture, but nobody is told about a file they have moved past.
  ASSERT_TRUE(click("broken.gif"));
  ASSERT_TRUE(click("a.txt"));
  jobs().runAll();
  EXPECT_TRUE(fakes().messageBox.calls.empty());
  EXPECT_FALSE(main().Image1->placeholder().isEmpty());
  // Still selected: reported by name.
  ASSERT_TRUE(click("broken.gif"));
  jobs().runAll();
  ASSERT_EQ(fakes().messageBox.calls.size(), 1u);
  EXPECT_TRUE(fakes().messageBox.calls[0].prompt.contains(QStringLiteral("broken.gif")));
}

TEST_F(PreviewLoadingTest, ExitWhileADecodeRunsEndsCleanly) {
  ASSERT_TRUE(click("red.bmp"));
  main().Image1_Click();  // the preview has not arrived: nothing to open
  ASSERT_TRUE(click("a.bmp"));
  jobs().runNext();
  main().Command1_Click();
  jobs().runAll();
  EXPECT_EQ(FormSet::instance().loadedCount(), 0);
  EXPECT_GE(fakes().process.ends, 1);
  EXPECT_EQ(fakes().messageBox.calls.size(), 1u);  // the early click on the box alone
}

// Down onto the neighbour the prefetch worker is decoding: the preview takes
// that decode's result instead of decoding the file a second time.
TEST_F(PreviewLoadingTest, APreviewTakesOverTheRunningPrefetchOfItsFile) {
  ASSERT_TRUE(click("c.bmp"));
  jobs().runNext();
  ASSERT_EQ(shown(), QColor(Qt::green));
  ASSERT_EQ(jobs().waiting().size(), 1u);
  ASSERT_EQ(jobs().waiting().front(), tmp.file(QStringLiteral("red.bmp")));
  PictureLoader& pictures = *fakes().pictures;
  const int started = pictures.decodesStarted();
  const int decoded = jobs().ran;
  ASSERT_TRUE(click("red.bmp"));
  EXPECT_EQ(pictures.decodesStarted(), started) << "a second decode of red.bmp";
  jobs().runNext();
  EXPECT_EQ(shown(), QColor(Qt::red));
  EXPECT_EQ(jobs().ran - decoded, 1);
  // Back to c.bmp while its prefetch runs, and that prefetch is cancelled:
  // the preview decodes for itself.
  ASSERT_FALSE(jobs().waiting().empty());
  ASSERT_EQ(jobs().waiting().front(), tmp.file(QStringLiteral("c.bmp")));
  ASSERT_TRUE(click("c.bmp"));
  pictures.cancel(PictureLoader::Purpose::Prefetch);
  jobs().runAll();
  EXPECT_EQ(shown(), QColor(Qt::green)) << "the preview waiting for a cancelled prefetch";
}

TEST_F(PreviewLoadingTest, ANeighbourWhoseNameIsNotUtf8IsReadAhead) {
  const QString odd = tmp.file(FileNames::decode("d\xFF.bmp"));
  ASSERT_TRUE(QFile::copy(tmp.file(QStringLiteral("c.bmp")), tmp.file(QStringLiteral("d.tmp"))));
  ASSERT_EQ(::rename(QFile::encodeName(tmp.file(QStringLiteral("d.tmp"))).constData(),
                     FileNames::encode(odd).constData()),
            0);
  main().File1->Refresh();
  ASSERT_TRUE(click("c.bmp"));
  jobs().runNext();
  ASSERT_FALSE(jobs().waiting().empty());
  EXPECT_EQ(jobs().waiting().front(), odd);
}

TEST_F(MainWindowTest, TheListsFollowTheChosenFolderAndDrive) {
  QDir(tmp.path()).mkdir(QStringLiteral("sub"));
  tmp.write(QStringLiteral("sub/inner.txt"), "x");
  TempDir usb;
  usb.write(QStringLiteral("on-usb.txt"), "x");
  fakes().volumes.list.append({QStringLiteral("/nowhere"), QStringLiteral("cd"), false});
  fakes().volumes.list.append({QDir::cleanPath(usb.path()), QStringLiteral("usb"), true});
  Ostrel_View& w = main();
  ASSERT_TRUE(w.File1->clickName(QStringLiteral("a.txt")));
  w.Dir1->setPath(tmp.file(QStringLiteral("sub")));
  EXPECT_EQ(w.File1->Path(), tmp.file(QStringLiteral("sub")));
  EXPECT_EQ(w.File1->names(), QStringList{QStringLiteral("inner.txt")});
  EXPECT_TRUE(w.File1->FileName().isEmpty());

  w.Drive1->setDrive(QStringLiteral("/nowhere [cd]"));
  ASSERT_EQ(fakes().messageBox.calls.size(), 1u);
  EXPECT_TRUE(fakes().messageBox.calls[0].prompt.contains(QStringLiteral("not ready")));
  EXPECT_EQ(w.File1->Path(), tmp.file(QStringLiteral("sub")));
  EXPECT_EQ(DriveListBox::rootOfDesignation(w.Drive1->Drive()), QStringLiteral("/"));

  w.Drive1->setDrive(usb.path());
  EXPECT_EQ(w.Dir1->Path(), QDir::cleanPath(usb.path()));
  EXPECT_EQ(w.File1->names(), QStringList{QStringLiteral("on-usb.txt")});
}

TEST_F(MainWindowTest, HelpReportsAMissingFileOrAFailedCallAndExitUnloadsEverything) {
  const auto& boxes = fakes().messageBox.calls;
  App().HelpFile.clear();
  main().Command3_Click();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].prompt, QStringLiteral("Unable to display Help Contents. There is no Help "
                                            "associated with this project."));
  EXPECT_EQ(boxes[0].style, 64);
  EXPECT_TRUE(fakes().help.calls.empty());

  App().HelpFile = QStringLiteral("/opt/help/OSTREL_VIEWER.HLP");
  main().Command3_Click();
  ASSERT_EQ(fakes().help.calls.size(), 1u);
  EXPECT_EQ(fakes().help.calls[0].helpFile, App().HelpFile);
  EXPECT_EQ(fakes().help.calls[0].command, help::PartialKey);
  EXPECT_TRUE(fakes().help.calls[0].key.isEmpty());
  EXPECT_EQ(boxes.size(), 1u);

  fakes().help.failWith = QStringLiteral("The help viewer could not start.");
  main().Command3_Click();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[1].prompt, QStringLiteral("The help viewer could not start."));
  EXPECT_EQ(boxes[1].style, 0);
  EXPECT_EQ(boxes[1].title, QStringLiteral("Ostrel_Viewer"));
  // Exit unloads both viewers and the main window and ends the program.
  Ostrel_View& w = main();
  w.Show();
  ASSERT_TRUE(w.File1->clickName(QStringLiteral("red.bmp")));
  w.Image1_Click();
  ASSERT_TRUE(w.File1->clickName(QStringLiteral("a.txt")));
  ASSERT_TRUE(FormSet::instance().isLoaded<Form1>());
  ASSERT_TRUE(FormSet::instance().isLoaded<Form2>());
  w.Command1_Click();
  EXPECT_EQ(FormSet::instance().loadedCount(), 0);
  EXPECT_GE(fakes().process.ends, 1);
  EXPECT_EQ(fakes().process.lastExitCode, 0);
  EXPECT_EQ(boxes.size(), 2u);
}

// The preview keeps the picture it was made from: the viewer opens that one,
// titled with its name, wherever the lists have moved since.
TEST_F(MainWindowTest, ThePreviewOpensThePictureItShowsAfterTheFolderChanged) {
  TempDir other;
  TempDir empty;
  QImage blue(20, 10, QImage::Format_RGB32);
  blue.fill(Qt::blue);
  ASSERT_TRUE(blue.save(other.file(QStringLiteral("red.bmp")), "BMP"));
  Ostrel_View& w = main();
  ASSERT_TRUE(w.File1->clickName(QStringLiteral("red.bmp")));
  for (const TempDir* folder : {&other, &empty}) {
    w.Dir1->setPath(folder->path());
    w.Image1_Click();
    ASSERT_TRUE(FormSet::instance().isLoaded<Form1>());
    EXPECT_EQ(form<Form1>().Caption(), QStringLiteral("red.bmp"));
    EXPECT_EQ(form<Form1>().Image1->picture().image().pixelColor(0, 0), QColor(Qt::red));
  }
  EXPECT_TRUE(fakes().messageBox.calls.empty());
}

// Keys browse past a file that is no picture with only the box saying why;
// Enter on one still brings the message, Enter on a picture the viewer.
TEST_F(MainWindowTest, KeysBrowsePastPicturesThatCannotBeShownAndEnterOpensTheViewer) {
  tmp.write(QStringLiteral("b.bmp"), "");
  Ostrel_View& w = main();
  ASSERT_TRUE(test::showFocused(w, w.size()));
  w.File1->setFocus();
  for (const Qt::Key key : {Qt::Key_End, Qt::Key_Home}) QTest::keyClick(w.File1, key);
  ASSERT_EQ(w.File1->FileName(), QStringLiteral("a.txt"));
  for (const Qt::Key key : {Qt::Key_Down, Qt::Key_Return}) QTest::keyClick(w.File1, key);
  EXPECT_EQ(w.Label1->Caption(), QStringLiteral("b.bmp"));
  EXPECT_TRUE(w.Image1->placeholder().contains(QStringLiteral("“b.bmp”")));
  ASSERT_EQ(fakes().messageBox.calls.size(), 1u) << "only Enter tells";
  EXPECT_FALSE(FormSet::instance().isLoaded<Form1>());
  for (const Qt::Key key : {Qt::Key_End, Qt::Key_Return}) QTest::keyClick(w.File1, key);
  ASSERT_TRUE(FormSet::instance().isLoaded<Form1>());
  EXPECT_EQ(form<Form1>().Caption(), QStringLiteral("red.bmp"));
}

// A folder removed by another program leaves the lists on the one above it;
// a disk taken out is named as gone and left.
TEST_F(MainWindowTest, TheListsLeaveAFolderOrADiskThatIsGone) {
  Ostrel_View& w = main();
  const auto backAgain = [&w] {
    QEvent activation(QEvent::WindowActivate);
    QCoreApplication::sendEvent(&w, &activation);
    QCoreApplication::processEvents();
  };
  TempDir usb;
  const QString usbRoot = QDir::cleanPath(usb.file(QStringLiteral("disk")));
  usb.write(QStringLiteral("disk/sub/inner.txt"), "x");
  fakes().volumes.list.append({usbRoot, QStringLiteral("usb"), true});
  w.Dir1->setPath(usbRoot + QStringLiteral("/sub"));
  QDir(usbRoot + QStringLiteral("/sub")).removeRecursively();
  backAgain();
  EXPECT_EQ(w.Dir1->Path(), usbRoot);
  EXPECT_TRUE(fakes().messageBox.calls.empty());
  usb.write(QStringLiteral("disk/later.txt"), "x");  // seen without waiting for the focus
  EXPECT_TRUE(QTest::qWaitFor([&w] { return w.File1->ListCount() == 1; }));
  fakes().volumes.list.removeLast();
  backAgain();
  ASSERT_EQ(fakes().messageBox.calls.size(), 1u);
  EXPECT_TRUE(fakes().messageBox.calls[0].prompt.contains(usbRoot + QStringLiteral(" [usb]”")));
  EXPECT_EQ(w.Dir1->Path(), QDir::cleanPath(usb.path()));
  EXPECT_EQ(w.Drive1->Drive(), QStringLiteral("/ [root]"));
}

}  // namespace
}  // namespace ostrel
