#include "toolkit/controls/TextBoxMouse.h"

#include <QApplication>
#include <QClipboard>
#include <QDrag>
#include <QMimeData>
#include <QScrollBar>

#include "toolkit/controls/TextBox.h"
#include "toolkit/files/LineEnds.h"

namespace ostrel {

namespace {
constexpr int kAutoScrollMs = 50;

TextBoxMouse::DragRunner& dragRunner() {
  static TextBoxMouse::DragRunner runner = [](QWidget* source, QMimeData* data) {
    auto* drag = new QDrag(source);
    drag->setMimeData(data);
    return drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction);
  };
  return runner;
}

}  // namespace

void TextBoxMouse::setDragRunner(DragRunner runner) {
  dragRunner() = std::move(runner);
}

TextBoxMouse::Primary& TextBoxMouse::primary() {
  static Primary desktop{
      [] { return QApplication::clipboard()->supportsSelection(); },
      [] { return QApplication::clipboard()->text(QClipboard::Selection); },
      [](const QString& text) { QApplication::clipboard()->setText(text, QClipboard::Selection); }};
  return desktop;
}

bool TextBoxMouse::timer(QTimerEvent* event) {
  if (event->timerId() == tripleClick_.timerId()) {
    tripleClick_.stop();
    return true;
  }
  if (event->timerId() == autoScroll_.timerId()) {
    autoScroll();
    return true;
  }
  return false;
}

void TextBoxMouse::press(QMouseEvent* event) {
  const QPoint point = event->position().toPoint();
  if (event->button() == Qt::MiddleButton) {
    if (!primary().supported()) return;
    const QString text = LineEnds::convert(primary().text(), box_.newLine_);
    box_.setFocus(Qt::MouseFocusReason);
    box_.setCursorPosition(box_.positionAt(point));
    if (text.isEmpty()) return;
    box_.document_->breakUndoCoalescing();
    box_.insertText(text);
    box_.document_->breakUndoCoalescing();
    return;
  }
  if (event->button() != Qt::LeftButton) return;
  box_.setFocus(Qt::MouseFocusReason);
  const bool tripleClick = tripleClick_.isActive() && (point - pressPoint_).manhattanLength() <
                                                          QApplication::startDragDistance();
  pressPoint_ = lastPoint_ = point;
  const qint64 at = box_.positionAt(point);
  if (tripleClick) {
    tripleClick_.stop();
    unit_ = Unit::Lines;
    box_.withCursor([&](TextCursor& c) { c.selectLineAt(at); }, false);
    origin_ = {box_.cursor_.selectionStart(), box_.cursor_.selectionEnd()};
    return;
  }
  const bool extend = event->modifiers() & Qt::ShiftModifier;
  pressOnSelection_ =
      !extend && box_.hasSelection() && at >= box_.cursor_.selectionStart() &&
      at <= box_.cursor_.selectionEnd() &&
      box_.geometry_.positionAt(point, QTextLine::CursorOnCharacter) < box_.cursor_.selectionEnd();
  if (pressOnSelection_) return;  // a click, or the start of a drag
  unit_ = Unit::Characters;
  box_.setCursorPosition(at,
                         extend ? TextCursor::Selection::Extend : TextCursor::Selection::Collapse);
}

void TextBoxMouse::doubleClick(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  pressOnSelection_ = false;
  unit_ = Unit::Words;
  pressPoint_ = event->position().toPoint();
  const qint64 at = box_.positionAt(pressPoint_);
  box_.withCursor([&](TextCursor& c) { c.selectWordAt(at); }, false);
  origin_ = {box_.cursor_.selectionStart(), box_.cursor_.selectionEnd()};
  tripleClick_.start(QApplication::doubleClickInterval(), &box_);
}

void TextBoxMouse::move(QMouseEvent* event) {
  const QPoint point = event->position().toPoint();
  if (!(event->buttons() & Qt::LeftButton)) {
    unit_ = Unit::None;
    pressOnSelection_ = false;
    return;
  }
  lastPoint_ = point;
  if (pressOnSelection_) {
    if ((point - pressPoint_).manhattanLength() >= QApplication::startDragDistance()) {
      pressOnSelection_ = false;
      startDrag();
    }
    return;
  }
  if (unit_ == Unit::None) return;
  extendTo(point);
  if (box_.viewport()->rect().contains(point)) {
    autoScroll_.stop();
  } else if (!autoScroll_.isActive()) {
    autoScroll_.start(kAutoScrollMs, &box_);
  }
}

void TextBoxMouse::release(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  autoScroll_.stop();
  if (pressOnSelection_) {
    // A click on the selection without a drag places the caret.
    pressOnSelection_ = false;
    box_.setCursorPosition(box_.positionAt(event->position().toPoint()));
  }
  unit_ = Unit::None;
}

// Extends the selection to point by the unit the press chose, keeping what
// a double or triple click selected.
void TextBoxMouse::extendTo(QPoint point) {
  const qint64 at = box_.positionAt(point);
  box_.withCursor([&](TextCursor& c) {
    const TextDocument& d = c.document();
    const qint64 line = d.lineAt(at);
    if (unit_ == Unit::Characters) {
      c.setPosition(at, TextCursor::Selection::Extend);
    } else if (unit_ == Unit::Lines) {
      const qint64 next = line + 1 < d.lineCount() ? d.lineStart(line + 1) : d.length();
      if (at < origin_.start) c.select(origin_.end, d.lineStart(line));
      if (at >= origin_.end) c.select(origin_.start, next);
    } else if (at < origin_.start) {
      c.select(origin_.end, TextCursor::segmentAt(d, at).start);
    } else if (at > origin_.end) {
      // Forwards the selection ends at the nearer edge of the word under the mouse.
      const TextCursor::Range word =
          TextCursor::segmentAt(d, box_.geometry_.positionAt(point, QTextLine::CursorOnCharacter));
      const qreal x = point.x() - TextBoxGeometry::kMargin + box_.geometry_.contentX();
      const qreal toStart = x - box_.geometry_.xOf(word.start);
      const qreal toEnd = box_.geometry_.xOf(word.end) - x;
      c.select(origin_.start, toStart < toEnd ? word.start : word.end);
    } else {
      c.select(origin_.start, origin_.end);
    }
  });
}

void TextBoxMouse::autoScroll() {
  const QRect view = box_.viewport()->rect();
  if (lastPoint_.y() < view.top()) {
    box_.setTopLine(box_.topLine_ - 1);
  } else if (lastPoint_.y() > view.bottom()) {
    box_.setTopLine(box_.topLine_ + 1);
  }
  QScrollBar* h = box_.horizontalScrollBar();
  if (lastPoint_.x() < view.left()) {
    h->setValue(h->value() - h->singleStep());
  } else if (lastPoint_.x() > view.right()) {
    h->setValue(h->value() + h->singleStep());
  }
  extendTo(lastPoint_);
}

void TextBoxMouse::startDrag() {
  dragged_ = TextCursor::Range{box_.cursor_.selectionStart(), box_.cursor_.selectionEnd()};
  droppedHere_ = false;
  auto* data = new QMimeData;
  data->setText(box_.selectedTextToShare());
  const Qt::DropAction action = dragRunner()(&box_, data);
  // Moved elsewhere: the text leaves this box.
  if (action == Qt::MoveAction && !droppedHere_ && dragged_) {
    const TextCursor::Range range = *dragged_;
    box_.withCursor([&](TextCursor& c) {
      c.select(range.start, range.end);
      c.deleteSelection();
    });
  }
  dragged_.reset();
  unit_ = Unit::None;
}

void TextBoxMouse::dragEnter(QDragEnterEvent* event) {
  if (!event->mimeData()->hasText()) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
  dropCaret_ = box_.positionAt(event->position().toPoint());
  box_.viewport()->update();
}

void TextBoxMouse::dragMove(QDragMoveEvent* event) {
  if (!event->mimeData()->hasText()) {
    event->ignore();
    return;
  }
  const qint64 at = box_.positionAt(event->position().toPoint());
  if (!accept(event, at)) event->ignore();
  dropCaret_ = at;
  lastPoint_ = event->position().toPoint();
  const QRect margin = box_.viewport()->rect().adjusted(0, box_.layouts_.lineHeight(), 0,
                                                        -box_.layouts_.lineHeight());
  if (!margin.contains(lastPoint_)) autoScroll();
  box_.viewport()->update();
}

void TextBoxMouse::dragLeave(QDragLeaveEvent* event) {
  dropCaret_ = -1;
  box_.viewport()->update();
  event->accept();
}

// The box's own selection moves, or with Ctrl is copied, but not onto itself;
// text from elsewhere comes as its program offers it.
bool TextBoxMouse::accept(QDropEvent* event, qint64 at) const {
  if (!dragged_) {
    event->acceptProposedAction();
    return true;
  }
  const bool copy = event->modifiers() & Qt::ControlModifier;
  if (!copy && at >= dragged_->start && at <= dragged_->end) return false;
  event->setDropAction(copy ? Qt::CopyAction : Qt::MoveAction);
  event->accept();
  return true;
}

void TextBoxMouse::drop(QDropEvent* event) {
  dropCaret_ = -1;
  const QString text = LineEnds::convert(event->mimeData()->text(), box_.newLine_);
  const qint64 at = box_.positionAt(event->position().toPoint());
  if (text.isEmpty() || !accept(event, at)) {
    event->ignore();
    box_.viewport()->update();
    return;
  }
  const bool move = dragged_ && event->dropAction() == Qt::MoveAction;
  box_.document_->breakUndoCoalescing();
  box_.withCursor([&](TextCursor& c) {
    TextDocument& d = c.document();
    if (!move) {
      c.setPosition(at);
      c.insertText(text);
      c.select(at, at + text.size());
      return;
    }
    // A move within the box is one edit of the stretch between the two places.
    const auto [from, to] = *dragged_;
    const QString moved = d.text(from, to - from);
    if (at > to) {
      c.select(from, at);
      c.insertText(d.text(to, at - to) + moved);
      c.select(at - moved.size(), at);
    } else {
      c.select(at, to);
      c.insertText(moved + d.text(at, from - at));
      c.select(at, at + moved.size());
    }
  });
  box_.document_->breakUndoCoalescing();
  droppedHere_ = dragged_.has_value();
  box_.setFocus(Qt::MouseFocusReason);
}

}  // namespace ostrel
