// The text box against Qt's own plain-text editor: the same keys and mouse
// gestures go to both, holding the same text, and the text, the caret and
// the selection must come out the same.
//
// Conventions in which the two legitimately differ, and which the cases
// here leave out:
// - Line ends: the box keeps CR LF and lone CR as they are (two or one
//   units); the editor turns every line end into one paragraph break. Texts
//   here use LF only.
// - Page Up/Down: the editor moves by the viewport's pixel height, the box
//   by whole lines in view.
// - Tabs: the editor's tab stops are in pixels of its own default; texts
//   here have none.
// - Undo of mixed edits: the editor merges neighbouring edits of any kind
//   into one step; the box joins runs of typing, of Backspace and of Delete.
//   The random mix undoes only right after such runs.
// - Left/Right in right-to-left text: the box moves on screen, as the
//   editor does in its visual move style (set for those cases); in that
//   style the editor also collapses a selection to its start on Right,
//   where the box, as the editor's default style, goes to its end.
// - Word boundaries: the box takes Unicode word segmentation for keys and
//   double clicks alike; the editor stops at its own list of separators and
//   counts any other character (an emoji, a currency sign) as part of the
//   word beside it, and lets an apostrophe split a word. The random texts
//   hold letters, digits, spaces and separators of both lists only.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QTest>
#include <QTextBlock>
#include <QTextBoundaryFinder>
#include <functional>
#include <vector>

#include "toolkit/controls/TextBox.h"
#include "toolkit/text/TextDocument.h"

namespace ostrel {
namespace {

// One of the two editors, seen the same way.
struct Side {
  QWidget* widget;
  QWidget* viewport;
  std::function<QRect(qint64)> characterRect;  // viewport coordinates
  std::function<qint64()> position;
  std::function<qint64()> anchor;
  std::function<QString()> text;
};

struct Action {
  QString name;
  std::function<void(Side&)> run;
};

Action key(Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  return {QStringLiteral("key %1 %2").arg(QKeySequence(k).toString()).arg(int(mods)),
          [=](Side& s) { QTest::keyClick(s.widget, k, mods); }};
}

Action type(const QString& text) {
  return {QStringLiteral("type ") + text, [=](Side& s) { QTest::keyClicks(s.widget, text); }};
}

// A point on the character at position (the one holding it, when position is
// inside one): its left or right quarter.
QPoint on(Side& s, qint64 position, bool rightHalf) {
  const QString text = s.text();
  position = qBound<qint64>(0, position, text.size());
  QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text);
  graphemes.setPosition(static_cast<qsizetype>(position));
  if (!graphemes.isAtBoundary()) position = graphemes.toPreviousBoundary();
  const QRect r = s.characterRect(position);
  return {r.left() + (rightHalf ? r.width() * 3 / 4 : r.width() / 4), r.center().y()};
}

Action click(qint64 position, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  return {QStringLiteral("click %1").arg(position), [=](Side& s) {
            QTest::mouseClick(s.viewport, Qt::LeftButton, mods, on(s, position, false));
          }};
}

Action doubleClick(qint64 position, bool rightHalf) {
  return {
      QStringLiteral("double-click %1%2").arg(position).arg(rightHalf ? "R" : "L"), [=](Side& s) {
        QTest::mouseDClick(s.viewport, Qt::LeftButton, Qt::NoModifier, on(s, position, rightHalf));
      }};
}

Action tripleClick(qint64 position) {
  return {QStringLiteral("triple-click %1").arg(position), [=](Side& s) {
            const QPoint p = on(s, position, false);
            QTest::mouseDClick(s.viewport, Qt::LeftButton, Qt::NoModifier, p);
            QTest::mouseClick(s.viewport, Qt::LeftButton, Qt::NoModifier, p);
          }};
}

void moveHeld(QWidget* viewport, QPoint to) {
  QMouseEvent move(QEvent::MouseMove, QPointF(to), viewport->mapToGlobal(QPointF(to)), Qt::NoButton,
                   Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(viewport, &move);
}

Action drag(qint64 from, qint64 to) {
  return {QStringLiteral("drag %1-%2").arg(from).arg(to), [=](Side& s) {
            const QPoint a = on(s, from, false);
            const QPoint b = on(s, to, false);
            QTest::mousePress(s.viewport, Qt::LeftButton, Qt::NoModifier, a);
            moveHeld(s.viewport, (a + b) / 2);
            moveHeld(s.viewport, b);
            QTest::mouseRelease(s.viewport, Qt::LeftButton, Qt::NoModifier, b);
          }};
}

void send(QWidget* viewport, QEvent::Type type, QPoint at, Qt::MouseButtons held) {
  QMouseEvent event(type, QPointF(at), viewport->mapToGlobal(QPointF(at)),
                    type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held,
                    Qt::NoModifier);
  QApplication::sendEvent(viewport, &event);
}

Action doubleClickDrag(qint64 from, qint64 to) {
  return {QStringLiteral("double-click-drag %1-%2").arg(from).arg(to), [=](Side& s) {
            const QPoint a = on(s, from, false);
            const QPoint b = on(s, to, false);
            send(s.viewport, QEvent::MouseButtonPress, a, Qt::LeftButton);
            send(s.viewport, QEvent::MouseButtonRelease, a, Qt::NoButton);
            send(s.viewport, QEvent::MouseButtonPress, a, Qt::LeftButton);
            send(s.viewport, QEvent::MouseButtonDblClick, a, Qt::LeftButton);
            send(s.viewport, QEvent::MouseMove, b, Qt::LeftButton);
            send(s.viewport, QEvent::MouseButtonRelease, b, Qt::NoButton);
          }};
}

constexpr int kGestureMs = 20;

class TextBoxAgainstQt : public ::testing::Test {
 protected:
  void SetUp() override {
    QFont font(QStringLiteral("DejaVu Sans"), 10);
    box.setFont(font);
    edit.setFont(font);
    edit.setLineWrapMode(QPlainTextEdit::NoWrap);
    // Gestures follow each other quicker than a person's: a double click is
    // not the start of a triple click 20 ms later.
    QApplication::setDoubleClickInterval(kGestureMs);
    for (QWidget* w : {static_cast<QWidget*>(&box), static_cast<QWidget*>(&edit)}) {
      w->resize(700, 560);
      w->show();
      ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    }
    sides = {Side{&box, box.viewport(), [this](qint64 p) { return box.rectAt(p, 1); },
                  [this] { return box.cursorPosition(); }, [this] { return box.anchorPosition(); },
                  [this] { return box.Text(); }},
             Side{&edit, edit.viewport(),
                  [this](qint64 p) {
                    QTextCursor c(edit.document());
                    c.setPosition(static_cast<int>(p));
                    const QRect left = edit.cursorRect(c);
                    c.movePosition(QTextCursor::NextCharacter);
                    const QRect right = edit.cursorRect(c);
                    const int width = right.top() == left.top() ? right.x() - left.x() : 8;
                    return QRect(left.x(), left.y(), qMax(2, width), left.height());
                  },
                  [this] { return qint64(edit.textCursor().position()); },
                  [this] { return qint64(edit.textCursor().anchor()); },
                  [this] { return edit.toPlainText(); }}};
  }

  void setText(const QString& text) {
    box.setText(text);
    edit.setPlainText(text);
    for (Side& s : sides) {
      QApplication::setActiveWindow(s.widget);
      s.widget->setFocus();
      QTest::keyClick(s.widget, Qt::Key_Home, Qt::ControlModifier);
    }
  }

  // Runs the actions on both, comparing after each; false at the first difference.
  bool agree(const QString& text, const std::vector<Action>& actions) {
    setText(text);
    QStringList done;
    for (const Action& action : actions) {
      for (Side& s : sides) {
        QApplication::setActiveWindow(s.widget);
        s.widget->setFocus();
        action.run(s);
      }
      if (action.name.contains(QStringLiteral("click"))) QTest::qWait(kGestureMs * 2);
      done << action.name;
      const Side& a = sides[0];
      const Side& b = sides[1];
      if (a.text() != b.text() || a.position() != b.position() || a.anchor() != b.anchor()) {
        ADD_FAILURE() << "after " << done.join(QStringLiteral(", ")).toStdString()
                      << "\n  box:    " << a.text().toStdString() << " [" << a.anchor() << ", "
                      << a.position() << "]\n  editor: " << b.text().toStdString() << " ["
                      << b.anchor() << ", " << b.position() << "]";
        return false;
      }
    }
    return true;
  }

  TextBox box{nullptr, QStringLiteral("Text1")};
  QPlainTextEdit edit;
  std::vector<Side> sides;
};

const Qt::KeyboardModifiers kShift = Qt::ShiftModifier;
const Qt::KeyboardModifiers kCtrl = Qt::ControlModifier;

// Characters as a reader sees them: one step, one Delete, one Shift+Right.
TEST_F(TextBoxAgainstQt, GraphemeClustersAreOneCharacter) {
  for (const char16_t* text :
       {u"e\u0301x", u"a\u0301\u0323b", u"\U0001F1E9\U0001F1EAz", u"\U0001F44D\U0001F3FDz",
        u"\U0001F468\u200D\U0001F469\u200D\U0001F467z", u"\u1100\u1161\u11A8z"}) {
    const QString t = QString::fromUtf16(text);
    EXPECT_TRUE(agree(t, {key(Qt::Key_Right), key(Qt::Key_Right), key(Qt::Key_Left)}))
        << t.toStdString();
    EXPECT_TRUE(agree(t, {key(Qt::Key_Delete)})) << t.toStdString();
    EXPECT_TRUE(agree(t, {key(Qt::Key_Right, kShift), key(Qt::Key_Delete)})) << t.toStdString();
    EXPECT_TRUE(agree(t, {key(Qt::Key_End), key(Qt::Key_Backspace), key(Qt::Key_Backspace)}))
        << t.toStdString();
  }
}

TEST_F(TextBoxAgainstQt, ArrowsMoveOnScreenInRightToLeftText) {
  edit.document()->setDefaultCursorMoveStyle(Qt::VisualMoveStyle);
  const QString text = QString::fromUtf16(u"\u05E9\u05DC\u05D5\u05DD abc");
  EXPECT_TRUE(agree(text, {key(Qt::Key_Home), key(Qt::Key_Right), key(Qt::Key_Right)}));
  EXPECT_TRUE(agree(QStringLiteral("abc ") + QString::fromUtf16(u"\u05E9\u05DC\u05D5\u05DD x"),
                    {key(Qt::Key_End), key(Qt::Key_Left), key(Qt::Key_Left), key(Qt::Key_Left),
                     key(Qt::Key_Left, kShift)}));
}

TEST_F(TextBoxAgainstQt, DoubleClickSelectsTheWordUnderEitherHalfOfALetter) {
  const QString text = QStringLiteral("hello world");
  EXPECT_TRUE(agree(text, {doubleClick(4, true), type(QStringLiteral("X"))}));
  EXPECT_TRUE(agree(text, {doubleClick(6, false), type(QStringLiteral("Y"))}));
  EXPECT_TRUE(agree(text, {doubleClick(10, true)}));
}

TEST_F(TextBoxAgainstQt, TripleClickSelectsTheLine) {
  EXPECT_TRUE(agree(QStringLiteral("one two\nthree four\nfive"), {tripleClick(10)}));
}

TEST_F(TextBoxAgainstQt, DragAfterADoubleClickExtendsByWords) {
  const QString text = QStringLiteral("alpha beta gamma delta");
  EXPECT_TRUE(agree(text, {doubleClickDrag(7, 13)}));
  EXPECT_TRUE(agree(text, {doubleClickDrag(13, 2)}));
}

TEST_F(TextBoxAgainstQt, BackspaceAndDeleteRunsUndoAtOnceAndCtrlYRedoes) {
  EXPECT_TRUE(agree(QString(), {type(QStringLiteral("hello")), key(Qt::Key_Backspace),
                                key(Qt::Key_Backspace), key(Qt::Key_Z, kCtrl)}));
  EXPECT_TRUE(agree(QStringLiteral("hello world"),
                    {key(Qt::Key_Delete), key(Qt::Key_Delete), key(Qt::Key_Delete),
                     key(Qt::Key_Z, kCtrl), key(Qt::Key_Y, kCtrl)}));
}

TEST_F(TextBoxAgainstQt, UpAndDownComeBackToTheColumn) {
  EXPECT_TRUE(agree(
      QStringLiteral("a long first line\nshort\nanother long line"),
      {key(Qt::Key_End), key(Qt::Key_Down), key(Qt::Key_Down), key(Qt::Key_Up), key(Qt::Key_Up)}));
}

TEST_F(TextBoxAgainstQt, ClicksShiftClicksAndDragsSelectAlike) {
  const QString text = QStringLiteral("one two three\nfour five\nsix");
  EXPECT_TRUE(agree(text, {click(5), click(16, kShift), drag(2, 20), key(Qt::Key_Right)}));
}

// A seeded mix of the actions both editors are meant to agree on.
TEST_F(TextBoxAgainstQt, ARandomMixAgrees) {
  const QStringList words = {QStringLiteral("alpha"),
                             QStringLiteral("be"),
                             QStringLiteral("x"),
                             QStringLiteral("42"),
                             QStringLiteral("(g)"),
                             QStringLiteral("-"),
                             QString::fromUtf16(u"e\u0301t\u00E9")};
  QRandomGenerator random(20261208);
  QString text;
  for (int i = 0; i < 40; ++i) {
    text += words[random.bounded(words.size())];
    text += random.bounded(6) == 0 ? QStringLiteral("\n") : QStringLiteral(" ");
  }
  const std::vector<Action> keys = {key(Qt::Key_Left),
                                    key(Qt::Key_Right),
                                    key(Qt::Key_Up),
                                    key(Qt::Key_Down),
                                    key(Qt::Key_Home),
                                    key(Qt::Key_End),
                                    key(Qt::Key_Left, kCtrl),
                                    key(Qt::Key_Right, kCtrl),
                                    key(Qt::Key_Left, kShift),
                                    key(Qt::Key_Right, kShift),
                                    key(Qt::Key_Down, kShift),
                                    key(Qt::Key_End, kShift),
                                    key(Qt::Key_Right, kCtrl | kShift),
                                    key(Qt::Key_Backspace),
                                    key(Qt::Key_Delete),
                                    key(Qt::Key_Return),
                                    type(QStringLiteral("q")),
                                    type(QStringLiteral(" ")),
                                    key(Qt::Key_Home, kCtrl),
                                    key(Qt::Key_End, kCtrl)};
  std::vector<Action> actions;
  for (int i = 0; i < 300; ++i) {
    const quint32 pick = random.bounded(100);
    if (pick < 80) {
      actions.push_back(keys[random.bounded(static_cast<quint32>(keys.size()))]);
    } else if (pick < 88) {
      actions.push_back(click(random.bounded(static_cast<int>(text.size() / 2))));
    } else if (pick < 94) {
      actions.push_back(doubleClick(random.bounded(static_cast<int>(text.size() / 2)), false));
    } else {
      actions.push_back(key(Qt::Key_Right, kCtrl | kShift));
      actions.push_back(key(Qt::Key_C, kCtrl));
      actions.push_back(key(Qt::Key_Right));
      actions.push_back(key(Qt::Key_V, kCtrl));
    }
  }
  EXPECT_TRUE(agree(text, actions));
}

}  // namespace
}  // namespace ostrel
