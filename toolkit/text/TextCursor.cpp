#include "toolkit/text/TextCursor.h"

#include <QList>
#include <QTextBoundaryFinder>
#include <algorithm>

namespace ostrel {

namespace {
// How far boundary searches look on each side: no character (cluster) is
// longer, and a word or sentence longer than this is taken in pieces.
constexpr qint64 kClusterReach = 128;
constexpr qint64 kWordReach = 1024;

struct Line {
  qint64 index;
  qint64 start;
  qint64 end;  // before the line end
};

Line lineOf(const TextDocument& d, qint64 position) {
  const qint64 line = d.lineAt(position);
  const qint64 start = d.lineStart(line);
  return {line, start, start + d.lineLength(line)};
}

// Punctuation and the symbols typed as such ($, +, ^), not pictures.
bool isMark(const TextDocument& d, TextCursor::Range segment) {
  const QString text = d.text(segment.start, segment.end - segment.start);
  return std::all_of(text.begin(), text.end(), [](QChar c) {
    return c.isPunct() || c.category() == QChar::Symbol_Math ||
           c.category() == QChar::Symbol_Currency || c.category() == QChar::Symbol_Modifier;
  });
}

bool isPair(const QString& text, qsizetype i) {
  return i + 1 < text.size() && text[i].isHighSurrogate() && text[i + 1].isLowSurrogate();
}

// A picture of several code points: a flag, a skin tone, people joined into
// a family, a keycap. Part of one is junk nobody can see or mean, so
// Backspace takes it whole, where it takes a letter's marks one at a time.
bool isPicture(const QString& cluster) {
  const QList<uint> points = cluster.toUcs4();
  if (points.size() < 2) return false;
  constexpr uint kPictureForm = 0xFE0F;
  constexpr uint kKeycap = 0x20E3;
  return QChar::category(points.front()) == QChar::Symbol_Other || points.contains(kPictureForm) ||
         points.contains(kKeycap);
}
}  // namespace

void TextCursor::setDocument(TextDocument* document) {
  document_ = document;
  position_ = anchor_ = 0;
  wantedX_ = -1;
}

QString TextCursor::selectedText() const {
  return document_->text(selectionStart(), selectionEnd() - selectionStart());
}

void TextCursor::setPosition(qint64 position, Selection selection) {
  position = qBound<qint64>(0, position, document_->length());
  const Line line = lineOf(*document_, position);
  position = qMin(position, line.end);
  if (position != position_) document_->breakUndoCoalescing();
  position_ = position;
  if (selection == Selection::Collapse) anchor_ = position;
  wantedX_ = -1;
}

void TextCursor::select(qint64 anchor, qint64 position) {
  setPosition(anchor);
  setPosition(position, Selection::Extend);
}

// ---------------------------------------------------------------- boundaries

qint64 TextCursor::nextCharacter(const TextDocument& d, qint64 position) {
  const Line line = lineOf(d, position);
  if (position >= line.end)
    return line.index + 1 < d.lineCount() ? d.lineStart(line.index + 1) : d.length();
  const QString text = d.text(position, qMin(line.end - position, kClusterReach));
  QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
  const qsizetype next = finder.toNextBoundary();
  if (next > 0) return position + next;
  return position + (isPair(text, 0) ? 2 : 1);
}

qint64 TextCursor::previousCharacter(const TextDocument& d, qint64 position) {
  const Line line = lineOf(d, position);
  if (position <= line.start) {
    return line.index > 0 ? d.lineStart(line.index - 1) + d.lineLength(line.index - 1) : 0;
  }
  const qint64 from = qMax(line.start, position - kClusterReach);
  const QString text = d.text(from, position - from);
  QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
  finder.setPosition(text.size());
  const qsizetype previous = finder.toPreviousBoundary();
  if (previous >= 0 && previous < text.size()) return from + previous;
  return position - (isPair(text, text.size() - 2) ? 2 : 1);
}

std::vector<TextCursor::Range> TextCursor::segmentsAround(const TextDocument& d, qint64 position,
                                                          QTextBoundaryFinder::BoundaryType type) {
  const Line line = lineOf(d, position);
  const qint64 from = qBound(line.start, position - kWordReach, line.end);
  const qint64 to = qBound(from, position + kWordReach, line.end);
  std::vector<Range> found;
  const QString text = d.text(from, to - from);
  QTextBoundaryFinder finder(type, text);
  qsizetype previous = 0;
  for (qsizetype next = finder.toNextBoundary(); next > 0; next = finder.toNextBoundary()) {
    found.push_back({from + previous, from + next});
    previous = next;
  }
  return found;
}

TextCursor::Range TextCursor::segmentAt(const TextDocument& d, qint64 position) {
  const Line line = lineOf(d, position);
  if (position >= line.end) return {position, position};
  for (const Range& segment : segmentsAround(d, position)) {
    if (segment.start <= position && position < segment.end) return segment;
  }
  return {position, nextCharacter(d, position)};
}

TextCursor::Kind TextCursor::kindAt(const TextDocument& d, qint64 position, Range* segment) {
  *segment = segmentAt(d, position);
  const QString text = d.text(segment->start, segment->end - segment->start);
  bool spaces = !text.isEmpty();
  for (const QChar c : text) {
    if (c.isLetterOrNumber() || c == u'_') return Kind::Word;
    spaces = spaces && c.isSpace();
  }
  return spaces ? Kind::Space : Kind::Other;
}

// A word move goes past one word (or one run of punctuation) and the spaces
// after it; backwards, past the spaces and then the word before them.
qint64 TextCursor::nextWord(const TextDocument& d, qint64 position) {
  const Line line = lineOf(d, position);
  if (position >= line.end) return nextCharacter(d, position);
  Range segment{};
  qint64 at = position;
  const Kind first = kindAt(d, at, &segment);
  if (first == Kind::Word) {
    at = segment.end;
  } else if (first == Kind::Other) {
    while (at < line.end && kindAt(d, at, &segment) == Kind::Other) at = segment.end;
  }
  while (at < line.end && kindAt(d, at, &segment) == Kind::Space) at = segment.end;
  return at;
}

qint64 TextCursor::previousWord(const TextDocument& d, qint64 position) {
  const Line line = lineOf(d, position);
  if (position <= line.start) return previousCharacter(d, position);
  Range segment{};
  qint64 at = position;
  while (at > line.start && kindAt(d, at - 1, &segment) == Kind::Space) at = segment.start;
  if (at > line.start && kindAt(d, at - 1, &segment) == Kind::Other) {
    while (at > line.start && kindAt(d, at - 1, &segment) == Kind::Other) at = segment.start;
  } else if (at > line.start && kindAt(d, at - 1, &segment) == Kind::Word) {
    at = segment.start;
  }
  return at;
}

// ---------------------------------------------------------------- motion

qreal TextCursor::xOf(qint64 position) const {
  if (layout_) return layout_->xOf(position);
  return static_cast<qreal>(position - document_->lineStart(document_->lineAt(position)));
}

qint64 TextCursor::lineMove(qint64 lines) const {
  const TextDocument& d = *document_;
  const qint64 line = d.lineAt(position_);
  const qint64 target = qBound<qint64>(0, line + lines, d.lineCount() - 1);
  if (target == line) return position_;  // on the first or last line the caret stays
  const qreal x = wantedX_ >= 0 ? wantedX_ : xOf(position_);
  if (layout_) return layout_->positionAtX(target, x);
  return d.lineStart(target) + qBound<qint64>(0, qRound64(x), d.lineLength(target));
}

qint64 TextCursor::target(Motion motion) const {
  const TextDocument& d = *document_;
  const qint64 page = layout_ ? qMax<qint64>(1, layout_->pageLines()) : 1;
  switch (motion) {
    case Motion::Left:
    case Motion::Right: {
      const int direction = motion == Motion::Left ? -1 : 1;
      const qint64 step = layout_ ? layout_->visualStep(position_, direction) : -1;
      if (step < 0)
        return direction < 0 ? previousCharacter(d, position_) : nextCharacter(d, position_);
      if (step != position_) return step;
      // At the line's edge on screen the caret goes on to the line after it
      // in reading order, or back to the one before.
      const qint64 line = d.lineAt(position_);
      const bool forward = (direction > 0) != layout_->isRightToLeft(line);
      if (forward) return line + 1 < d.lineCount() ? d.lineStart(line + 1) : position_;
      return line > 0 ? d.lineStart(line - 1) + d.lineLength(line - 1) : position_;
    }
    case Motion::WordLeft:
    case Motion::WordRight: {
      // In a line read from right to left the word to the left is the next
      // one, wherever the caret is in it, as the stock editor has it.
      const bool rightToLeft = layout_ && layout_->isRightToLeft(d.lineAt(position_));
      const bool forward = (motion == Motion::WordRight) != rightToLeft;
      return forward ? nextWord(d, position_) : previousWord(d, position_);
    }
    case Motion::Up:
      return lineMove(-1);
    case Motion::Down:
      return lineMove(1);
    case Motion::PageUp:
      return lineMove(-page);
    case Motion::PageDown:
      return lineMove(page);
    case Motion::LineStart:
      return d.lineStart(d.lineAt(position_));
    case Motion::LineEnd:
      return lineOf(d, position_).end;
    case Motion::Start:
      return 0;
    case Motion::End:
      return d.length();
  }
  return position_;
}

void TextCursor::move(Motion motion, Selection selection) {
  const bool vertical = motion == Motion::Up || motion == Motion::Down ||
                        motion == Motion::PageUp || motion == Motion::PageDown;
  qint64 to = target(motion);
  if (selection == Selection::Collapse && hasSelection() &&
      (motion == Motion::Left || motion == Motion::Right)) {
    to = motion == Motion::Left ? selectionStart() : selectionEnd();
  }
  qreal keptX = vertical ? (wantedX_ >= 0 ? wantedX_ : xOf(position_)) : -1;
  const qint64 line = document_->lineAt(position_);
  const bool firstLine = line == 0;
  const bool lastLine = line == document_->lineCount() - 1;
  if (selection == Selection::Collapse &&
      ((motion == Motion::Up && firstLine) || (motion == Motion::Down && lastLine))) {
    return;  // nowhere to go: the selection stays, as in the stock editor
  }
  if (selection == Selection::Extend && motion == Motion::Up && firstLine) {
    to = 0;
    keptX = -1;
  } else if (selection == Selection::Extend && motion == Motion::Down && lastLine) {
    to = document_->length();
    keptX = -1;
  }
  setPosition(to, selection);
  wantedX_ = keptX;
}

void TextCursor::selectWordAt(qint64 position) {
  const TextDocument& d = *document_;
  const Line line = lineOf(d, position);
  Range word{position, position};
  if (position < line.end && kindAt(d, position, &word) != Kind::Space) {
    select(word.start, word.end);
    return;
  }
  // In spaces, or at the line's end: the word or punctuation mark before the
  // spaces; nothing in spaces that lead the line, nor at the line's end after
  // spaces or a mark.
  qint64 at = position;
  while (at > line.start && kindAt(d, at - 1, &word) == Kind::Space) at = word.start;
  if (at == line.start) {
    setPosition(position >= line.end ? position : line.start);
    return;
  }
  const Kind before = kindAt(d, at - 1, &word);
  if (position >= line.end && (at < position || (before == Kind::Other && isMark(d, word)))) {
    setPosition(position);
    return;
  }
  select(word.start, word.end);
}

void TextCursor::selectLineAt(qint64 position) {
  const TextDocument& d = *document_;
  const qint64 line = d.lineAt(position);
  const qint64 start = d.lineStart(line);
  select(start, line + 1 < d.lineCount() ? d.lineStart(line + 1) : d.length());
}

// ---------------------------------------------------------------- edits

void TextCursor::insertText(const QString& text) {
  const qint64 from = selectionStart();
  const qint64 length = selectionEnd() - from;
  if (length == 0 && text.isEmpty()) return;
  if (length > 0) document_->breakUndoCoalescing();
  document_->replace(from, length, text);
  position_ = anchor_ = qMin(from + text.size(), document_->length());
  wantedX_ = -1;
}

void TextCursor::deletePrevious() {
  if (hasSelection()) {
    deleteSelection();
    return;
  }
  const Line line = lineOf(*document_, position_);
  const qint64 character = previousCharacter(*document_, position_);
  const QString before = document_->text(character, position_ - character);
  qint64 from = position_ - 1;
  if (position_ <= line.start || isPicture(before)) {
    from = character;
  } else if (before.size() >= 2 && isPair(before, before.size() - 2)) {
    from = position_ - 2;
  }
  if (from < 0 || from == position_) return;
  document_->replace(from, position_ - from, QString());
  position_ = anchor_ = from;
  wantedX_ = -1;
}

void TextCursor::deleteNext() {
  if (hasSelection()) {
    deleteSelection();
    return;
  }
  const qint64 to = nextCharacter(*document_, position_);
  if (to == position_) return;
  document_->replace(position_, to - position_, QString());
  anchor_ = position_;
  wantedX_ = -1;
}

void TextCursor::deleteWord(int direction) {
  if (!hasSelection()) {
    anchor_ = direction < 0 ? previousWord(*document_, position_) : nextWord(*document_, position_);
  }
  document_->breakUndoCoalescing();
  deleteSelection();
  document_->breakUndoCoalescing();
}

void TextCursor::adjust(const TextDocument::Change& change) {
  const auto moved = [&](qint64 p) {
    if (change.moved) return change.moved(p);
    if (p >= change.position + change.removed) return p + change.inserted - change.removed;
    return qMin(p, change.position);
  };
  position_ = qBound<qint64>(0, moved(position_), document_->length());
  anchor_ = qBound<qint64>(0, moved(anchor_), document_->length());
}

}  // namespace ostrel
