#include "tests/support/ShowFocused.h"
#include "toolkit/controls/TextBoxAccessible.h"

#include <gtest/gtest.h>

#include <QtGui/private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>
#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QPlainTextEdit>
#include <QTest>
#include <vector>

#include "toolkit/controls/TextBox.h"

namespace ostrel {
namespace {

// What a screen reader was told, as the platform's bridge passes it on.
struct Heard {
  QAccessible::Event type;
  int position = -1;  // change position, caret, or selection start
  int end = -1;       // selection end
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
  switch (event->type()) {
    case QAccessible::TextRemoved: {
      auto* e = static_cast<QAccessibleTextRemoveEvent*>(event);
      h.position = e->changePosition();
      h.removed = e->textRemoved();
      break;
    }
    case QAccessible::TextInserted: {
      auto* e = static_cast<QAccessibleTextInsertEvent*>(event);
      h.position = e->changePosition();
      h.inserted = e->textInserted();
      break;
    }
    case QAccessible::TextUpdated: {
      auto* e = static_cast<QAccessibleTextUpdateEvent*>(event);
      h.position = e->changePosition();
      h.removed = e->textRemoved();
      h.inserted = e->textInserted();
      break;
    }
    case QAccessible::TextCaretMoved:
      h.position = static_cast<QAccessibleTextCursorEvent*>(event)->cursorPosition();
      break;
    case QAccessible::TextSelectionChanged: {
      auto* e = static_cast<QAccessibleTextSelectionEvent*>(event);
      h.position = e->selectionStart();
      h.end = e->selectionEnd();
      break;
    }
    default:
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

TEST_F(TextBoxAccessibleTest, ADeletionTellsWhatWentAndWhere) {
  struct Case {
    int anchor;
    int caret;
    const char* typed;
    const char* keys;
    int position;
    QString removed;
  };
  for (const Case& c : {Case{2, 2, "", "Del", 2, QStringLiteral("l")},
                        Case{2, 2, "", "Backspace", 1, QStringLiteral("e")},
                        Case{7, 7, "", "Backspace", 5, QStringLiteral("\r\n")},  // a line end
                        Case{1, 4, "", "Del", 1, QStringLiteral("ell")},         // a selection
                        Case{5, 5, "xy", "Ctrl+Z", 5, QStringLiteral("xy")},     // undone typing
                        Case{12, 12, "", "Ctrl+Backspace", 7, QStringLiteral("world")}}) {
    SCOPED_TRACE(c.keys);
    box.setText(QStringLiteral("hello\r\nworld"));
    heard().clear();
    box.setCursorPosition(c.anchor);
    box.setCursorPosition(c.caret, TextBox::Selection::Extend);
    QTest::keyClicks(&box, QString::fromLatin1(c.typed));
    press(c.keys);
    const std::vector<Heard> removals = of(QAccessible::TextRemoved);
    ASSERT_EQ(removals.size(), 1u);
    EXPECT_EQ(removals[0].position, c.position);
    EXPECT_EQ(removals[0].removed, c.removed);
  }
}

TEST_F(TextBoxAccessibleTest, TypingOverASelectionTellsBothTexts) {
  box.setText(QStringLiteral("one two"));
  text()->setSelection(0, 4, 7);
  heard().clear();
  press("x");
  const std::vector<Heard> updates = of(QAccessible::TextUpdated);
  ASSERT_EQ(updates.size(), 1u);
  EXPECT_EQ(updates[0].position, 4);
  EXPECT_EQ(updates[0].removed, QStringLiteral("two"));
  EXPECT_EQ(updates[0].inserted, QStringLiteral("x"));
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

// ---------------------------------------------------------------- reading

TEST_F(TextBoxAccessibleTest, WordsAndSentencesAreTheOnesAStockBoxReads) {
  // On a text both hold alike (no CR LF, no "1.5", "it's" or emoji, whose
  // words follow Unicode segmentation here), away from a line's edges.
  const QString sample = QStringLiteral(
      "Hello, wide world. How are you?\nAn indented line: done!\n\nLast \u00e9t\u00e9 "
      "caf\u00e9 (no) [1]");
  box.setText(sample);
  QPlainTextEdit stock;
  stock.setPlainText(sample);
  QAccessibleTextInterface* theirs = QAccessible::queryAccessibleInterface(&stock)->textInterface();
  ASSERT_EQ(text()->characterCount(), theirs->characterCount());
  for (const auto type : {QAccessible::CharBoundary, QAccessible::WordBoundary,
                          QAccessible::SentenceBoundary, QAccessible::LineBoundary}) {
    for (int offset = 0; offset < sample.size(); ++offset) {
      if (sample[offset] == u'\n' || (offset > 0 && sample[offset - 1] == u'\n') ||
          sample[offset].isLowSurrogate()) {
        continue;
      }
      int s1 = 0, e1 = 0, s2 = 0, e2 = 0;
      const QString mine = text()->textAtOffset(offset, type, &s1, &e1);
      const QString stockText = theirs->textAtOffset(offset, type, &s2, &e2);
      EXPECT_EQ(mine, stockText) << "type " << type << " offset " << offset;
      EXPECT_EQ(s1, s2) << "type " << type << " offset " << offset;
    }
  }
}

// Around a CR LF, which the stock box has no counterpart for.
TEST_F(TextBoxAccessibleTest, AWordIsAWordNotItsLineAndALineStopsAtItsLineEnd) {
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
}

TEST_F(TextBoxAccessibleTest, ACharacterIsWhatAReaderSeesAsOne) {
  // A surrogate pair, a letter with a combining accent, a flag, CR LF.
  box.setText(QString::fromUtf16(u"a\U0001F600e\u0301\U0001F1E9\U0001F1EA\r\nz"));
  struct Case {
    int offset;
    int start;
    int end;
  };
  int start = 0, end = 0;
  for (const Case& c : {Case{1, 1, 3}, Case{2, 1, 3}, Case{3, 3, 5}, Case{4, 3, 5}, Case{6, 5, 9},
                        Case{9, 9, 11}, Case{10, 9, 11}}) {
    text()->textAtOffset(c.offset, QAccessible::CharBoundary, &start, &end);
    EXPECT_EQ(std::make_pair(start, end), std::make_pair(c.start, c.end)) << "offset " << c.offset;
  }
  EXPECT_EQ(text()->textAfterOffset(1, QAccessible::CharBoundary, &start, &end),
            QString::fromUtf16(u"e\u0301"));
  EXPECT_EQ(text()->textBeforeOffset(3, QAccessible::CharBoundary, &start, &end),
            QString::fromUtf16(u"\U0001F600"));
}

TEST_F(TextBoxAccessibleTest, EveryRangeLiesInsideTheText) {
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

TEST_F(TextBoxAccessibleTest, ALineOfMegabytesIsReadInPiecesThatFollowEachOther) {
  QString line(300000, u'a');
  line[65535] = QChar(0xD83D);  // a surrogate pair across a piece's edge
  line[65536] = QChar(0xDE00);
  box.setText(line + QStringLiteral("\nend"));
  int start = 0;
  int end = 0;
  const QString here = text()->textAtOffset(100000, QAccessible::LineBoundary, &start, &end);
  EXPECT_LE(start, 100000);
  EXPECT_GT(end, 100000);
  EXPECT_LE(here.size(), 70000);
  // Walking forward visits the line piece by piece, then the next line.
  int at = 0;
  int pieces = 0;
  QString read = text()->textAtOffset(0, QAccessible::LineBoundary, &start, &end);
  while (end < 300000 && pieces < 10) {
    const int before = end;
    read += text()->textAfterOffset(at, QAccessible::LineBoundary, &start, &end);
    ASSERT_EQ(start, before);
    EXPECT_FALSE(read.at(start).isLowSurrogate());
    at = start;
    ++pieces;
  }
  EXPECT_EQ(read, line);
  EXPECT_EQ(text()->textAfterOffset(at, QAccessible::LineBoundary, &start, &end),
            QStringLiteral("end"));
  // And back.
  EXPECT_EQ(text()->textBeforeOffset(at, QAccessible::LineBoundary, &start, &end).size() +
                static_cast<qsizetype>(start),
            at);
}

}  // namespace
}  // namespace ostrel
