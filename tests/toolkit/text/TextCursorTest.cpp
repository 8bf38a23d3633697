#include "toolkit/text/TextCursor.h"

#include <gtest/gtest.h>

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

  TextDocument document;
  TextCursor cursor{&document};
};

TEST_F(TextCursorTest, BackspaceAndDeleteRunsUndoAtOnceAndEditsElsewhereKeepTheSelection) {
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
  // Edits elsewhere keep the selection on its text.
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
