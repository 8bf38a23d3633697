#pragma once

#include <QAccessibleWidget>

#include "toolkit/text/TextDocument.h"

namespace ostrel {

class TextBox;

// What a screen reader sees of a text box: its text, caret and selection,
// and the edits it may make. Offsets are the box's positions; a text beyond
// what an int can count is reported up to that count.
class TextBoxAccessible : public QAccessibleWidget,
                          public QAccessibleTextInterface,
                          public QAccessibleEditableTextInterface {
 public:
  explicit TextBoxAccessible(TextBox* box);

  // Makes Qt's accessibility use this class for every text box (once), and
  // follows box's caret and selection to tell a screen reader when they move.
  static void attach(TextBox* box);
  // Tells a screen reader what an edit of box's text removed and inserted.
  static void textChanged(TextBox* box, const TextDocument::Change& change);

  void* interface_cast(QAccessible::InterfaceType type) override;
  QAccessible::State state() const override;
  QString text(QAccessible::Text t) const override;

  // QAccessibleTextInterface
  void selection(int selectionIndex, int* startOffset, int* endOffset) const override;
  int selectionCount() const override;
  void addSelection(int startOffset, int endOffset) override;
  void removeSelection(int selectionIndex) override;
  void setSelection(int selectionIndex, int startOffset, int endOffset) override;
  int cursorPosition() const override;
  void setCursorPosition(int position) override;
  QString text(int startOffset, int endOffset) const override;
  QString textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                       int* endOffset) const override;
  QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                           int* endOffset) const override;
  QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                          int* endOffset) const override;
  int characterCount() const override;
  QRect characterRect(int offset) const override;
  int offsetAtPoint(const QPoint& point) const override;
  void scrollToSubstring(int startIndex, int endIndex) override;
  QString attributes(int offset, int* startOffset, int* endOffset) const override;

  // QAccessibleEditableTextInterface
  void deleteText(int startOffset, int endOffset) override;
  void insertText(int offset, const QString& text) override;
  void replaceText(int startOffset, int endOffset, const QString& text) override;

 private:
  struct Span {
    qint64 start;
    qint64 end;
  };
  TextBox* box() const;
  qint64 bounded(int offset) const;
  // The piece of text of the kind asked for at, before and after position;
  // empty at the text's start or end when there is none.
  Span spanAt(qint64 position, QAccessible::TextBoundaryType type) const;
  Span spanBefore(qint64 position, QAccessible::TextBoundaryType type) const;
  Span spanAfter(qint64 position, QAccessible::TextBoundaryType type) const;
  QString report(Span span, int* startOffset, int* endOffset) const;
  // An edit made for a screen reader: the user's caret and selection stay
  // on the text they were on, as the text around them moves.
  void edit(qint64 start, qint64 end, const QString& text);
  // Puts the selection on [anchor, caret) with one change of the caret.
  void select(qint64 anchor, qint64 caret);
};

}  // namespace ostrel
