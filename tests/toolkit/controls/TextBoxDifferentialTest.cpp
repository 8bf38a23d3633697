// The text box against Qt's own plain-text editor: the same keys and mouse
// gestures go to both, and the text, caret and selection must come out the
// same. Cases where the two legitimately differ stay out of the way: line
// ends (LF only here), paging by pixels, tabs, undo merging across kinds of
// edit, visual moves in right-to-left text (the editor's visual move style is
// set for the cases made for it), word separators, double-clicks on
// pictures beside letters, and Backspace after a picture of several code
// points, which takes it whole here (the editor is given it selected).
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextBoundaryFinder>
#include <algorithm>
#include <functional>
#include <tuple>
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

const Qt::KeyboardModifiers kShift = Qt::ShiftModifier;
const Qt::KeyboardModifiers kCtrl = Qt::ControlModifier;

Action key(Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  return {QStringLiteral("key %1 %2").arg(QKeySequence(k).toString()).arg(int(mods)),
          [=](Side& s) { QTest::keyClick(s.widget, k, mods); }};
}

Action type(const QString& text) {
  return {QStringLiteral("type ") + text, [=](Side& s) { QTest::keyClicks(s.widget, text); }};
}

// Keys as a menu names them, comma-separated; a single character is typed.
std::vector<Action> strokes(const char* names) {
  std::vector<Action> actions;
  for (const QString& name : QString::fromLatin1(names).split(u',')) {
    const QKeyCombination k = QKeySequence(name)[0];
    actions.push_back(name.size() == 1 ? type(name) : key(k.key(), k.keyboardModifiers()));
  }
  return actions;
}

// A point on the character at position (the one holding it, when position is
// inside one): its left or right quarter.
QPoint on(Side& s, qint64 position, bool rightHalf = false) {
  const QString text = s.text();
  position = qBound<qint64>(0, position, text.size());
  QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text);
  graphemes.setPosition(static_cast<qsizetype>(position));
  if (!graphemes.isAtBoundary()) position = graphemes.toPreviousBoundary();
  const QRect r = s.characterRect(position);
  return {r.left() + (rightHalf ? r.width() * 3 / 4 : r.width() / 4), r.center().y()};
}

void send(QWidget* viewport, QEvent::Type type, QPoint at) {
  QMouseEvent event(type, QPointF(at), viewport->mapToGlobal(QPointF(at)),
                    type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                    type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(viewport, &event);
}

Action click(qint64 position, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  return {QStringLiteral("click %1").arg(position),
          [=](Side& s) { QTest::mouseClick(s.viewport, Qt::LeftButton, mods, on(s, position)); }};
}

Action doubleClick(qint64 position, bool rightHalf) {
  return {
      QStringLiteral("double-click %1%2").arg(position).arg(rightHalf ? "R" : "L"), [=](Side& s) {
        QTest::mouseDClick(s.viewport, Qt::LeftButton, Qt::NoModifier, on(s, position, rightHalf));
      }};
}

Action tripleClick(qint64 position) {
  return {QStringLiteral("triple-click %1").arg(position), [=](Side& s) {
            QTest::mouseDClick(s.viewport, Qt::LeftButton, Qt::NoModifier, on(s, position));
            QTest::mouseClick(s.viewport, Qt::LeftButton, Qt::NoModifier, on(s, position));
          }};
}

Action drag(qint64 from, qint64 to) {
  return {QStringLiteral("drag %1-%2").arg(from).arg(to), [=](Side& s) {
            const QPoint a = on(s, from);
            const QPoint b = on(s, to);
            QTest::mousePress(s.viewport, Qt::LeftButton, Qt::NoModifier, a);
            send(s.viewport, QEvent::MouseMove, (a + b) / 2);
            send(s.viewport, QEvent::MouseMove, b);
            QTest::mouseRelease(s.viewport, Qt::LeftButton, Qt::NoModifier, b);
          }};
}

Action doubleClickDrag(qint64 from, qint64 to) {
  return {QStringLiteral("double-click-drag %1-%2").arg(from).arg(to), [=](Side& s) {
            const QPoint a = on(s, from);
            for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                                            QEvent::MouseButtonPress, QEvent::MouseButtonDblClick})
              send(s.viewport, type, a);
            send(s.viewport, QEvent::MouseMove, on(s, to));
            send(s.viewport, QEvent::MouseButtonRelease, on(s, to));
          }};
}

constexpr int kGestureMs = 20;

// A character found the same way in both: between the caret's places before
// and after it, which in a right-to-left run are its right and left edges.
QRect betweenCarets(QRect before, QRect after) {
  const int width = after.top() == before.top() ? after.x() - before.x() : 8;
  return {qMin(before.x(), before.x() + width), before.y(), qMax(2, qAbs(width)), before.height()};
}

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
    sides = {Side{&box, box.viewport(),
                  [this](qint64 p) {
                    return betweenCarets(
                        box.rectAt(p, 0),
                        box.rectAt(TextCursor::nextCharacter(box.document(), p), 0));
                  },
                  [this] { return box.cursorPosition(); }, [this] { return box.anchorPosition(); },
                  [this] { return box.Text(); }},
             Side{&edit, edit.viewport(),
                  [this](qint64 p) {
                    QTextCursor c(edit.document());
                    c.setPosition(static_cast<int>(p));
                    const QRect left = edit.cursorRect(c);
                    c.movePosition(QTextCursor::NextCharacter);
                    return betweenCarets(left, edit.cursorRect(c));
                  },
                  [this] { return qint64(edit.textCursor().position()); },
                  [this] { return qint64(edit.textCursor().anchor()); },
                  [this] { return edit.toPlainText(); }}};
  }

  // Runs the actions on both, comparing after each; false at the first difference.
  bool agree(const QString& text, const std::vector<Action>& actions) {
    box.setText(text);
    edit.setPlainText(text);
    QStringList done;
    for (const Action& action : actions) {
      for (Side& s : sides) {
        QApplication::setActiveWindow(s.widget);
        s.widget->setFocus();
        if (done.isEmpty()) QTest::keyClick(s.widget, Qt::Key_Home, Qt::ControlModifier);
        action.run(s);
      }
      if (action.name.contains(QStringLiteral("click"))) {
        // Both boxes' triple-click timers run out, seen by both before the next action.
        QTest::qWait(kGestureMs * 2);
        QCoreApplication::processEvents();
      }
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

// Characters as a reader sees them (one step, one Delete, one Shift+Right),
// words under either half of a letter, lines, runs of undo and the column
// kept, each on a text made for it.
TEST_F(TextBoxAgainstQt, ChosenGesturesAgree) {
  struct Case {
    QString text;
    std::vector<Action> actions;
    bool visual = false;  // right-to-left text, moved on screen
  };
  std::vector<Case> cases;
  for (const auto& [cluster, picture] : {std::pair{u"e\u0301x", false},
                                         {u"a\u0301\u0323b", false},
                                         {u"\u1100\u1161\u11A8z", false},
                                         {u"\U0001F600z", false},
                                         {u"\U0001F1E9\U0001F1EAz", true},
                                         {u"\U0001F44D\U0001F3FDz", true},
                                         {u"\U0001F468\u200D\U0001F469\u200D\U0001F467z", true},
                                         {u"1\uFE0F\u20E3z", true}}) {
    for (const char* keys : {"Right,Right,Left", "Del", "Shift+Right,Del"})
      cases.push_back({QString::fromUtf16(cluster), strokes(keys)});
    // Backspace takes a picture of several code points whole, which the
    // stock editor does for one selected.
    std::vector<Action> back = strokes("End,Backspace");
    back.push_back({QStringLiteral("Backspace"), [picture = picture](Side& s) {
                      if (picture && !qobject_cast<TextBox*>(s.widget))
                        QTest::keyClick(s.widget, Qt::Key_Left, kShift);
                      QTest::keyClick(s.widget, Qt::Key_Backspace);
                    }});
    cases.push_back({QString::fromUtf16(cluster), back});
  }
  const QString hebrew = QString::fromUtf16(u"\u05E9\u05DC\u05D5\u05DD");
  // Word moves in a right-to-left line go the way of the arrow, across line ends too.
  cases.push_back({QStringLiteral("abc\n") + hebrew + u' ' + hebrew + QStringLiteral(" x\nyz"),
                   strokes("Down,Home,Ctrl+Left,Left,Ctrl+Left,Ctrl+Shift+Left,Ctrl+Shift+Left,"
                           "End,Ctrl+Right,Ctrl+Right,End,Ctrl+Left,Up,Home,Ctrl+Right"),
                   true});
  cases.push_back({hebrew + QStringLiteral(" abc"), strokes("Home,Right,Right"), true});
  cases.push_back({QStringLiteral("abc ") + hebrew + QStringLiteral(" x"),
                   strokes("End,Left,Left,Left,Shift+Left"), true});
  const QString hello = QStringLiteral("hello world");
  cases.push_back({hello, {doubleClick(4, true), type(QStringLiteral("X"))}});
  cases.push_back({hello, {doubleClick(6, false), type(QStringLiteral("Y"))}});
  cases.push_back({hello, {doubleClick(10, true)}});
  cases.push_back(
      {QStringLiteral("a )  b (g)\nx"), {doubleClick(4, false), doubleClick(10, false)}});
  cases.push_back({QStringLiteral("one two\nthree four\nfive"), {tripleClick(10)}});
  cases.push_back({QStringLiteral("alpha beta gamma delta"), {doubleClickDrag(7, 13)}});
  cases.push_back({QStringLiteral("alpha beta gamma delta"), {doubleClickDrag(13, 2)}});
  cases.push_back({QString(), strokes("h,e,l,l,o,Backspace,Backspace,Ctrl+Z")});
  cases.push_back({hello, strokes("Del,Del,Del,Ctrl+Z,Ctrl+Y")});
  cases.push_back({QStringLiteral("a long first line\nshort\nanother long line"),
                   strokes("End,Down,Down,Up,Up")});
  cases.push_back({QStringLiteral("one\ntwo"), strokes("Right,Shift+Up,Shift+Down,Shift+Down")});
  cases.push_back({QStringLiteral("one two three\nfour five\nsix"),
                   {click(5), click(16, kShift), drag(2, 20), key(Qt::Key_Right)}});
  for (const Case& c : cases) {
    edit.document()->setDefaultCursorMoveStyle(c.visual ? Qt::VisualMoveStyle
                                                        : Qt::LogicalMoveStyle);
    EXPECT_TRUE(agree(c.text, c.actions)) << c.text.toStdString();
  }
}

// What a screen reader is told of each character's box lies between the
// stock editor's caret places before and after it, in a right-to-left run
// and over a picture too (in the mixed line where the direction stays).
TEST_F(TextBoxAgainstQt, ACharacterIsBoxedWhereItIsDrawn) {
  for (const auto& [sample, from, to] :
       {std::tuple{u"\u05E9\u05DC\u05D5\u05DD \u05E2\u05D5\u05DC", 0, 8},
        {u"ab \u05E9\u05DC\u05D5\u05DD cd", 4, 6},
        {u"x\U0001F44D\U0001F3FDy\U0001F1EB\U0001F1F7z", 0, 10}}) {
    box.setText(QString::fromUtf16(sample));
    edit.setPlainText(box.Text());
    const int margins = edit.cursorRect().x() - box.cursorRect().x();
    for (qint64 p = from; p < to; p = TextCursor::nextCharacter(box.document(), p)) {
      const QRect told =
          QAccessible::queryAccessibleInterface(&box)->textInterface()->characterRect(int(p));
      const QRect ours = told.translated(-box.viewport()->mapToGlobal(QPoint(-margins, 0)));
      EXPECT_NEAR(ours.left(), sides[1].characterRect(p).left(), 1) << p;
      EXPECT_NEAR(ours.right(), sides[1].characterRect(p).right(), 1) << p;
    }
  }
}

}  // namespace
}  // namespace ostrel
