#include "toolkit/controls/FindDialog.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include "toolkit/controls/TextBox.h"
#include "toolkit/text/TextDocument.h"

namespace ostrel {
namespace {

bool waitFor(const std::function<bool()>& done) {
  return QTest::qWaitFor(done, 20000);
}

// A text box in a window with its find window, driven by keys as the user does.
class FindDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    box->resize(500, 300);
    owner.resize(520, 320);
    owner.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
    box->setText(QStringLiteral("one Cat\r\ntwo cat\r\nthree CAT concatenate\r\nfour"));
  }
  void TearDown() override { dialog.reset(); }

  FindDialog& open(FindDialog::Mode mode) {
    if (!dialog) dialog = std::make_unique<FindDialog>(box, &owner);
    dialog->open(mode);
    EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    return *dialog;
  }
  // Types into the field with the focus, replacing what it held.
  void type(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    for (const QChar c : text) {
      if (c.unicode() < 0x80) {
        QTest::keyClick(edit, c.toLatin1());
      } else {
        // A key of a keyboard laid out for it.
        QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
      }
    }
  }
  void press(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QWidget* target = dialog->focusWidget() ? dialog->focusWidget() : dialog.get();
    QTest::keyClick(target, key, mods);
  }
  void settle() {
    EXPECT_TRUE(waitFor([&] { return !dialog->busy(); }));
  }
  QString selected() const { return box->selectedText(); }
  qint64 selectionStart() const { return qMin(box->cursorPosition(), box->anchorPosition()); }

  QWidget owner;
  TextBox* box = new TextBox(&owner, QStringLiteral("Text1"));
  std::unique_ptr<FindDialog> dialog;
};

TEST_F(FindDialogTest, EnterFindsTheNextMatchAndTheCountSaysWhichItIs) {
  FindDialog& d = open(FindDialog::Mode::Find);
  d.matchCase()->setChecked(false);
  d.wholeWords()->setChecked(true);
  d.regularExpression()->setChecked(false);
  d.wrapAround()->setChecked(true);
  type(d.findEdit(), QStringLiteral("cat"));
  press(Qt::Key_Return);
  settle();
  EXPECT_EQ(selected(), QStringLiteral("Cat"));
  EXPECT_EQ(selectionStart(), 4);
  EXPECT_TRUE(waitFor([&] { return d.status() == QStringLiteral("1 of 3"); }))
      << d.status().toStdString();

  press(Qt::Key_F3);
  settle();
  EXPECT_EQ(selectionStart(), 13);
  press(Qt::Key_F3);
  settle();
  EXPECT_EQ(selected(), QStringLiteral("CAT"));
  EXPECT_TRUE(waitFor([&] { return d.status() == QStringLiteral("3 of 3"); }));
  // On past the end, round to the first.
  press(Qt::Key_F3);
  settle();
  EXPECT_EQ(selectionStart(), 4);
  EXPECT_TRUE(d.status().startsWith(QStringLiteral("Passed the end")));
  press(Qt::Key_F3, Qt::ShiftModifier);
  settle();
  EXPECT_EQ(selected(), QStringLiteral("CAT"));
}

TEST_F(FindDialogTest, WithoutWrappingTheEndIsWhereItStops) {
  FindDialog& d = open(FindDialog::Mode::Find);
  d.wrapAround()->setChecked(false);
  d.matchCase()->setChecked(true);
  d.wholeWords()->setChecked(false);
  d.regularExpression()->setChecked(false);
  box->setCursorPosition(box->document().length());
  type(d.findEdit(), QStringLiteral("cat"));
  press(Qt::Key_Return);
  settle();
  EXPECT_FALSE(box->hasSelection());
  EXPECT_EQ(d.status().section(u'\n', 0, 0), QString::fromUtf16(u"“cat” was not found."));
}

TEST_F(FindDialogTest, EscapeClosesAndTheTextIsRememberedForTheNextWindow) {
  FindDialog& d = open(FindDialog::Mode::Find);
  type(d.findEdit(), QStringLiteral("three"));
  // Matches in view are marked while the window is open, and only then.
  EXPECT_EQ(box->highlighter()(box->document().lineText(2)), (QList<QPair<int, int>>{{0, 5}}));
  press(Qt::Key_Escape);
  EXPECT_FALSE(d.isVisible());
  EXPECT_FALSE(box->highlighter());
  dialog.reset();
  FindDialog& again = open(FindDialog::Mode::Find);
  EXPECT_EQ(again.findEdit()->text(), QStringLiteral("three"));
  EXPECT_EQ(again.findEdit()->selectedText(), QStringLiteral("three"));
  // A short selection in the text is offered instead.
  box->setCursorPosition(0);
  box->setCursorPosition(3, TextBox::Selection::Extend);
  again.open(FindDialog::Mode::Find);
  EXPECT_EQ(again.findEdit()->text(), QStringLiteral("one"));
}

TEST_F(FindDialogTest, ReplaceChangesTheSelectedMatchAndReplaceAllIsOneUndo) {
  FindDialog& d = open(FindDialog::Mode::Replace);
  d.matchCase()->setChecked(false);
  d.wholeWords()->setChecked(false);
  d.regularExpression()->setChecked(false);
  d.wrapAround()->setChecked(true);
  const QString original = box->Text();
  type(d.findEdit(), QStringLiteral("cat"));
  type(d.replaceEdit(), QStringLiteral("dog"));
  press(Qt::Key_Return);
  settle();
  EXPECT_EQ(selected(), QStringLiteral("Cat"));
  d.replace();
  settle();
  EXPECT_TRUE(box->Text().startsWith(QStringLiteral("one dog\r\ntwo cat")));
  EXPECT_EQ(selectionStart(), 13);

  d.replaceAll();
  settle();
  EXPECT_EQ(box->Text(), QStringLiteral("one dog\r\ntwo dog\r\nthree dog condogenate\r\nfour"));
  EXPECT_EQ(d.status().section(u'\n', 0, 0), QStringLiteral("Replacements made: 3."));
  box->undo();
  EXPECT_EQ(box->Text(), QStringLiteral("one dog\r\ntwo cat\r\nthree CAT concatenate\r\nfour"));
  box->undo();
  EXPECT_EQ(box->Text(), original);
}

TEST_F(FindDialogTest, ProblemsWithTheNeedleAreSaidPlainly) {
  FindDialog& d = open(FindDialog::Mode::Find);
  d.regularExpression()->setChecked(true);
  type(d.findEdit(), QStringLiteral("ca(t"));
  press(Qt::Key_Return);
  EXPECT_FALSE(d.busy());
  EXPECT_TRUE(d.status().contains(QStringLiteral("not a valid regular expression")));

  d.regularExpression()->setChecked(false);
  box->setDocument(TextDocument::fromBytes("caf\xE9", TextCodec::detect("caf\xE9")));
  type(d.findEdit(), QString::fromUtf16(u"Ж"));
  press(Qt::Key_Return);
  settle();
  EXPECT_TRUE(d.status().contains(QString::fromUtf16(u"has no “Ж”"))) << d.status().toStdString();
}

TEST(FindDialogLines, ReadsLineAndColumn) {
  using P = FindDialog::LinePosition;
  const struct {
    const char* text;
    std::optional<P> expected;
  } cases[] = {
      {"12", P{12, 1}},    {" 12 : 5 ", P{12, 5}},  {"7,3", P{7, 3}},
      {"0", std::nullopt}, {"3:0", std::nullopt},   {"-1", std::nullopt},
      {"", std::nullopt},  {"1:2:3", std::nullopt}, {"99999999999999999999", std::nullopt}};
  for (const auto& c : cases) {
    const auto got = FindDialog::parseLinePosition(QString::fromLatin1(c.text));
    ASSERT_EQ(got.has_value(), c.expected.has_value()) << c.text;
    if (got) {
      EXPECT_EQ(got->line, c.expected->line) << c.text;
      EXPECT_EQ(got->column, c.expected->column) << c.text;
    }
  }
}

TEST_F(FindDialogTest, ALongSearchShowsProgressAndCancels) {
  // A pattern that never matches, and tries hard at every word, over some 40 MB.
  const QByteArray line("the quick brown fox jumps over the lazy dog, again and again 1234\n");
  box->setDocument(TextDocument::fromBytes(line.repeated(600000), TextCodec::detect(line)));
  FindDialog& d = open(FindDialog::Mode::Find);
  d.regularExpression()->setChecked(true);
  d.wrapAround()->setChecked(false);
  type(d.findEdit(), QStringLiteral("(?:\\w+\\s)*\\d{9}"));
  press(Qt::Key_Return);
  ASSERT_TRUE(d.busy());
  ASSERT_TRUE(waitFor([&] { return d.progress()->isVisible() || !d.busy(); }));
  if (!d.busy())
    GTEST_SKIP() << "searched faster than the progress delay: " << d.status().toStdString();
  EXPECT_TRUE(d.cancelButton()->isVisible());
  QTest::mouseClick(d.cancelButton(), Qt::LeftButton);
  settle();
  EXPECT_TRUE(d.status().startsWith(QStringLiteral("The search was cancelled.")));
  EXPECT_FALSE(d.progress()->isVisible());
}

}  // namespace
}  // namespace ostrel
