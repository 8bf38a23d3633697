#include "toolkit/controls/TextBoxAccessible.h"

#include <algorithm>

#include "toolkit/controls/TextBox.h"
#include "toolkit/text/TextDocument.h"

namespace ostrel {

namespace {
int clampToInt(qint64 value) {
  return static_cast<int>(std::clamp<qint64>(0, value, INT_MAX));
}

QAccessibleInterface* textBoxFactory(const QString& className, QObject* object) {
  if (className == QLatin1String(TextBox::staticMetaObject.className()) && object &&
      object->isWidgetType()) {
    return new TextBoxAccessible(static_cast<TextBox*>(object));
  }
  return nullptr;
}
}  // namespace

TextBoxAccessible::TextBoxAccessible(TextBox* box)
    : QAccessibleWidget(box, QAccessible::EditableText) {}

void TextBoxAccessible::install() {
  static const bool installed = [] {
    QAccessible::installFactory(textBoxFactory);
    return true;
  }();
  Q_UNUSED(installed);
}

TextBox* TextBoxAccessible::box() const {
  return static_cast<TextBox*>(widget());
}

void* TextBoxAccessible::interface_cast(QAccessible::InterfaceType type) {
  if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
  if (type == QAccessible::EditableTextInterface) {
    return static_cast<QAccessibleEditableTextInterface*>(this);
  }
  return QAccessibleWidget::interface_cast(type);
}

QAccessible::State TextBoxAccessible::state() const {
  QAccessible::State s = QAccessibleWidget::state();
  s.editable = true;
  s.multiLine = true;
  s.selectableText = true;
  return s;
}

QString TextBoxAccessible::text(QAccessible::Text t) const {
  if (t == QAccessible::Value) return text(0, characterCount());
  return QAccessibleWidget::text(t);
}

void TextBoxAccessible::selection(int selectionIndex, int* startOffset, int* endOffset) const {
  *startOffset = *endOffset = 0;
  if (selectionIndex != 0 || !box()->hasSelection()) return;
  *startOffset = clampToInt(qMin(box()->cursorPosition(), box()->anchorPosition()));
  *endOffset = clampToInt(qMax(box()->cursorPosition(), box()->anchorPosition()));
}

int TextBoxAccessible::selectionCount() const {
  return box()->hasSelection() ? 1 : 0;
}

void TextBoxAccessible::addSelection(int startOffset, int endOffset) {
  setSelection(0, startOffset, endOffset);
}

void TextBoxAccessible::removeSelection(int selectionIndex) {
  if (selectionIndex == 0) box()->setCursorPosition(box()->cursorPosition());
}

void TextBoxAccessible::setSelection(int selectionIndex, int startOffset, int endOffset) {
  if (selectionIndex != 0) return;
  box()->setCursorPosition(startOffset);
  box()->setCursorPosition(endOffset, TextBox::Selection::Extend);
}

int TextBoxAccessible::cursorPosition() const {
  return clampToInt(box()->cursorPosition());
}

void TextBoxAccessible::setCursorPosition(int position) {
  box()->setCursorPosition(position);
}

QString TextBoxAccessible::text(int startOffset, int endOffset) const {
  if (endOffset <= startOffset) return {};
  return box()->document().text(startOffset, endOffset - startOffset);
}

QString TextBoxAccessible::lineAround(qint64 offset, int* startOffset, int* endOffset) const {
  const TextDocument& d = box()->document();
  const qint64 line = d.lineAt(std::clamp<qint64>(0, offset, d.length()));
  const qint64 start = d.lineStart(line);
  const qint64 end = start + d.lineLength(line) + d.lineEndLength(line);
  *startOffset = clampToInt(start);
  *endOffset = clampToInt(end);
  return d.text(*startOffset, *endOffset - *startOffset);
}

QString TextBoxAccessible::textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                        int* startOffset, int* endOffset) const {
  const TextDocument& d = box()->document();
  switch (boundaryType) {
    case QAccessible::CharBoundary:
      *startOffset = offset;
      *endOffset = clampToInt(qMin<qint64>(offset + 1, d.length()));
      return text(*startOffset, *endOffset);
    case QAccessible::NoBoundary:
      *startOffset = 0;
      *endOffset = characterCount();
      return text(0, *endOffset);
    default:
      // Words and sentences are found within the line, which a reader asks
      // for anyway; the whole text is never decoded for them.
      return lineAround(offset, startOffset, endOffset);
  }
}

QString TextBoxAccessible::textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                            int* startOffset, int* endOffset) const {
  if (boundaryType == QAccessible::CharBoundary) {
    return textAtOffset(offset - 1, boundaryType, startOffset, endOffset);
  }
  const TextDocument& d = box()->document();
  const qint64 line = d.lineAt(std::clamp<qint64>(0, offset, d.length()));
  if (line == 0) {
    *startOffset = *endOffset = 0;
    return {};
  }
  return lineAround(d.lineStart(line - 1), startOffset, endOffset);
}

QString TextBoxAccessible::textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                           int* startOffset, int* endOffset) const {
  if (boundaryType == QAccessible::CharBoundary) {
    return textAtOffset(offset + 1, boundaryType, startOffset, endOffset);
  }
  const TextDocument& d = box()->document();
  const qint64 line = d.lineAt(std::clamp<qint64>(0, offset, d.length()));
  if (line + 1 >= d.lineCount()) {
    *startOffset = *endOffset = characterCount();
    return {};
  }
  return lineAround(d.lineStart(line + 1), startOffset, endOffset);
}

int TextBoxAccessible::characterCount() const {
  return clampToInt(box()->document().length());
}

QRect TextBoxAccessible::characterRect(int offset) const {
  const QRect local = box()->rectAt(offset, 1);
  return QRect(box()->viewport()->mapToGlobal(local.topLeft()), local.size());
}

int TextBoxAccessible::offsetAtPoint(const QPoint& point) const {
  return clampToInt(box()->positionAt(box()->viewport()->mapFromGlobal(point)));
}

void TextBoxAccessible::scrollToSubstring(int startIndex, int endIndex) {
  box()->setCursorPosition(endIndex);
  box()->setCursorPosition(startIndex, TextBox::Selection::Extend);
  box()->ensureCursorVisible();
}

QString TextBoxAccessible::attributes(int offset, int* startOffset, int* endOffset) const {
  *startOffset = *endOffset = offset;
  return {};
}

void TextBoxAccessible::deleteText(int startOffset, int endOffset) {
  replaceText(startOffset, endOffset, QString());
}

void TextBoxAccessible::insertText(int offset, const QString& text) {
  replaceText(offset, offset, text);
}

void TextBoxAccessible::replaceText(int startOffset, int endOffset, const QString& text) {
  box()->setCursorPosition(startOffset);
  box()->setCursorPosition(endOffset, TextBox::Selection::Extend);
  box()->insertText(text);
}

}  // namespace ostrel
