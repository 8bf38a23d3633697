#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <QApplication>
#include <QDir>
#include <QMouseEvent>
#include <QProxyStyle>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QtGui/QAccessible>
#include <functional>

#include "tests/support/ErrorNumber.h"
#include "tests/support/FakeServices.h"
#include "tests/support/TempDir.h"
#include "toolkit/ToolkitError.h"
#include "toolkit/controls/DirListBox.h"
#include "toolkit/controls/DriveListBox.h"
#include "toolkit/controls/FileListBox.h"
#include "toolkit/controls/FilePattern.h"
#include "toolkit/files/FileNames.h"
#include "toolkit/files/FullName.h"

namespace ostrel {
namespace {

using test::fakes;
using test::TempDir;

TEST(FilePatternTest, PiecesMatchInAnyCaseAndEmptyPiecesSelectNothing) {
  struct Case {
    const char* pattern;
    const char* name;
    bool expected;
  };
  const Case cases[] = {{"*.gif;*.bmp", "PHOTO.GIF", true},
                        {"*.gif;*.bmp", "a.Bmp", true},
                        {"*.gif;*.bmp", "a.jpg", false},
                        {";*.doc;*.bat", "RUN.BAT", true},
                        {"", "a.txt", false},
                        {";", "a.txt", false},
                        {";*.*", "README", true},
                        {"*.*", ".hidden", true},
                        {"*.html", "page.htm", false},
                        {"*.html;*.htm", "page.htm", true},
                        {"*.gif", ".gif", false},
                        {"a?c.*", "ABC.txt", true},
                        {"*.gif", "x.gif.txt", false}};
  for (const Case& c : cases) {
    EXPECT_EQ(FilePattern(QString::fromLatin1(c.pattern)).matches(QString::fromLatin1(c.name)),
              c.expected)
        << c.pattern << " vs " << c.name;
  }
}

class FileListBoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* n : {"b.txt", "A.TXT", "c.GIF", "d.bmp", ".hidden.txt", "notes"}) {
      tmp.write(QString::fromLatin1(n), "x");
    }
    QDir(tmp.path()).mkdir(QStringLiteral("folder.txt"));
  }
  TempDir tmp;
};

// Visible files of the pattern, sorted without regard to case; a new path
// clears the selection, Refresh keeps it, and a missing folder keeps the list.
TEST_F(FileListBoxTest, ListsMatchingFilesKeepsItsListOnAMissingFolderAndShortensALongName) {
  FileListBox list(nullptr, QStringLiteral("File1"));
  list.setPattern(QStringLiteral("*.txt;*.gif"));
  list.setPath(tmp.path());
  EXPECT_EQ(list.names(), (QStringList{"A.TXT", "b.txt", "c.GIF"}));
  list.setPattern(QStringLiteral("*.*"));
  EXPECT_EQ(list.names(), (QStringList{"A.TXT", "b.txt", "c.GIF", "d.bmp", "notes"}));
  list.setPattern(QString());
  EXPECT_EQ(list.ListCount(), 0);

  list.setPattern(QStringLiteral("*.txt"));
  QSignalSpy clicks(&list, &FileListBox::Click);
  ASSERT_TRUE(list.clickName(QStringLiteral("b.txt")));
  EXPECT_EQ(clicks.count(), 1);
  EXPECT_EQ(list.FileName(), QStringLiteral("b.txt"));
  tmp.write(QStringLiteral("new.txt"), "y");
  list.Refresh();
  EXPECT_TRUE(list.names().contains(QStringLiteral("new.txt")));
  EXPECT_EQ(list.FileName(), QStringLiteral("b.txt"));
  list.setPath(tmp.path());
  EXPECT_TRUE(list.FileName().isEmpty());

  const QStringList before = list.names();
  try {
    list.setPath(tmp.file(QStringLiteral("gone")));
    ADD_FAILURE() << "no error";
  } catch (const ToolkitError& e) {
    EXPECT_EQ(e.Number(), err::PathNotFound);
    EXPECT_TRUE(e.Description().contains(QStringLiteral("gone")));
  }
  EXPECT_EQ(list.Path(), QDir::cleanPath(tmp.path()));
  EXPECT_EQ(list.names(), before);
  // A long name is shortened and the list never scrolls sideways.
  tmp.write(QStringLiteral("zz a name much too long for the narrow list.txt"), "x");
  list.resize(137, 136);
  list.setPattern(QStringLiteral("*.txt"));
  list.setPath(tmp.path());
  list.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
  for (int row = 0; row < list.ListCount(); ++row) {
    const QRect rect = list.visualRect(list.model()->index(row, 0));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, rect.center());
    EXPECT_FALSE(list.horizontalScrollBar()->isVisible()) << row;
    EXPECT_EQ(list.horizontalScrollBar()->value(), 0) << row;
    EXPECT_LE(rect.right(), list.viewport()->width()) << row;
  }
}

TEST_F(FileListBoxTest, DirectoryListShowsThePathFromTheRootThenSubfoldersByNameAndLevel) {
  for (const char* sub : {"Zeta", "alpha", ".secret"})
    QDir(tmp.path()).mkdir(QString::fromLatin1(sub));
  DirListBox dirs(nullptr, QStringLiteral("Dir1"));
  QSignalSpy changes(&dirs, &DirListBox::Change);
  dirs.setPath(tmp.path());
  EXPECT_EQ(changes.count(), 1);
  dirs.setPath(tmp.path());  // no change, no event
  EXPECT_EQ(changes.count(), 1);
  QStringList rows;
  for (int i = 0; i < dirs.count(); ++i) rows << dirs.item(i)->data(Qt::UserRole).toString();
  const QString root = QDir::cleanPath(tmp.path());
  const QStringList parts = root.split(u'/', Qt::SkipEmptyParts);
  ASSERT_EQ(rows.size(), parts.size() + 4);
  EXPECT_EQ(rows.first(), QStringLiteral("/"));
  EXPECT_EQ(rows[parts.size()], root);
  EXPECT_EQ(rows.mid(parts.size() + 1),
            (QStringList{root + "/alpha", root + "/folder.txt", root + "/Zeta"}));
  // Each heard by its name with its level.
  QAccessibleInterface* list = QAccessible::queryAccessibleInterface(&dirs);
  ASSERT_EQ(list->childCount(), rows.size());
  for (int i = 0; i < list->childCount(); ++i) {
    const QString name = i == 0 ? QStringLiteral("/") : rows[i].section(u'/', -1);
    EXPECT_EQ(list->child(i)->text(QAccessible::Name), name) << i;
    const int level = static_cast<int>(qMin<qsizetype>(i, parts.size() + 1)) + 1;
    EXPECT_EQ(list->child(i)->text(QAccessible::Description),
              QStringLiteral("Level %1").arg(level));
  }
  // Rows of the design height: the folder icons' larger drawings are for
  // screens of twice the pixels, not for larger rows.
  EXPECT_LE(dirs.visualItemRect(dirs.item(0)).height(), 20);
}

// The start volume keeps the folder the program started in.
TEST(DriveListTest, ADriveMovesToTheFolderLastVisitedOnItElseItsRootAndOpeningReadsVolumesAfresh) {
  TempDir start;
  TempDir media;
  fakes().volumes.list = {{QStringLiteral("/"), QStringLiteral("root"), true},
                          {QDir::cleanPath(media.path()), QStringLiteral("usb"), true},
                          {QStringLiteral("/nonexistent-volume"), QStringLiteral("cd"), false}};
  QDir(media.path()).mkdir(QStringLiteral("pics"));
  const QString before = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(start.path()));
  DirListBox dirs(nullptr, QStringLiteral("Dir1"));
  QDir::setCurrent(before);
  const QString startDir = QDir::cleanPath(start.path());
  const QString pics = QDir::cleanPath(media.file(QStringLiteral("pics")));
  EXPECT_EQ(dirs.Path(), startDir);
  const auto drive = [&](int i) {
    dirs.setPath(DriveListBox::designation(fakes().volumes.list[i]));
  };
  drive(1);
  EXPECT_EQ(dirs.Path(), QDir::cleanPath(media.path()));
  dirs.setPath(pics);
  drive(0);
  EXPECT_EQ(dirs.Path(), startDir);
  drive(1);
  EXPECT_EQ(dirs.Path(), pics);
  EXPECT_EQ(test::errorNumber([&] { drive(2); }), err::DeviceUnavailable);
  EXPECT_EQ(dirs.Path(), pics);
  EXPECT_EQ(DriveListBox::volumeRootOf(pics, fakes().volumes.list), QDir::cleanPath(media.path()));
  // Opening the list reads the volumes afresh, keeping the selection.
  fakes().volumes.list = {{QStringLiteral("/"), QStringLiteral("root"), true},
                          {QStringLiteral("/media/usb"), QStringLiteral("usb"), true}};
  DriveListBox drives(nullptr, QStringLiteral("Drive1"));
  drives.setDrive(QStringLiteral("/media/usb [usb]"));
  QSignalSpy changes(&drives, &DriveListBox::Change);
  // A stick plugged in appears...
  fakes().volumes.list.append({QStringLiteral("/media/cd"), QStringLiteral("cd"), true});
  drives.showPopup();
  drives.hidePopup();
  EXPECT_EQ(drives.count(), 3);
  EXPECT_EQ(drives.Drive(), QStringLiteral("/media/usb [usb]"));
  // ...and the selected one taken out leaves the selection on the volume
  // that held it, quietly.
  fakes().volumes.list.removeAt(1);
  drives.showPopup();
  drives.hidePopup();
  EXPECT_EQ(drives.count(), 2);
  EXPECT_EQ(drives.Drive(), QStringLiteral("/ [root]"));
  EXPECT_EQ(changes.count(), 0);
}

// Sends the events a real double-click makes on a row: press, release,
// press, double-click, release, with `between` run after the first click
// (the list refilled under the pointer, say).
void doubleClickRow(DirListBox& dirs, int row, const std::function<void()>& between = {}) {
  QWidget* viewport = dirs.viewport();
  const QPoint at = dirs.visualItemRect(dirs.item(row)).center();
  // As the window system stamps them: the double-click carries the time of
  // the press it came with.
  auto send = [&](QEvent::Type type, quint64 time) {
    QMouseEvent e(type, at, viewport->mapToGlobal(at), Qt::LeftButton,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                  Qt::NoModifier);
    e.setTimestamp(time);
    QApplication::sendEvent(viewport, &e);
  };
  static quint64 clock = 1000;
  clock += 1000;
  send(QEvent::MouseButtonPress, clock);
  send(QEvent::MouseButtonRelease, clock + 60);
  if (between) between();
  send(QEvent::MouseButtonPress, clock + 150);
  send(QEvent::MouseButtonDblClick, clock + 150);
  send(QEvent::MouseButtonRelease, clock + 210);
}

// Desktops that open items on a single click make the item view activate
// on each release.
class SingleClickStyle : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override {
    if (hint == SH_ItemView_ActivateItemOnSingleClick) return 1;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
  }
};

class DirListOpenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Two folders before work, so that opening it puts one of its own
    // subfolders where it stood.
    QDir top(tmp.path());
    top.mkpath(QStringLiteral("a"));
    top.mkpath(QStringLiteral("b"));
    top.mkpath(QStringLiteral("work/sub1/deeper"));
    for (const char* sub : {"work/sub2", "work/sub3", "work/sub4", "work/sub5"}) {
      top.mkpath(QString::fromLatin1(sub));
    }
    dirs.resize(200, 400);
    dirs.setPath(tmp.path());
  }
  int rowOf(const QString& path) const {
    for (int i = 0; i < dirs.count(); ++i) {
      if (dirs.item(i)->data(Qt::UserRole).toString() == path) return i;
    }
    return -1;
  }
  QString work() const { return QDir::cleanPath(tmp.file(QStringLiteral("work"))); }
  TempDir tmp;
  DirListBox dirs{nullptr, QStringLiteral("Dir1")};
};

TEST_F(DirListOpenTest, ADoubleClickOpensTheFolderItBeganOnOnceUnderAnyActivationStyle) {
  SingleClickStyle singleClick;
  for (QStyle* style : {static_cast<QStyle*>(nullptr), static_cast<QStyle*>(&singleClick)}) {
    if (style != nullptr) dirs.setStyle(style);
    dirs.setPath(tmp.path());
    QSignalSpy changes(&dirs, &DirListBox::Change);
    const int row = rowOf(work());
    ASSERT_GE(row, 0);
    doubleClickRow(dirs, row);
    // The row under the pointer now holds one of work's subfolders.
    ASSERT_NE(dirs.item(row)->data(Qt::UserRole).toString(), work());
    EXPECT_EQ(dirs.Path().toStdString(), work().toStdString());
    EXPECT_EQ(changes.count(), 1);
  }
}

TEST_F(DirListOpenTest, OneClickOrAClickBegunOnAnEarlierListingOpensNothingAndEnterOpens) {
  const int row = rowOf(work());
  ASSERT_GE(row, 0);
  QSignalSpy changes(&dirs, &DirListBox::Change);
  QTest::mouseClick(dirs.viewport(), Qt::LeftButton, Qt::NoModifier,
                    dirs.visualItemRect(dirs.item(row)).center());
  EXPECT_EQ(changes.count(), 0) << "a single click opens nothing";
  // The list is refilled between the two clicks, as a slow listing makes
  // the second click arrive after the refill.
  doubleClickRow(dirs, row, [this] { dirs.setPath(work()); });
  EXPECT_EQ(dirs.Path(), work());
  EXPECT_EQ(changes.count(), 1);
  const QString sub = work() + QStringLiteral("/sub1");
  dirs.setCurrentRow(rowOf(sub));
  QTest::keyClick(&dirs, Qt::Key_Return);
  EXPECT_EQ(dirs.Path(), sub);
}

TEST_F(DirListOpenTest, AClickBelowTheFoldersKeepsTheOpenOneHighlighted) {
  dirs.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dirs));
  const int open = rowOf(QDir::cleanPath(tmp.path()));
  ASSERT_GE(open, 0);
  ASSERT_EQ(dirs.currentRow(), open);
  QTest::mouseClick(dirs.viewport(), Qt::LeftButton, {}, QPoint(20, dirs.viewport()->height() - 5));
  EXPECT_EQ(dirs.currentRow(), open);
  EXPECT_TRUE(dirs.item(open)->isSelected());
}

}  // namespace
}  // namespace ostrel
