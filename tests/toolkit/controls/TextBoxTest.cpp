#include "tests/support/ShowFocused.h"
#include "toolkit/controls/TextBox.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QTest>

#include "toolkit/controls/TextLayoutCache.h"
#include "toolkit/text/TextDocument.h"

namespace ostrel {
namespace {

// A box on screen, as the user has it, with the keyboard focus.
class TextBoxTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(test::showFocused(box)); }
  void keys(const QString& text) { QTest::keyClicks(&box, text); }
  void key(Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::keyClick(&box, k, mods);
  }

  TextBox box{nullptr, QStringLiteral("Text1")};
};

TEST_F(TextBoxTest, LinesTheUserTypesPastesOrComposesTakeTheTextsOwnLineEnd) {
  box.setText(QStringLiteral("a\nb\r\nc\r\nd"));
  key(Qt::Key_End, Qt::ControlModifier);
  key(Qt::Key_Return);
  keys(QStringLiteral("new"));
  EXPECT_EQ(box.Text(), QStringLiteral("a\nb\r\nc\r\nd\r\nnew"));
  // A line split after the odd one: the odd line end stays, the new one is the common one.
  box.setCursorPosition(1);
  key(Qt::Key_Return);
  EXPECT_EQ(box.Text(), QStringLiteral("a\r\n\nb\r\nc\r\nd\r\nnew"));
  // Without any line end, CR LF; a text of lone CRs types CRs.
  box.setText(QStringLiteral("x"));
  key(Qt::Key_Return);
  EXPECT_EQ(box.Text(), QStringLiteral("\r\nx"));
  box.setText(QStringLiteral("a\rb\rc\nd"));
  key(Qt::Key_Return);
  EXPECT_EQ(box.Text(), QStringLiteral("\ra\rb\rc\nd"));
  box.setText(QStringLiteral("a\r\nb"));
  QApplication::clipboard()->setText(QStringLiteral("x\ny\rz"));
  key(Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(box.Text(), QStringLiteral("x\r\ny\r\nza\r\nb"));
  EXPECT_EQ(box.cursorPosition(), 7);
  // An input method composes and commits in place.
  box.setText(QStringLiteral("ab"));
  box.setCursorPosition(1);
  QInputMethodEvent compose(QString::fromUtf16(u"\u304B"), {});
  QApplication::sendEvent(&box, &compose);
  EXPECT_EQ(box.Text(), QStringLiteral("ab")) << "composing text is not yet the text";
  QInputMethodEvent commit;
  commit.setCommitString(QString::fromUtf16(u"\u6F22"));
  QApplication::sendEvent(&box, &commit);
  EXPECT_EQ(box.Text(), QString::fromUtf16(u"a\u6F22b"));
  EXPECT_EQ(box.inputMethodQuery(Qt::ImSurroundingText).toString(), box.Text());
  EXPECT_EQ(box.inputMethodQuery(Qt::ImCursorPosition).toInt(), 2);
  EXPECT_TRUE(box.inputMethodQuery(Qt::ImEnabled).toBool());
}

// A surrogate pair, Backspace at a line start and runs of Backspace go
// through the stock-editor and screen-reader tests; CR LF and Tab are ours.
TEST_F(TextBoxTest, KeysStepOverALineEndWholeTabTypesATabAndCutPasteAndSelectAllWork) {
  box.setText(QStringLiteral("ab\r\nc\rd"));
  key(Qt::Key_End);
  key(Qt::Key_Right);
  EXPECT_EQ(box.cursorPosition(), 4) << "CR LF is one step";
  key(Qt::Key_End);
  key(Qt::Key_Delete);
  EXPECT_EQ(box.Text(), QStringLiteral("ab\r\ncd")) << "Delete at a lone CR joins the lines";
  key(Qt::Key_Home);
  key(Qt::Key_Tab);
  EXPECT_EQ(box.Text(), QStringLiteral("ab\r\n\tcd"));
  EXPECT_TRUE(box.hasFocus());
  key(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(box.Text(), QStringLiteral("ab\r\ncd"));
  key(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(box.Text(), QStringLiteral("ab\r\nc\rd"));
  key(Qt::Key_Y, Qt::ControlModifier);
  EXPECT_EQ(box.Text(), QStringLiteral("ab\r\ncd"));
  // Selecting by Shift keys goes through the stock-editor test; cut, paste and select-all are ours.
  box.setText(QStringLiteral("one two\r\nthree"));
  key(Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(box.selectedText(), box.Text());
  key(Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("one two\nthree"))
      << "other programs take LF, as from the stock editor";
  EXPECT_EQ(box.Text(), QString());
  key(Qt::Key_V, Qt::ControlModifier);
  key(Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(box.Text(), QStringLiteral("one two\r\nthreeone two\r\nthree"));
  key(Qt::Key_A, Qt::ControlModifier);
  key(Qt::Key_Left);
  EXPECT_EQ(box.cursorPosition(), 0) << "Left ends a selection at its start";
  EXPECT_FALSE(box.hasSelection());
  key(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(box.Text(), QStringLiteral("one two\r\nthree"));
}

// A right-to-left line ends on its left: its selected line end is drawn
// right of the text, over no letter, whatever the screen's scale.
TEST_F(TextBoxTest, ASelectedLineEndHidesNoLetter) {
  box.setText(QString::fromUtf16(u"\u05E9\u05DC\u05D5\u05DD \u05E2\u05D5\u05DC\nx"));
  box.setCursorPosition(8);
  box.setCursorPosition(9, TextBox::Selection::Extend);
  const QRect leftmost = box.rectAt(7, 1);
  for (const qreal scale : {1.0, 1.5, 2.0}) {
    QImage shown(box.viewport()->size() * scale, QImage::Format_RGB32);
    shown.setDevicePixelRatio(scale);
    box.viewport()->render(&shown);
    int ink = 0;
    int marked = 0;
    for (int y = 0; y < leftmost.height() * scale; ++y) {
      for (int x = 0; x < shown.width(); ++x) {
        ink += leftmost.contains(QPoint(x, y) / scale) && qGray(shown.pixel(x, y)) < 64;
        marked += shown.pixel(x, y) == box.palette().highlight().color().rgb();
      }
    }
    EXPECT_TRUE(ink > 0 && marked > 0) << "at scale " << scale;
  }
}

TEST(TextLayoutCache, AnEditLaysOutAgainOnlyTheLinesItTouchedAndControlsShowWithoutBreakingIt) {
  TextDocument document;
  document.replace(0, 0, QStringLiteral("zero\none\ntwo\nthree"));
  TextLayoutCache cache;
  cache.setFont(QFont());
  const auto layout = [&](qint64 line) { return cache.get(document, line, 0, 400).layout.get(); };
  const QTextLayout* zero = layout(0);
  const QTextLayout* three = layout(3);
  layout(1);
  document.setChangeListener([&](const TextDocument::Change& c) { cache.apply(document, c); });
  document.replace(5, 0, QStringLiteral("x\ny"));  // "x" ends line 1, "yone" is new
  EXPECT_EQ(layout(0), zero);
  EXPECT_EQ(layout(4), three) << "the line below moved down, its layout with it";
  EXPECT_EQ(cache.get(document, 4, 0, 400).start, document.lineStart(4));
  EXPECT_EQ(layout(2)->text(), QStringLiteral("yone"));
  EXPECT_EQ(layout(1)->text(), QStringLiteral("x"));
  document.undo();
  EXPECT_EQ(layout(3), three);
  EXPECT_EQ(layout(1)->text(), QStringLiteral("one"));
  // Controls and separators are shown without breaking the line.
  const QString shown =
      TextLayoutCache::displayText(QStringView(u"a\u0000\u001A\u2028\u2029\tb", 7).toString());
  ASSERT_EQ(shown.size(), 7);
  EXPECT_EQ(shown, QString::fromUtf16(u"a\u2400\u241A\u2424\u2424\tb"));
}

}  // namespace
}  // namespace ostrel
