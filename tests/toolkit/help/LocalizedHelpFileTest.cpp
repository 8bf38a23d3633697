#include "toolkit/help/LocalizedHelpFile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QUrl>

#include "tests/support/TempDir.h"
#include "toolkit/help/HelpBook.h"

namespace ostrel {
namespace {

class LocalizedHelpFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    english = dir.write(QStringLiteral("BOOK.HLP"), "# Book\nEnglish.\n");
    german = dir.write(QStringLiteral("BOOK.de.HLP"), "# Buch\nDeutsch.\n");
  }
  test::TempDir dir;
  QString english;
  QString german;
};

// The first wanted language with a book wins; English, an unknown language
// or none gives the named file.
TEST_F(LocalizedHelpFileTest, TheFirstWantedLanguageWithABookWinsAndATagCannotLeadOut) {
  EXPECT_EQ(localizedHelpFile(english, {"de-DE", "de"}), german);
  EXPECT_EQ(localizedHelpFile(english, {"fr-FR", "fr", "de"}), german);
  const QString austrian = dir.write(QStringLiteral("BOOK.de_AT.HLP"), "# Buch\nÖsterreich.\n");
  EXPECT_EQ(localizedHelpFile(english, {"de-AT"}), austrian);
  EXPECT_EQ(localizedHelpFile(english, {"de-CH"}), german);
  EXPECT_EQ(localizedHelpFile(english, {"en-US", "de"}), english);
  EXPECT_EQ(localizedHelpFile(english, {}), english);
  EXPECT_EQ(localizedHelpFile(QString(), {"de"}), QString());
  // Only a file counts: a folder of that name is not a book.
  QDir(dir.path()).mkdir(QStringLiteral("BOOK.fr.HLP"));
  EXPECT_EQ(localizedHelpFile(english, {"fr"}), english);
  // LANGUAGE comes from the environment; a tag cannot name a file elsewhere.
  dir.write(QStringLiteral("sub/x.HLP"), "# Elsewhere\n");
  dir.write(QStringLiteral("BOOK./sub/x.HLP"), "# Elsewhere\n");
  for (const char* tag : {"/sub/x", "../BOOK", "de/../de", "de.x", "", "de de"}) {
    EXPECT_EQ(localizedHelpFile(english, {QString::fromLatin1(tag)}), english) << tag;
  }
  EXPECT_EQ(localizedHelpFile(english, {QStringLiteral("../x"), QStringLiteral("de")}), german);
}

HelpBook shippedBook(const QString& name) {
  QFile file(QStringLiteral(OSTREL_SOURCE_DIR "/resources/help/") + name);
  EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
  return HelpBook::parse(file.readAll());
}

QStringList brokenLinks(const HelpBook& book) {
  static const QRegularExpression link(QStringLiteral(R"(\]\(topic:([^)]*)\))"));
  QStringList broken;
  for (const HelpBook::Topic& topic : book.topics()) {
    for (const QRegularExpressionMatch& m : link.globalMatch(topic.body)) {
      const QString keyword = QUrl::fromPercentEncoding(m.captured(1).toUtf8());
      if (book.findTopic(keyword) < 0) broken += topic.title + QStringLiteral(" → ") + keyword;
    }
  }
  return broken;
}

// The books we ship: every topic has keywords, the windows and commands a
// user asks about can be found, and the German book is a translation of the
// English one whose links lead to its own topics under their German keywords.
TEST(ShippedHelpBooks, CoverTheProgramMatchEachOtherAndTheirLinksResolve) {
  const HelpBook english = shippedBook(QStringLiteral("OSTREL_VIEWER.HLP"));
  const HelpBook german = shippedBook(QStringLiteral("OSTREL_VIEWER.de.HLP"));
  ASSERT_GE(english.topics().size(), 6);
  EXPECT_EQ(german.topics().size(), english.topics().size());
  EXPECT_EQ(brokenLinks(english), QStringList());
  EXPECT_EQ(brokenLinks(german), QStringList());
  for (const HelpBook* book : {&english, &german})
    for (const HelpBook::Topic& topic : book->topics())
      EXPECT_FALSE(topic.keywords.isEmpty()) << topic.title.toStdString();
  for (const char* word : {"drive list", "directory list", "file list", "file types", "preview",
                           "About", "Help", "Exit", "picture viewer", "scroll bars", "text window",
                           "Save", "Save As", "Print", "12-point", "10-point", "BMP", "HTML"})
    EXPECT_GE(english.findTopic(QString::fromUtf8(word)), 0) << word;
}

}  // namespace
}  // namespace ostrel
