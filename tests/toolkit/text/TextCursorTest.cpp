#include "toolkit/text/TextCursor.h"

#include <gtest/gtest.h>

#include <vector>

#include "toolkit/text/TextDocument.h"

namespace ostrel {
namespace {

using Motion = TextCursor::Motion;
using Selection = TextCursor::Selection;

class TextCursorTest : public ::testing::Test {
 protected:
  TextCursorTest() {
    document.setChangeListener([this](const TextDocument::Change& c) { cursor.adjust(c); });
  }
  void setText(const char16_t* text) {
    document.replace(0, document.length(), QString::fromUtf16(text));
    document.clearUndo();
    cursor.setPosition(0);
  }
  // The positions Right stops at from the start to the end.
  std::vector<qint64> stops(Motion motion = Motion::Right) {
    std::vector<qint64> out;
    cursor.setPosition(0);
    for (int guard = 0; guard < 100 && cursor.position() < document.length(); ++guard) {
      cursor.move(motion, Selection::Collapse);
      out.push_back(cursor.position());
    }
    return out;
  }

  TextDocument document;
  TextCursor cursor{&document};
};

TEST_F(TextCursorTest, BackspaceTakesOneCodePointButALineEndOrAPairWhole) {
  setText(u"e\u0301\r\n\U0001F600");
  cursor.setPosition(document.length());
  cursor.deletePrevious();
  EXPECT_EQ(document.toString(), QString::fromUtf16(u"e\u0301\r\n"));
  cursor.deletePrevious();
  EXPECT_EQ(document.toString(), QString::fromUtf16(u"e\u0301"));
  cursor.deletePrevious();
  EXPECT_EQ(document.toString(), QStringLiteral("e"));
}

struct WordCase {
  const char* name;
  const char16_t* text;
  std::vector<qint64> right;
};

class TextCursorWords : public TextCursorTest, public ::testing::WithParamInterface<WordCase> {};

// One rule (Unicode word segmentation): a word move passes a word or a run
// of punctuation and the spaces after it.
TEST_P(TextCursorWords, StopAtWordStartsAndBackAgain) {
  setText(GetParam().text);
  const std::vector<qint64> right = stops(Motion::WordRight);
  EXPECT_EQ(right, GetParam().right);
  std::vector<qint64> left;
  for (int guard = 0; guard < 100 && cursor.position() > 0; ++guard) {
    cursor.move(Motion::WordLeft, Selection::Collapse);
    left.insert(left.begin(), cursor.position());
  }
  // Backwards the stops are the same places (the end aside).
  std::vector<qint64> expected = {0};
  expected.insert(expected.end(), right.begin(), right.end() - 1);
  EXPECT_EQ(left, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TextCursorWords,
    ::testing::Values(WordCase{"spaces", u"hello  world x", {7, 13, 14}},
                      WordCase{"dot_splits_apostrophe_joins", u"foo.bar it's", {3, 4, 8, 12}},
                      WordCase{"punctuation_runs", u"a -- (b)", {2, 5, 6, 7, 8}},
                      WordCase{"digits_and_underscore", u"x_1 3.5", {4, 7}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TextCursorTest, BackspaceAndDeleteRunsUndoAtOnce) {
  setText(u"hello world");
  cursor.setPosition(5);
  cursor.deletePrevious();
  cursor.deletePrevious();
  cursor.deleteNext();
  cursor.deleteNext();
  EXPECT_EQ(document.toString(), QStringLiteral("helorld"));
  document.undo();
  EXPECT_EQ(document.toString(), QStringLiteral("hello world"));
  EXPECT_FALSE(document.canUndo());
  // A move between deletions starts a new step.
  cursor.setPosition(0);
  cursor.deleteNext();
  cursor.setPosition(3);
  cursor.deleteNext();
  document.undo();
  EXPECT_EQ(document.toString(), QStringLiteral("ello world"));
}

TEST_F(TextCursorTest, EditsElsewhereKeepTheSelectionOnItsText) {
  setText(u"one two three");
  cursor.select(4, 7);
  document.replace(0, 3, QStringLiteral("1"));
  EXPECT_EQ(cursor.selectedText(), QStringLiteral("two"));
  document.replace(10, 0, QStringLiteral("!"));
  EXPECT_EQ(cursor.selectedText(), QStringLiteral("two"));
  document.replace(3, 2, QString());  // into the selection
  EXPECT_EQ(cursor.selectedText(), QStringLiteral("t"));
}

}  // namespace
}  // namespace ostrel
