#include "toolkit/controls/FindDialog.h"

#include <gtest/gtest.h>

#include <QtGui/private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>

#include <QAccessible>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include "tests/support/AllocationFault.h"
#include "tests/support/FakeServices.h"
#include "toolkit/Services.h"
#include "toolkit/controls/TextBox.h"
#include "toolkit/jobs/JobService.h"
#include "toolkit/jobs/ThreadJobRunner.h"
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
  // The boxes under the field, each as a test needs it whatever an earlier
  // window left.
  struct Options {
    bool matchCase = false;
    bool wholeWords = false;
    bool wrapAround = true;
  };
  FindDialog& open(FindDialog::Mode mode, Options options) {
    FindDialog& d = open(mode);
    d.matchCase()->setChecked(options.matchCase);
    d.wholeWords()->setChecked(options.wholeWords);
    d.regularExpression()->setChecked(false);
    d.wrapAround()->setChecked(options.wrapAround);
    return d;
  }
  // Finds text from the end of the box, as typed and sent with Enter.
  void findFromTheEnd(const QString& text) {
    box->setCursorPosition(box->document().length());
    type(dialog->findEdit(), text);
    press(Qt::Key_Return);
    settle();
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

TEST_F(FindDialogTest, EnterFindsTheNextMatchTheCountSaysWhichItIsAndWithoutWrappingItStops) {
  FindDialog& d = open(FindDialog::Mode::Find, {.wholeWords = true});
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

  // Without wrapping the end is where it stops.
  open(FindDialog::Mode::Find, {.matchCase = true, .wrapAround = false});
  findFromTheEnd(QStringLiteral("cat"));
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
  FindDialog& d = open(FindDialog::Mode::Replace, {});
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

// The search's own jobs wait for the test: progress and Cancel show after
// a moment, Cancel answers at once, and the cancelled search says nothing more.
TEST_F(FindDialogTest, ALongSearchShowsProgressAndCancels) {
  test::FakeJobRunner& jobs = *test::fakes().jobRunner;
  FindDialog& d = open(FindDialog::Mode::Find);
  d.regularExpression()->setChecked(true);
  d.wrapAround()->setChecked(false);
  type(d.findEdit(), QStringLiteral("t\\w+"));
  jobs.holding = true;
  press(Qt::Key_Return);
  ASSERT_TRUE(d.busy());
  ASSERT_TRUE(waitFor([&] { return d.progress()->isVisible(); }));
  EXPECT_TRUE(d.cancelButton()->isVisible());
  QTest::mouseClick(d.cancelButton(), Qt::LeftButton);
  EXPECT_FALSE(d.busy());
  EXPECT_TRUE(d.status().startsWith(QStringLiteral("The search was cancelled.")));
  EXPECT_FALSE(d.progress()->isVisible());
  jobs.runAll();
  EXPECT_FALSE(box->hasSelection()) << "a cancelled search selected its match";
  EXPECT_TRUE(d.status().startsWith(QStringLiteral("The search was cancelled.")));
}

// Out of memory, or any other failure, in a search, a count or a Replace
// All: one message box, the window says so, the text is as it was.
TEST_F(FindDialogTest, RunningOutOfMemoryInAnySearchEndsInAMessage) {
  test::FakeJobRunner& jobs = *test::fakes().jobRunner;
  FindDialog& d = open(FindDialog::Mode::Replace);
  type(d.findEdit(), QStringLiteral("cat"));
  type(d.replaceEdit(), QStringLiteral("dog"));
  jobs.failure = std::make_exception_ptr(std::bad_alloc());
  d.findNext();
  d.replaceAll();
  ASSERT_TRUE(waitFor([&] { return test::fakes().messageBox.calls.size() >= 3; }))
      << "the count, started when typing paused, fails too";
  for (const auto& call : test::fakes().messageBox.calls) {
    EXPECT_EQ(call.prompt, QStringLiteral("There is not enough memory to finish this."));
  }
  EXPECT_FALSE(d.busy());
  jobs.failure = nullptr;
  // Replace All out of memory while it lists a great many matches.
  box->setText(QStringLiteral("cat ").repeated(20000));
  test::fakes().messageBox.calls.clear();
  {
    const test::AllocationFault fault(64 * 1024);
    d.replaceAll();
  }
  ASSERT_EQ(test::fakes().messageBox.calls.size(), 1u);
  EXPECT_EQ(box->Text(), QStringLiteral("cat ").repeated(20000));
  EXPECT_TRUE(d.status().startsWith(QStringLiteral("There is not enough memory")));
}

// What a search says is told to a screen reader as an alert, and the count
// under a note of two lines is shown whole.
TEST_F(FindDialogTest, WhatTheSearchSaysIsToldToScreenReadersAndTheCountBelowItFits) {
  QGuiApplicationPrivate::platformIntegration()->accessibility()->setActive(true);
  static std::vector<std::pair<QAccessible::Role, QString>> told;
  told.clear();
  const QAccessible::UpdateHandler previous =
      QAccessible::installUpdateHandler([](QAccessibleEvent* event) {
        if (event->type() != QAccessible::ObjectShow) return;
        if (QAccessibleInterface* shown = event->accessibleInterface()) {
          told.emplace_back(shown->role(), shown->text(QAccessible::Name));
        }
      });
  FindDialog& d = open(FindDialog::Mode::Find, {});
  findFromTheEnd(QStringLiteral("four"));
  ASSERT_TRUE(waitFor([&] { return d.status().endsWith(QStringLiteral("1 of 1")); }))
      << d.status().toStdString();
  QAccessible::installUpdateHandler(previous);
  const auto alert = std::find_if(told.begin(), told.end(), [](const auto& t) {
    return t.first == QAccessible::AlertMessage &&
           t.second == QStringLiteral("Passed the end of the text; went on from the start.");
  });
  EXPECT_NE(alert, told.end()) << "the wrap-around note was not told";
  QLabel* status = nullptr;
  for (QLabel* label : d.findChildren<QLabel*>()) {
    if (label->text() == d.status()) status = label;
  }
  ASSERT_NE(status, nullptr);
  QCoreApplication::processEvents();
  EXPECT_GE(status->height(), status->heightForWidth(status->width())) << "the count is cut";
  EXPECT_LE(status->geometry().bottom(), d.rect().bottom());
}

// A count over a line of 40 MB runs on a worker; starting it again, hiding
// the window and closing it never wait for it.
TEST_F(FindDialogTest, TheWindowWaitsForNoCountItRestartsHidesOrCloses) {
  JobService threads(std::make_unique<ThreadJobRunner>(), [](const ToolkitError&) {});
  JobService* const fakeJobs = services().jobs;
  services().jobs = &threads;
  // One line of 40 MB.
  const QByteArray line = QByteArray("the whale swims near the wharf ").repeated(1300000);
  box->setDocument(TextDocument::fromBytes(line, TextCodec::detect(line)));
  FindDialog& d = open(FindDialog::Mode::Find);
  d.regularExpression()->setChecked(true);
  // A word said twice: none, and seconds of work.
  type(d.findEdit(), QStringLiteral("\\b(\\w+)\\s+\\1\\b"));
  const auto longestWait = [&](const std::function<void()>& step) {
    // The count starts once typing has paused.
    QTest::qWait(300);
    QElapsedTimer clock;
    clock.start();
    step();
    return clock.elapsed();
  };
  EXPECT_LT(longestWait([&] {
              d.matchCase()->toggle();
              QTest::qWait(200);
            }),
            400)
      << "restarting the count";
  EXPECT_LT(longestWait([&] { d.hide(); }), 100) << "hiding the window";
  d.open(FindDialog::Mode::Find);
  EXPECT_LT(longestWait([&] { dialog.reset(); }), 100) << "closing the window";
  services().jobs = fakeJobs;
  EXPECT_TRUE(waitFor([] { return ThreadJobRunner::threadsRunning() == 0; }));
}

}  // namespace
}  // namespace ostrel
