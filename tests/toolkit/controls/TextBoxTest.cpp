#include "toolkit/controls/TextBox.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QTextBlock>

namespace ostrel {
namespace {

struct Case {
  const char* name;
  const char16_t* text;
};

class TextBoxKeepsLineEnds : public ::testing::TestWithParam<Case> {};

TEST_P(TextBoxKeepsLineEnds, GivesBackTheTextItWasGiven) {
  TextBox box(nullptr, QStringLiteral("Text1"));
  const QString text = QString::fromUtf16(GetParam().text);
  box.setText(text);
  EXPECT_EQ(box.Text(), text);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TextBoxKeepsLineEnds,
    ::testing::Values(Case{"empty", u""}, Case{"lf", u"one\ntwo\n"}, Case{"crlf", u"a\r\nb"},
                      Case{"cr", u"a\rb\r\r"}, Case{"mixed", u"a\r\nb\nc\rd\r\n\n\r\re"},
                      Case{"cr_before_crlf", u"\r\r\n\n\r"},
                      Case{"nul_nbsp_and_controls", u"a\u0000b\u00A0c\u001A\u0081\u2028d\n"},
                      Case{"separators", u"a\u2029b\uFDD0c\uFDD1d\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TextBox, LinesTheUserAddsTakeTheTextsOwnLineEnd) {
  TextBox box(nullptr, QStringLiteral("Text1"));
  box.setText(QStringLiteral("a\nb\r\nc\r\nd"));
  QTextCursor cursor(box.document());
  cursor.movePosition(QTextCursor::End);
  box.setTextCursor(cursor);
  QTest::keyClick(&box, Qt::Key_Return);
  QTest::keyClicks(&box, QStringLiteral("new"));
  EXPECT_EQ(box.Text(), QStringLiteral("a\nb\r\nc\r\nd\r\nnew"));
  // A line split after the odd one: that line keeps its own end.
  cursor.setPosition(1);
  box.setTextCursor(cursor);
  QTest::keyClick(&box, Qt::Key_Return);
  EXPECT_EQ(box.Text(), QStringLiteral("a\n\r\nb\r\nc\r\nd\r\nnew"));
}

TEST(TextBox, FontSizeIsAbsoluteAndTheTextStaysUntouched) {
  TextBox box(nullptr, QStringLiteral("Text1"));
  box.setText(QStringLiteral("x\r\n"));
  box.setFontSize(12);
  box.setFontSize(12);
  EXPECT_FLOAT_EQ(box.FontSize(), 12);
  box.setFontSize(10);
  EXPECT_FLOAT_EQ(box.FontSize(), 10);
  EXPECT_EQ(box.Text(), QStringLiteral("x\r\n"));
  EXPECT_EQ(box.lineWrapMode(), QPlainTextEdit::NoWrap);
}

}  // namespace
}  // namespace ostrel
