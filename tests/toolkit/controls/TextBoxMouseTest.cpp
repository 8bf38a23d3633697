#include "tests/support/ShowFocused.h"
#include "toolkit/controls/TextBoxMouse.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QTest>

#include "toolkit/controls/TextBox.h"
#include "toolkit/text/TextDocument.h"

namespace ostrel {
namespace {

// Drops data on viewport at point as a desktop would, Ctrl held when
// modifiers say so; returns what the drop did.
Qt::DropAction dropOn(QWidget* viewport, QPoint at, const QMimeData* data,
                      Qt::KeyboardModifiers modifiers) {
  const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
  QDragEnterEvent enter(at, actions, data, Qt::LeftButton, modifiers);
  QApplication::sendEvent(viewport, &enter);
  if (!enter.isAccepted()) return Qt::IgnoreAction;
  QDragMoveEvent move(at, actions, data, Qt::LeftButton, modifiers);
  QApplication::sendEvent(viewport, &move);
  if (!move.isAccepted()) return Qt::IgnoreAction;
  QDropEvent drop(QPointF(at), actions, data, Qt::LeftButton, modifiers);
  QApplication::sendEvent(viewport, &drop);
  return drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
}

class TextBoxMouseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(test::showFocused(box));
    saved = TextBoxMouse::primary();
    TextBoxMouse::primary() = {[] { return true; }, [this] { return primary; },
                               [this](const QString& text) { primary = text; }};
  }
  void TearDown() override {
    TextBoxMouse::primary() = saved;
    TextBoxMouse::setDragRunner(nullptr);
  }

  QPoint at(qint64 position) { return box.rectAt(position, 0).center(); }
  // Presses on the selection and drags it away, the drop done by runner.
  void dragSelection(qint64 from, const TextBoxMouse::DragRunner& runner) {
    TextBoxMouse::setDragRunner(runner);
    QTest::mousePress(box.viewport(), Qt::LeftButton, Qt::NoModifier, at(from));
    QMouseEvent move(QEvent::MouseMove, QPointF(at(from) + QPoint(40, 0)),
                     box.viewport()->mapToGlobal(QPointF(at(from) + QPoint(40, 0))), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(box.viewport(), &move);
    QTest::mouseRelease(box.viewport(), Qt::LeftButton, Qt::NoModifier, at(from));
  }
  // A drag ending in a drop on the box at position.
  TextBoxMouse::DragRunner dropAt(qint64 position, Qt::KeyboardModifiers modifiers,
                                  QString* dragged = nullptr) {
    return [=, this](QWidget*, QMimeData* data) {
      if (dragged != nullptr) *dragged = data->text();
      const Qt::DropAction done = dropOn(box.viewport(), at(position), data, modifiers);
      delete data;
      return done;
    };
  }

  TextBox box{nullptr, QStringLiteral("Text1")};
  QString primary;
  TextBoxMouse::Primary saved;
};

TEST_F(TextBoxMouseTest, ASelectionDraggedMovesOrCopiesAsOneStepAndAClickPlacesTheCaret) {
  box.setText(QStringLiteral("one two three"));
  box.setCursorPosition(0);
  box.setCursorPosition(4, TextBox::Selection::Extend);
  QString dragged;
  dragSelection(1, dropAt(13, Qt::NoModifier, &dragged));
  EXPECT_EQ(dragged, QStringLiteral("one "));
  EXPECT_EQ(box.Text(), QStringLiteral("two threeone "));
  EXPECT_EQ(box.selectedText(), QStringLiteral("one ")) << "the moved text stays selected";
  box.undo();
  EXPECT_EQ(box.Text(), QStringLiteral("one two three"));

  box.setCursorPosition(4);
  box.setCursorPosition(7, TextBox::Selection::Extend);
  dragSelection(5, dropAt(0, Qt::ControlModifier));
  EXPECT_EQ(box.Text(), QStringLiteral("twoone two three"));
  // Dropped in another program, it leaves when moved.
  for (const Qt::DropAction action : {Qt::CopyAction, Qt::MoveAction}) {
    box.setText(QStringLiteral("keep this"));
    box.setCursorPosition(4);
    box.setCursorPosition(9, TextBox::Selection::Extend);
    dragSelection(6, [&](QWidget*, QMimeData* data) {
      delete data;
      return action;
    });
    EXPECT_EQ(box.Text(), action == Qt::MoveAction ? QStringLiteral("keep") : "keep this");
  }
  // A click on the selection without a drag just places the caret.
  box.setText(QStringLiteral("abc"));
  box.selectAll();
  QTest::mouseClick(box.viewport(), Qt::LeftButton, Qt::NoModifier, at(1));
  EXPECT_EQ(box.cursorPosition(), 1);
  EXPECT_FALSE(box.hasSelection());
}

TEST_F(TextBoxMouseTest, TheMiddleButtonPastesTheSelectionAndADragPastTheEdgeScrolls) {
  box.setText(QStringLiteral("alpha beta\r\ngamma"));
  QTest::keyClick(&box, Qt::Key_Right, Qt::ShiftModifier | Qt::ControlModifier);
  EXPECT_EQ(primary, QStringLiteral("alpha "));
  QTest::mouseDClick(box.viewport(), Qt::LeftButton, Qt::NoModifier, box.rectAt(7, 1).center());
  EXPECT_EQ(primary, QStringLiteral("beta"));
  primary = QStringLiteral("x\ny");
  QTest::mouseClick(box.viewport(), Qt::MiddleButton, Qt::NoModifier, at(12));
  EXPECT_EQ(box.Text(), QStringLiteral("alpha beta\r\nx\r\nygamma"));
  EXPECT_EQ(box.cursorPosition(), 16);
  box.selectAll();
  EXPECT_EQ(primary, QStringLiteral("alpha beta\nx\nygamma")) << "other programs take LF";
  QString text;
  for (int i = 0; i < 200; ++i) text += QStringLiteral("line %1\n").arg(i);
  box.setText(text);
  QTest::mousePress(box.viewport(), Qt::LeftButton, Qt::NoModifier, at(2));
  const QPoint below(20, box.viewport()->height() + 30);
  QMouseEvent move(QEvent::MouseMove, QPointF(below), box.viewport()->mapToGlobal(QPointF(below)),
                   Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(box.viewport(), &move);
  QTest::qWait(400);
  const qint64 top = box.firstVisibleLine();
  EXPECT_GT(top, 2) << "the view follows the mouse while the button is held";
  EXPECT_GT(box.document().lineAt(box.cursorPosition()), top);
  QTest::mouseRelease(box.viewport(), Qt::LeftButton, Qt::NoModifier, below);
  QTest::qWait(200);
  EXPECT_EQ(box.firstVisibleLine(), top) << "and stops when it is let go";
  EXPECT_EQ(box.anchorPosition(), 2);
}

}  // namespace
}  // namespace ostrel
