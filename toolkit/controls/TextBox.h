#pragma once

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <functional>
#include <memory>
#include <optional>

#include "toolkit/controls/ControlGeometry.h"
#include "toolkit/controls/TextBoxGeometry.h"
#include "toolkit/controls/TextBoxMouse.h"
#include "toolkit/controls/TextKeys.h"
#include "toolkit/controls/TextLayoutCache.h"
#include "toolkit/text/TextCursor.h"
#include "toolkit/text/TextDocument.h"

class QMenu;
class QMimeData;

namespace ostrel {

// A multi-line text box with both scroll bars and no wrapping, for text of
// any size. The text lives in a TextDocument (the file's bytes and the
// edits); the box decodes and lays out only the lines in view, and a long
// line only in a window around the visible columns, so a file of a hundred
// megabytes or a line of ten behaves like a short one. Text() gives back the
// whole content with every line end as it was put in; a line the user adds
// takes the text's most common line end.
class TextBox : public QAbstractScrollArea, public ControlGeometry {
  Q_OBJECT

 public:
  TextBox(QWidget* parent, const QString& name, ScaleMode mode = ScaleMode::Twips);
  ~TextBox() override;

  QString Text() const;
  void setText(const QString& text);

  // Points, for the whole box.
  float FontSize() const;
  void setFontSize(float points);

  // The document shown; the box keeps it until another one is set.
  void setDocument(std::unique_ptr<TextDocument> document);
  TextDocument& document() const { return *document_; }

  // The caret and the selection, as positions in the text (UTF-16 units).
  // The selection runs from the anchor to the caret.
  using Selection = TextCursor::Selection;
  qint64 cursorPosition() const { return cursor_.position(); }
  qint64 anchorPosition() const { return cursor_.anchor(); }
  void setCursorPosition(qint64 position, Selection selection = Selection::Collapse);
  bool hasSelection() const { return cursor_.hasSelection(); }
  QString selectedText() const { return cursor_.selectedText(); }
  // The selection as the clipboard, the primary selection and drags hand it
  // out: every line end a LF.
  QString selectedTextToShare() const;

  // What the keys and the context menu do; insertText replaces the selection
  // as typing does, paste and drops take the text's own line end.
  void insertText(const QString& text);
  void deleteSelection();
  void selectAll();
  void undo();
  void redo();
  void cut();
  void copy() const;
  void paste();

  qint64 firstVisibleLine() const { return topLine_; }
  void ensureCursorVisible();

  // The caret's rectangle in viewport coordinates (also for input methods
  // and screen readers); empty when the caret is outside the view.
  QRect cursorRect() const;
  // The rectangle of length units from position on its line, in viewport coordinates.
  QRect rectAt(qint64 position, qint64 length) const;
  // The position under a viewport point.
  qint64 positionAt(QPoint point) const;

  QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

  // The menu the right mouse button shows; the caller owns it.
  QMenu* createContextMenu();
  // Adds the owner's entries to that menu.
  void setContextMenuExtension(std::function<void(QMenu*)> extend);

  // Ranges (start, length) of a line's text in view to mark as found, in
  // the highlight colour, lighter than the selection.
  using Highlighter = std::function<QList<QPair<int, int>>(QStringView text)>;
  void setHighlighter(Highlighter highlighter);
  const Highlighter& highlighter() const { return highlighter_; }

 signals:
  void textChanged();
  void cursorPositionChanged();

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dragLeaveEvent(QDragLeaveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  friend class TextBoxAccessible;
  friend class TextBoxGeometry;
  friend class TextBoxMouse;

  // The one place the text changes reach the view, and the one place the
  // caret or selection changes do.
  void documentChanged(const TextDocument::Change& change);
  void cursorChanged(qint64 oldPosition, qint64 oldAnchor);
  // After an edit made elsewhere (Replace All, a screen reader's), which
  // carried the caret along with its text.
  void followCaret(qint64 oldPosition, qint64 oldAnchor);
  // Runs an edit or move of the cursor and tells about what changed.
  void withCursor(const std::function<void(TextCursor&)>& step, bool reveal = true);
  void runKey(const TextKeys::Command& command);
  void moveCaret(TextCursor::Motion motion, Selection selection);

  void updateScrollBars();
  void setTopLine(qint64 line);
  void restartBlink();
  void paintLine(QPainter& painter, qint64 line, const QPalette& palette);

  std::unique_ptr<TextDocument> document_;
  TextBoxGeometry geometry_{*this};
  TextCursor cursor_{nullptr};
  mutable TextLayoutCache layouts_;
  QString newLine_ = QStringLiteral("\r\n");
  qint64 topLine_ = 0;
  // The caret's line as of the last move or edit.
  qint64 caretLine_ = 0;
  // Inside withCursor, whose step tells of its own caret changes.
  int cursorSteps_ = 0;
  // The last change took positions to their place in its own way (Replace All).
  bool changeMovedPlaces_ = false;
  QString preedit_;
  bool caretShown_ = true;
  QBasicTimer blink_;
  TextBoxMouse mouse_{*this};
  std::function<void(QMenu*)> extendMenu_;
  Highlighter highlighter_;
};

}  // namespace ostrel
