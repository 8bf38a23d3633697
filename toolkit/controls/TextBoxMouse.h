#pragma once

#include <QBasicTimer>
#include <QPoint>
#include <QString>
#include <functional>
#include <optional>

#include "toolkit/text/TextCursor.h"

class QDragEnterEvent;
class QDragLeaveEvent;
class QDragMoveEvent;
class QDropEvent;
class QMimeData;
class QMouseEvent;
class QTimerEvent;
class QWidget;

namespace ostrel {

class TextBox;

// The mouse habits of a text box: a click places the caret, a double click
// selects a word and a triple click the line, and a drag after either
// extends by words or lines, scrolling when it leaves the view; the
// selection can be dragged away (moved, or copied with Ctrl) and text
// dropped in; the middle button pastes the primary selection.
class TextBoxMouse {
 public:
  explicit TextBoxMouse(TextBox& box) : box_(box) {}

  // Runs a drag of data out of source and returns what the drop did.
  using DragRunner = std::function<Qt::DropAction(QWidget* source, QMimeData* data)>;
  static void setDragRunner(DragRunner runner);
  // The X11 primary selection (what is selected anywhere, pasted with the
  // middle button); tests replace the desktop's.
  struct Primary {
    std::function<bool()> supported;
    std::function<QString()> text;
    std::function<void(const QString&)> setText;
  };
  static Primary& primary();

  void press(QMouseEvent* event);
  void doubleClick(QMouseEvent* event);
  void move(QMouseEvent* event);
  void release(QMouseEvent* event);
  // True when the timer was one of these.
  bool timer(QTimerEvent* event);

  void dragEnter(QDragEnterEvent* event);
  void dragMove(QDragMoveEvent* event);
  void dragLeave(QDragLeaveEvent* event);
  void drop(QDropEvent* event);
  // Where a drop would go, or -1.
  qint64 dropCaret() const { return dropCaret_; }

 private:
  enum class Unit { None, Characters, Words, Lines };

  void extendTo(QPoint point);
  void startDrag();
  void autoScroll();
  // Accepts a drag or drop at position with the action it takes; false when
  // it cannot go there.
  bool accept(QDropEvent* event, qint64 at) const;

  TextBox& box_;
  // What a held button selects by, from what a double or triple click selected.
  Unit unit_ = Unit::None;
  TextCursor::Range origin_{0, 0};
  QPoint pressPoint_;
  QPoint lastPoint_;
  // The press was on the selection: a click, or the start of a drag.
  bool pressOnSelection_ = false;
  QBasicTimer tripleClick_;
  QBasicTimer autoScroll_;
  // A drag of the box's selection is under way; the drop moved it in the box.
  std::optional<TextCursor::Range> dragged_;
  bool droppedHere_ = false;
  qint64 dropCaret_ = -1;
};

}  // namespace ostrel
