#pragma once

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <functional>
#include <memory>

#include "toolkit/controls/ControlGeometry.h"
#include "toolkit/controls/TextLayoutCache.h"
#include "toolkit/text/TextDocument.h"

class QMenu;

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
  enum class Selection { Collapse, Extend };
  qint64 cursorPosition() const { return caret_; }
  qint64 anchorPosition() const { return anchor_; }
  void setCursorPosition(qint64 position, Selection selection = Selection::Collapse);
  bool hasSelection() const { return caret_ != anchor_; }
  QString selectedText() const;

  // What the keys and the context menu do; insertText replaces the selection
  // as typing does.
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
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  enum class Motion {
    Left,
    Right,
    WordLeft,
    WordRight,
    Up,
    Down,
    PageUp,
    PageDown,
    LineStart,
    LineEnd,
    Start,
    End
  };

  void documentChanged(const TextDocument::Change& change);
  bool handleShortcut(QKeyEvent* event);
  void moveCaret(Motion move, Selection selection);
  qint64 positionAfter(Motion move) const;
  // The line holding position and where its text starts and ends (before its line end).
  struct LineSpan {
    qint64 line;
    qint64 start;
    qint64 end;
  };
  LineSpan lineSpanAt(qint64 position) const;
  qint64 nextCharacter(qint64 position, int direction) const;
  qint64 wordBoundary(qint64 position, int direction) const;
  void selectWordAt(qint64 position);
  void replaceSelection(const QString& text);
  void deleteAround(int direction, bool wholeWord);

  // Geometry: the line's layout for the current horizontal view, and x of a
  // position on its line in content coordinates.
  const TextLayoutCache::Entry& layoutOf(qint64 line) const;
  qreal xOf(qint64 position) const;
  qint64 positionAtX(qint64 line, qreal x) const;
  int visibleLineCount() const;
  qreal contentX() const;
  void updateScrollBars();
  void setTopLine(qint64 line);
  void restartBlink();

  std::unique_ptr<TextDocument> document_;
  mutable TextLayoutCache layouts_;
  QString newLine_ = QStringLiteral("\r\n");
  qint64 caret_ = 0;
  qint64 anchor_ = 0;
  qint64 topLine_ = 0;
  qreal wantedX_ = -1;  // kept across Up/Down
  QString preedit_;
  bool caretShown_ = true;
  bool dragging_ = false;
  QBasicTimer blink_;
  std::function<void(QMenu*)> extendMenu_;
  Highlighter highlighter_;
};

}  // namespace ostrel
