#include "toolkit/controls/TextBoxAccessible.h"

#include <QSignalBlocker>
#include <QTextBoundaryFinder>
#include <algorithm>
#include <vector>

#include "toolkit/controls/TextBox.h"
#include "toolkit/text/TextCursor.h"
#include "toolkit/text/TextDocument.h"

namespace ostrel {

namespace {
// How many lines a search for the next or previous word or sentence crosses.
constexpr qint64 kLinesCrossed = 256;
// Around a character, enough for any cluster people write.
constexpr qint64 kClusterReach = 32;
// A longer line is read in pieces of this many units, so that a reader
// following the caret along a line of megabytes gets what it can speak.
constexpr qint64 kLinePiece = 64 * 1024;
// Of a huge insert a reader hears the beginning.
constexpr qint64 kInsertedTold = TextDocument::kRemovedTextKept;

int clampToInt(qint64 value) {
  return static_cast<int>(std::clamp<qint64>(value, 0, INT_MAX));
}

// Whether anyone hears the events: a screen reader through the platform's
// bridge, or a handler installed in the process.
bool someoneListens() {
  if (QAccessible::isActive()) return true;
  const QAccessible::UpdateHandler handler = QAccessible::installUpdateHandler(nullptr);
  QAccessible::installUpdateHandler(handler);
  return handler != nullptr;
}

QAccessibleInterface* textBoxFactory(const QString& className, QObject* object) {
  if (className == QLatin1String(TextBox::staticMetaObject.className()) && object &&
      object->isWidgetType()) {
    return new TextBoxAccessible(static_cast<TextBox*>(object));
  }
  return nullptr;
}

// The words (or sentences) around position, runs of spaces left out: what the
// keys and the mouse take for words too.
std::vector<TextCursor::Range> readable(const TextDocument& d, qint64 position,
                                        QAccessible::TextBoundaryType type) {
  std::vector<TextCursor::Range> found = TextCursor::segmentsAround(
      d, position,
      type == QAccessible::SentenceBoundary ? QTextBoundaryFinder::Sentence
                                            : QTextBoundaryFinder::Word);
  const auto spaces = [&](const TextCursor::Range& r) {
    const QString text = d.text(r.start, r.end - r.start);
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.isSpace(); });
  };
  found.erase(std::remove_if(found.begin(), found.end(), spaces), found.end());
  return found;
}

// Where piece of the line from lineStart to lineEnd starts: never inside a
// surrogate pair.
qint64 pieceStart(const TextDocument& d, qint64 lineStart, qint64 lineEnd, qint64 piece) {
  const qint64 at = qMin(lineEnd, lineStart + piece * kLinePiece);
  if (at > lineStart && at < lineEnd && d.text(at - 1, 1).at(0).isHighSurrogate()) return at + 1;
  return at;
}

// Follows a box's caret and selection; a screen reader hears each change
// once, as a stock text box tells it.
class CaretFollower : public QObject {
 public:
  explicit CaretFollower(TextBox* box) : QObject(box), box_(box) {
    caret_ = box->cursorPosition();
    anchor_ = box->anchorPosition();
    connect(box, &TextBox::cursorPositionChanged, this, &CaretFollower::changed);
  }

 private:
  void changed() {
    const qint64 caret = box_->cursorPosition();
    const qint64 anchor = box_->anchorPosition();
    const bool hadSelection = caret_ != anchor_;
    const bool selectionChanged = hadSelection != (caret != anchor) ||
                                  (caret != anchor && (caret != caret_ || anchor != anchor_));
    const bool caretMoved = caret != caret_;
    caret_ = caret;
    anchor_ = anchor;
    if (!someoneListens()) return;
    if (caretMoved) {
      QAccessibleTextCursorEvent event(box_, clampToInt(caret));
      QAccessible::updateAccessibility(&event);
    }
    if (selectionChanged) {
      QAccessibleTextSelectionEvent event(box_, clampToInt(qMin(caret, anchor)),
                                          clampToInt(qMax(caret, anchor)));
      QAccessible::updateAccessibility(&event);
    }
  }

  TextBox* box_;
  qint64 caret_;
  qint64 anchor_;
};
}  // namespace

TextBoxAccessible::TextBoxAccessible(TextBox* box)
    : QAccessibleWidget(box, QAccessible::EditableText) {}

void TextBoxAccessible::attach(TextBox* box) {
  static const bool installed = [] {
    QAccessible::installFactory(textBoxFactory);
    return true;
  }();
  Q_UNUSED(installed);
  new CaretFollower(box);
}

void TextBoxAccessible::textChanged(TextBox* box, const TextDocument::Change& change) {
  if (!someoneListens()) return;
  const int at = clampToInt(change.position);
  // What went, or as many spaces when it was not kept, so the count is right.
  const QString removed = change.removedText.isEmpty() && change.removed > 0
                              ? QString(qMin(change.removed, kInsertedTold), u' ')
                              : change.removedText;
  const QString inserted =
      change.inserted > 0
          ? box->document().text(change.position, qMin(change.inserted, kInsertedTold))
          : QString();
  if (!removed.isEmpty() && !inserted.isEmpty()) {
    QAccessibleTextUpdateEvent event(box, at, removed, inserted);
    QAccessible::updateAccessibility(&event);
  } else if (!removed.isEmpty()) {
    QAccessibleTextRemoveEvent event(box, at, removed);
    QAccessible::updateAccessibility(&event);
  } else if (!inserted.isEmpty()) {
    QAccessibleTextInsertEvent event(box, at, inserted);
    QAccessible::updateAccessibility(&event);
  }
}

TextBox* TextBoxAccessible::box() const {
  return static_cast<TextBox*>(widget());
}

qint64 TextBoxAccessible::bounded(int offset) const {
  return std::clamp<qint64>(offset, 0, box()->document().length());
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
  select(bounded(startOffset), bounded(endOffset));
}

void TextBoxAccessible::select(qint64 anchor, qint64 caret) {
  if (anchor != caret) {
    // The caret passes the anchor unannounced: one change is heard.
    const QSignalBlocker quiet(box());
    box()->setCursorPosition(anchor);
  }
  box()->setCursorPosition(
      caret, anchor != caret ? TextBox::Selection::Extend : TextBox::Selection::Collapse);
}

int TextBoxAccessible::cursorPosition() const {
  return clampToInt(box()->cursorPosition());
}

void TextBoxAccessible::setCursorPosition(int position) {
  box()->setCursorPosition(bounded(position));
}

QString TextBoxAccessible::text(int startOffset, int endOffset) const {
  const qint64 start = bounded(startOffset);
  const qint64 end = bounded(endOffset);
  if (end <= start) return {};
  return box()->document().text(start, end - start);
}

TextBoxAccessible::Span TextBoxAccessible::spanAt(qint64 position,
                                                  QAccessible::TextBoundaryType type) const {
  const TextDocument& d = box()->document();
  switch (type) {
    case QAccessible::CharBoundary: {
      // The character as a reader sees it: the whole grapheme cluster, also
      // asked for in its middle.
      if (position >= d.length()) return {d.length(), d.length()};
      const qint64 from = qMax<qint64>(0, position - kClusterReach);
      const qint64 to = qMin(d.length(), position + kClusterReach);
      QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, d.text(from, to - from));
      finder.setPosition(position - from);
      const qint64 start = finder.isAtBoundary() ? position - from : finder.toPreviousBoundary();
      finder.setPosition(start);
      const qint64 end = finder.toNextBoundary();
      return {from + start, end < 0 ? to : from + end};
    }
    case QAccessible::WordBoundary:
    case QAccessible::SentenceBoundary: {
      // The one holding position; in the spaces after one, that one; in
      // spaces leading a line, the line's first.
      const std::vector<TextCursor::Range> found = readable(d, position, type);
      const TextCursor::Range* before = nullptr;
      for (const TextCursor::Range& s : found) {
        if (s.start <= position && position < s.end) return {s.start, s.end};
        if (s.end <= position) before = &s;
      }
      if (before != nullptr) return {before->start, before->end};
      if (!found.empty()) return {found.front().start, found.front().end};
      return {position, position};
    }
    case QAccessible::LineBoundary:
    case QAccessible::ParagraphBoundary: {
      const qint64 line = d.lineAt(position);
      const qint64 start = d.lineStart(line);
      const qint64 end = start + d.lineLength(line);
      if (end - start <= kLinePiece) return {start, end};
      qint64 piece = qMin(position, end - 1) - start;
      piece /= kLinePiece;
      if (position < pieceStart(d, start, end, piece)) --piece;
      return {pieceStart(d, start, end, piece), pieceStart(d, start, end, piece + 1)};
    }
    case QAccessible::NoBoundary:
      break;
  }
  return {0, d.length()};
}

TextBoxAccessible::Span TextBoxAccessible::spanBefore(qint64 position,
                                                      QAccessible::TextBoundaryType type) const {
  const TextDocument& d = box()->document();
  const Span at = spanAt(position, type);
  switch (type) {
    case QAccessible::CharBoundary:
      return at.start > 0 ? spanAt(at.start - 1, type) : Span{0, 0};
    case QAccessible::WordBoundary:
    case QAccessible::SentenceBoundary: {
      const qint64 line = d.lineAt(position);
      for (qint64 l = line; l >= qMax<qint64>(0, line - kLinesCrossed); --l) {
        const qint64 around = l == line ? at.start : d.lineStart(l) + d.lineLength(l);
        const std::vector<TextCursor::Range> found = readable(d, around, type);
        const auto last = std::find_if(
            found.rbegin(), found.rend(),
            [&](const TextCursor::Range& s) { return s.end <= at.start && s.start < at.start; });
        if (last != found.rend()) return {last->start, last->end};
      }
      return {0, 0};
    }
    case QAccessible::LineBoundary:
    case QAccessible::ParagraphBoundary: {
      const qint64 line = d.lineAt(position);
      if (at.start > d.lineStart(line)) return spanAt(at.start - 1, type);
      if (line == 0) return {0, 0};
      return spanAt(d.lineStart(line - 1), type);
    }
    case QAccessible::NoBoundary:
      break;
  }
  return {0, 0};
}

TextBoxAccessible::Span TextBoxAccessible::spanAfter(qint64 position,
                                                     QAccessible::TextBoundaryType type) const {
  const TextDocument& d = box()->document();
  const Span end{d.length(), d.length()};
  const Span at = spanAt(position, type);
  switch (type) {
    case QAccessible::CharBoundary:
      return at.end < d.length() ? spanAt(at.end, type) : end;
    case QAccessible::WordBoundary:
    case QAccessible::SentenceBoundary: {
      const qint64 from = at.end > at.start ? at.end : position;
      const qint64 line = d.lineAt(position);
      const qint64 last = qMin(d.lineCount() - 1, line + kLinesCrossed);
      for (qint64 l = line; l <= last; ++l) {
        const qint64 around = l == line ? from : d.lineStart(l);
        for (const TextCursor::Range& s : readable(d, around, type)) {
          if (s.start >= from && s.end > from) return {s.start, s.end};
        }
      }
      return end;
    }
    case QAccessible::LineBoundary:
    case QAccessible::ParagraphBoundary: {
      const qint64 line = d.lineAt(position);
      if (at.end < d.lineStart(line) + d.lineLength(line)) return spanAt(at.end, type);
      if (line + 1 >= d.lineCount()) return end;
      return spanAt(d.lineStart(line + 1), type);
    }
    case QAccessible::NoBoundary:
      break;
  }
  return end;
}

QString TextBoxAccessible::report(Span span, int* startOffset, int* endOffset) const {
  *startOffset = clampToInt(span.start);
  *endOffset = clampToInt(span.end);
  return text(*startOffset, *endOffset);
}

QString TextBoxAccessible::textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                        int* startOffset, int* endOffset) const {
  return report(spanAt(bounded(offset), boundaryType), startOffset, endOffset);
}

QString TextBoxAccessible::textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                            int* startOffset, int* endOffset) const {
  return report(spanBefore(bounded(offset), boundaryType), startOffset, endOffset);
}

QString TextBoxAccessible::textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                           int* startOffset, int* endOffset) const {
  return report(spanAfter(bounded(offset), boundaryType), startOffset, endOffset);
}

int TextBoxAccessible::characterCount() const {
  return clampToInt(box()->document().length());
}

QRect TextBoxAccessible::characterRect(int offset) const {
  // The whole character as a reader sees it, as the character boundaries give it.
  const Span character = spanAt(bounded(offset), QAccessible::CharBoundary);
  const QRect local =
      box()->rectAt(character.start, qMax<qint64>(1, character.end - character.start));
  return QRect(box()->viewport()->mapToGlobal(local.topLeft()), local.size());
}

int TextBoxAccessible::offsetAtPoint(const QPoint& point) const {
  return clampToInt(box()->positionAt(box()->viewport()->mapFromGlobal(point)));
}

void TextBoxAccessible::scrollToSubstring(int startIndex, int endIndex) {
  select(bounded(endIndex), bounded(startIndex));
  box()->ensureCursorVisible();
}

QString TextBoxAccessible::attributes(int offset, int* startOffset, int* endOffset) const {
  *startOffset = *endOffset = clampToInt(bounded(offset));
  return {};
}

void TextBoxAccessible::deleteText(int startOffset, int endOffset) {
  edit(bounded(startOffset), bounded(endOffset), QString());
}

void TextBoxAccessible::insertText(int offset, const QString& text) {
  const qint64 at = bounded(offset);
  edit(at, at, text);
}

void TextBoxAccessible::replaceText(int startOffset, int endOffset, const QString& text) {
  edit(bounded(startOffset), bounded(endOffset), text);
}

void TextBoxAccessible::edit(qint64 start, qint64 end, const QString& text) {
  if (end < start) std::swap(start, end);
  if (end == start && text.isEmpty()) return;
  // Positions inside what goes end up at its start; those at or after the
  // edit's start move past what comes in, as a stock text box moves them.
  const auto moved = [&](qint64 p) {
    if (p < start) return p;
    if (p < end && p > start) p = start;
    if (p >= end) p -= end - start;
    return p + text.size();
  };
  const qint64 anchor = moved(box()->anchorPosition());
  const qint64 caret = moved(box()->cursorPosition());
  // One step, so a caret the edit carries along is heard once, where it ends.
  box()->withCursor(
      [&](TextCursor& c) {
        TextDocument& d = c.document();
        d.breakUndoCoalescing();
        d.replace(start, end - start, text);
        d.breakUndoCoalescing();
        c.select(qMin(anchor, d.length()), qMin(caret, d.length()));
      },
      false);
}

}  // namespace ostrel
