#include "toolkit/help/HelpBook.h"

#include <gtest/gtest.h>

namespace ostrel {
namespace {

QStringList keywordsOf(const QList<HelpBook::IndexEntry>& entries) {
  QStringList out;
  for (const auto& entry : entries) out += entry.keyword;
  return out;
}

const QByteArray kBook =
    "This preamble is not shown.\n"
    "# Main window\n"
    "K: drive list; directory list\n"
    "K: file list;  ; Main window\n"
    "\n"
    "The **main** window.\n"
    "```\n"
    "# not a topic inside a fence\n"
    "K: not keywords either\n"
    "```\n"
    "\n\n"
    "# Text window\n"
    "K: Save; printing\n"
    "Text body.\n"
    "K: a late K line is body text\n"
    "# Loose topic\n"
    "No keywords here.\n";

// The same book, also with a byte order mark and CR LF line ends.
QByteArray bomAndCrLf(QByteArray book) {
  return "\xEF\xBB\xBF" + book.replace("\n", "\r\n");
}

TEST(HelpBookTest, SplitsTopicsSortsItsIndexAndFindTopicPrefersKeywordThenTitleThenPrefix) {
  for (const QByteArray& bytes : {kBook, bomAndCrLf(kBook)}) {
    SCOPED_TRACE(bytes.size());
    const HelpBook book = HelpBook::parse(bytes);
    ASSERT_EQ(book.topics().size(), 3);
    const auto& main = book.topics()[0];
    EXPECT_EQ(main.title, QStringLiteral("Main window"));
    EXPECT_EQ(main.keywords,
              (QStringList{QStringLiteral("drive list"), QStringLiteral("directory list"),
                           QStringLiteral("file list"), QStringLiteral("Main window")}));
    EXPECT_TRUE(main.body.startsWith(QStringLiteral("The **main** window.")));
    EXPECT_TRUE(main.body.contains(QStringLiteral("# not a topic inside a fence")));
    EXPECT_TRUE(main.body.endsWith(QStringLiteral("```")));  // trailing blank lines dropped
    EXPECT_FALSE(main.body.contains(u'\r'));
    EXPECT_TRUE(book.topics()[1].body.contains(QStringLiteral("K: a late K line")));
    EXPECT_TRUE(book.markdownOf(1).startsWith(QStringLiteral("# Text window\n\nText body.")));
  }
  const HelpBook book = HelpBook::parse(kBook);
  // Topics without keywords are listed by their title.
  EXPECT_EQ(keywordsOf(book.index()),
            (QStringList{"directory list", "drive list", "file list", "Loose topic", "Main window",
                         "printing", "Save"}));
  EXPECT_EQ(keywordsOf(book.matching(QStringLiteral("LIST"))),
            (QStringList{"directory list", "drive list", "file list"}));
  EXPECT_EQ(book.matching(QStringLiteral("  ")).size(), book.index().size());
  EXPECT_TRUE(book.matching(QStringLiteral("zebra")).isEmpty());
  EXPECT_EQ(book.findTopic(QStringLiteral("save")), 1);
  EXPECT_EQ(book.findTopic(QStringLiteral("text WINDOW")), 1);
  EXPECT_EQ(book.findTopic(QStringLiteral("dri")), 0);
  EXPECT_EQ(book.findTopic(QStringLiteral("zebra")), -1);
  EXPECT_EQ(book.findTopic(QString()), -1);
}

}  // namespace
}  // namespace ostrel
