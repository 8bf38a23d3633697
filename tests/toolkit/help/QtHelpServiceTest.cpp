#include "toolkit/help/QtHelpService.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextLayout>

#include "tests/support/FakeServices.h"
#include "tests/support/TempDir.h"

namespace ostrel {
namespace {

const QByteArray kBook =
    "# Viewer Help\nK: contents\nWelcome.\n"
    "# Text window\nK: Save; Save As; Print\nSee [the viewer](topic:picture%20viewer).\n"
    "# Picture viewer\nK: picture viewer; scroll bars\nDrag a thumb.\n";

class QtHelpServiceTest : public ::testing::Test {
 protected:
  QString writeBook(const QByteArray& bytes = kBook) {
    return dir.write(QStringLiteral("HELP.HLP"), bytes);
  }
  // Opens the index as the program's Help command does; it must open.
  HelpViewer* index(const QString& file, QWidget* owner = nullptr) {
    EXPECT_TRUE(service.WinHelp(owner, file, help::PartialKey, QString()));
    return service.viewerFor(file);
  }
  const auto& boxes() { return test::fakes().messageBox.calls; }
  template <class T>
  static T* part(HelpViewer* viewer, const char* name) {
    return viewer->findChild<T*>(QLatin1String(name));
  }
  QStringList indexRows(HelpViewer* viewer) {
    QStringList rows;
    auto* list = part<QListWidget>(viewer, "helpIndex");
    for (int i = 0; i < list->count(); ++i) rows += list->item(i)->text();
    return rows;
  }
  QString topicText(HelpViewer* viewer) {
    return part<QTextBrowser>(viewer, "helpTopic")->toPlainText();
  }

  test::TempDir dir;
  QtHelpService service;
};

TEST_F(QtHelpServiceTest, PartialKeyShowsTheIndexTypingNarrowsItAndKeysContentsAndLinksOpenTopics) {
  const QString file = writeBook();
  HelpViewer* viewer = index(file);
  ASSERT_TRUE(viewer);
  EXPECT_TRUE(viewer->isVisible());
  EXPECT_EQ(viewer->windowTitle(), QStringLiteral("Viewer Help"));
  EXPECT_EQ(indexRows(viewer),
            (QStringList{"contents", "picture viewer", "Print", "Save", "Save As", "scroll bars"}));
  EXPECT_EQ(viewer->currentTopic(), 0);
  EXPECT_TRUE(boxes().empty());
  // Typing narrows the index and shows the first match.
  auto* filter = part<QLineEdit>(viewer, "helpFilter");
  QTest::keyClicks(filter, QStringLiteral("sav"));
  EXPECT_EQ(indexRows(viewer), (QStringList{"Save", "Save As"}));
  EXPECT_EQ(viewer->currentTopic(), 1);
  EXPECT_TRUE(topicText(viewer).contains(QStringLiteral("Text window")));
  for (int i = 0; i < 3; ++i) QTest::keyClick(filter, Qt::Key_Backspace);
  EXPECT_EQ(indexRows(viewer).size(), 6);
  // A partial key fills the filter in; a key, contents and links open topics.
  service.WinHelp(nullptr, file, help::PartialKey, QStringLiteral("scroll"));
  viewer = service.viewerFor(file);
  EXPECT_EQ(part<QLineEdit>(viewer, "helpFilter")->text(), QStringLiteral("scroll"));
  EXPECT_EQ(viewer->currentTopic(), 2);

  EXPECT_TRUE(service.WinHelp(nullptr, file, help::Key, QStringLiteral("print")));
  EXPECT_EQ(service.viewerFor(file), viewer);  // the same window, reused
  EXPECT_EQ(viewer->currentTopic(), 1);
  // A link names its topic by keyword.
  emit part<QTextBrowser>(viewer, "helpTopic")
      ->anchorClicked(QUrl(QStringLiteral("topic:picture%20viewer")));
  EXPECT_EQ(viewer->currentTopic(), 2);
  EXPECT_TRUE(service.WinHelp(nullptr, file, help::Contents, QString()));
  EXPECT_EQ(viewer->currentTopic(), 0);
}

TEST_F(QtHelpServiceTest, FileProblemsAreReportedNotThrownAndANarrowHeadingBreaksBetweenWords) {
  const QString fifo = dir.file(QStringLiteral("PIPE.HLP"));
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);

  struct Case {
    QString path;
    const char* words;
  };
  const Case cases[] = {{dir.file(QStringLiteral("MISSING.HLP")), "Cannot find"},
                        {dir.path(), "folder"},
                        {fifo, "special file"}};
  for (const Case& c : cases) {
    test::fakes().messageBox.calls.clear();
    EXPECT_FALSE(service.WinHelp(nullptr, c.path, help::PartialKey, QString()));
    ASSERT_EQ(boxes().size(), 1u) << c.words;
    EXPECT_EQ(boxes()[0].title, QStringLiteral("Help"));
    EXPECT_TRUE(boxes()[0].prompt.contains(QString::fromUtf8(c.words))) << c.words;
    EXPECT_TRUE(boxes()[0].prompt.contains(QDir::toNativeSeparators(c.path)));
    EXPECT_FALSE(service.viewerFor(c.path));
  }
  // A narrow topic breaks its heading only between words.
  QTextBrowser* topic = part<QTextBrowser>(index(writeBook()), "helpTopic");
  QTextDocument* document = topic->document();
  const QTextBlock heading = document->firstBlock();
  ASSERT_EQ(heading.text(), QStringLiteral("Viewer Help"));
  const QFontMetricsF metrics(heading.charFormat().font());
  document->setTextWidth(metrics.horizontalAdvance(QStringLiteral("Viewer")) * 0.8);
  QTextLayout* layout = heading.layout();
  ASSERT_GE(layout->lineCount(), 1);
  EXPECT_EQ(heading.text().left(layout->lineAt(0).textLength()).trimmed(),
            QStringLiteral("Viewer"));
}

}  // namespace
}  // namespace ostrel
