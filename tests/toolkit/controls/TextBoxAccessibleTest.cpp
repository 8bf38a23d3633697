#include "tests/support/ShowFocused.h"
#include "toolkit/controls/TextBoxAccessible.h"

#include <gtest/gtest.h>

#include <QtGui/private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>
#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QTest>
#include <vector>

#include "toolkit/controls/TextBox.h"

namespace ostrel {
namespace {

// What a screen reader was told, as the platform's bridge passes it on.
struct Heard {
  QAccessible::Event type;
  int position = -1;  // change position, caret, or selection start
  QString removed;
  QString inserted;
};

std::vector<Heard>& heard() {
  static std::vector<Heard> events;
  return events;
}

QObject*& listenedTo() {
  static QObject* object = nullptr;
  return object;
}

void record(QAccessibleEvent* event) {
  if (event->object() != listenedTo()) return;
  Heard h{event->type()};
  if (event->type() == QAccessible::TextRemoved) {
    auto* e = static_cast<QAccessibleTextRemoveEvent*>(event);
    h = {h.type, e->changePosition(), e->textRemoved()};
  } else if (event->type() == QAccessible::TextUpdated) {
    auto* e = static_cast<QAccessibleTextUpdateEvent*>(event);
    h = {h.type, e->changePosition(), e->textRemoved(), e->textInserted()};
  } else if (event->type() == QAccessible::TextCaretMoved) {
    h.position = static_cast<QAccessibleTextCursorEvent*>(event)->cursorPosition();
  } else if (event->type() == QAccessible::TextSelectionChanged) {
    h.position = static_cast<QAccessibleTextSelectionEvent*>(event)->selectionStart();
  } else {
    return;
  }
  heard().push_back(h);
}

// A box on screen with the focus, and a screen reader listening to it.
class TextBoxAccessibleTest : public ::testing::Test {
 public:
  void SetUp() override {
    ASSERT_TRUE(test::showFocused(box));
    // As when a screen reader runs: the platform's accessibility is on.
    QGuiApplicationPrivate::platformIntegration()->accessibility()->setActive(true);
    listenedTo() = &box;
    previous_ = QAccessible::installUpdateHandler(record);
    heard().clear();
  }
  void TearDown() override {
    QAccessible::installUpdateHandler(previous_);
    listenedTo() = nullptr;
  }
  // Keys as a menu names them, comma-separated.
  void press(const char* names) {
    for (const QString& name : QString::fromLatin1(names).split(u',', Qt::SkipEmptyParts)) {
      const QKeyCombination k = QKeySequence(name)[0];
      QTest::keyClick(&box, k.key(), k.keyboardModifiers());
    }
  }
  QAccessibleTextInterface* text() {
    return QAccessible::queryAccessibleInterface(&box)->textInterface();
  }
  std::vector<Heard> of(QAccessible::Event type) const {
    std::vector<Heard> found;
    for (const Heard& h : heard()) {
      if (h.type == type) found.push_back(h);
    }
    return found;
  }

  TextBox box{nullptr, QStringLiteral("Text1")};
  QAccessible::UpdateHandler previous_ = nullptr;
};

// A deletion tells what went and where; typing over a selection tells both texts.
TEST_F(TextBoxAccessibleTest, AnEditTellsWhatWentWhatCameAndWhere) {
  struct Case {
    int anchor;
    int caret;
    const char* typed;
    const char* keys;
    int position;
    QString removed;
    QString inserted = {};
  };
  for (const Case& c : {Case{2, 2, "", "Del", 2, QStringLiteral("l")},
                        Case{2, 2, "", "Backspace", 1, QStringLiteral("e")},
                        Case{7, 7, "", "Backspace", 5, QStringLiteral("\r\n")},  // a line end
                        Case{1, 4, "", "Del", 1, QStringLiteral("ell")},         // a selection
                        Case{5, 5, "xy", "Ctrl+Z", 5, QStringLiteral("xy")},     // undone typing
                        Case{12, 12, "", "Ctrl+Backspace", 7, QStringLiteral("world")},
                        Case{7, 12, "x", "", 7, QStringLiteral("world"), QStringLiteral("x")}}) {
    SCOPED_TRACE(testing::Message() << c.typed << " " << c.keys);
    box.setText(QStringLiteral("hello\r\nworld"));
    text()->setSelection(0, c.anchor, c.caret);
    heard().clear();
    QTest::keyClicks(&box, QString::fromLatin1(c.typed));
    press(c.keys);
    const std::vector<Heard> told =
        of(c.inserted.isEmpty() ? QAccessible::TextRemoved : QAccessible::TextUpdated);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].position, c.position);
    EXPECT_EQ(told[0].removed, c.removed);
    EXPECT_EQ(told[0].inserted, c.inserted);
  }
}

TEST_F(TextBoxAccessibleTest, TheCaretIsHeardWheneverItMoves) {
  QApplication::clipboard()->setText(QStringLiteral("pasted"));
  for (const auto& [typed, keys] :
       std::vector<std::pair<const char*, const char*>>{{"ab", ""},
                                                        {"", "Return"},
                                                        {"ab", "Ctrl+Z"},
                                                        {"ab", "Ctrl+Z,Ctrl+Shift+Z"},
                                                        {"", "Ctrl+A"},
                                                        {"", "Ctrl+V"},
                                                        {"", "Shift+Right"}}) {
    SCOPED_TRACE(testing::Message() << typed << " " << keys);
    box.setText(QStringLiteral("some text"));
    box.setCursorPosition(4);
    heard().clear();
    QTest::keyClicks(&box, QString::fromLatin1(typed));
    press(keys);
    const std::vector<Heard> moves = of(QAccessible::TextCaretMoved);
    ASSERT_FALSE(moves.empty());
    EXPECT_EQ(moves.back().position, static_cast<int>(box.cursorPosition()));
    for (std::size_t i = 1; i < moves.size(); ++i) {
      EXPECT_NE(moves[i].position, moves[i - 1].position)
          << "a caret that did not move is not told";
    }
  }
}

// Replace All as the find window makes it, from a snapshot: the caret and
// the selection stay on their text and their row, a reader hears where they
// went, and the undo puts them back.
TEST_F(TextBoxAccessibleTest, ReplaceAllKeepsTheCaretAndSelectionOnTheirText) {
  box.setText(QStringLiteral("cat and dog\n").repeated(40));
  const qint64 caret = 20 * 12 + 7;
  box.setCursorPosition(caret - 3);
  box.setCursorPosition(caret, TextBox::Selection::Extend);
  box.ensureCursorVisible();
  const int row = box.cursorRect().y();
  heard().clear();
  std::vector<TextDocument::Range> cats;
  for (qint64 at = 0; at < box.document().length(); at += 12) cats.push_back({at, 3});
  auto replaced =
      TextDocument::prepareReplaceAll(box.document().snapshot(), cats, QStringLiteral("a\nlion"));
  ASSERT_TRUE(replaced && box.document().replaceAll(std::move(*replaced)));
  const qint64 moved = caret + 21 * 3;  // after 21 longer replacements
  EXPECT_EQ(std::make_pair(box.anchorPosition(), box.cursorPosition()),
            std::make_pair(moved - 3, moved));
  EXPECT_EQ(box.cursorRect().y(), row) << "the view goes with the caret";
  ASSERT_FALSE(of(QAccessible::TextCaretMoved).empty());
  EXPECT_EQ(of(QAccessible::TextCaretMoved).back().position, moved);
  ASSERT_FALSE(of(QAccessible::TextSelectionChanged).empty());
  EXPECT_EQ(of(QAccessible::TextSelectionChanged).back().position, moved - 3);
  press("Ctrl+Z");
  EXPECT_EQ(std::make_pair(box.anchorPosition(), box.cursorPosition()),
            std::make_pair(caret - 3, caret));
}

// Around a CR LF, which the stock box has no counterpart for.
TEST_F(TextBoxAccessibleTest, AWordIsNotItsLineALineStopsAtItsEndAndRangesLieInsideTheText) {
  box.setText(QStringLiteral("alpha beta gamma\r\ndelta"));
  EXPECT_EQ(QAccessible::queryAccessibleInterface(&box)->role(), QAccessible::EditableText);
  EXPECT_EQ(text()->characterCount(), 23);
  int start = 0, end = 0;
  EXPECT_EQ(text()->textAtOffset(7, QAccessible::WordBoundary, &start, &end),
            QStringLiteral("beta"));
  EXPECT_EQ(std::make_pair(start, end), std::make_pair(6, 10));
  EXPECT_EQ(text()->textAtOffset(20, QAccessible::LineBoundary, &start, &end),
            QStringLiteral("delta"));
  EXPECT_EQ(start, 18);
  const auto word = QAccessible::WordBoundary;
  EXPECT_EQ(text()->textAfterOffset(7, word, &start, &end), QStringLiteral("gamma"));
  EXPECT_EQ(text()->textBeforeOffset(7, word, &start, &end), QStringLiteral("alpha"));
  EXPECT_EQ(text()->textAfterOffset(12, word, &start, &end), QStringLiteral("delta"));
  EXPECT_EQ(text()->textBeforeOffset(19, word, &start, &end), QStringLiteral("gamma"));
  // Every range lies inside the text.
  for (const QString& sample :
       {QString(), QStringLiteral("x"), QStringLiteral("two words\r\n\r\nand more.  Yes\n")}) {
    box.setText(sample);
    const int length = static_cast<int>(sample.size());
    for (const auto type :
         {QAccessible::CharBoundary, QAccessible::WordBoundary, QAccessible::SentenceBoundary,
          QAccessible::LineBoundary, QAccessible::ParagraphBoundary, QAccessible::NoBoundary}) {
      for (int offset : {-5, -1, 0, 1, length - 1, length, length + 1, length + 4, INT_MAX}) {
        for (int way = 0; way < 3; ++way) {
          int start = -7;
          int end = -7;
          const QString got = way == 0   ? text()->textBeforeOffset(offset, type, &start, &end)
                              : way == 1 ? text()->textAtOffset(offset, type, &start, &end)
                                         : text()->textAfterOffset(offset, type, &start, &end);
          SCOPED_TRACE(testing::Message() << "'" << sample.toStdString() << "' type " << type
                                          << " offset " << offset << " way " << way);
          EXPECT_LE(0, start);
          EXPECT_LE(start, end);
          EXPECT_LE(end, length);
          EXPECT_EQ(got, sample.mid(start, end - start));
        }
      }
    }
  }
}

}  // namespace
}  // namespace ostrel
