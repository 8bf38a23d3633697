#include "toolkit/controls/TextBoxGeometry.h"

#include <QGlyphRun>
#include <QScrollBar>
#include <tuple>

#include "toolkit/controls/TextBox.h"

namespace ostrel {

const TextLayoutCache::Entry& TextBoxGeometry::layoutOf(qint64 line) const {
  return box_.layouts_.get(*box_.document_, line, contentX(), box_.viewport()->width());
}

qreal TextBoxGeometry::contentX() const {
  return box_.horizontalScrollBar()->value();
}

int TextBoxGeometry::visibleLineCount() const {
  return qMax(1, box_.viewport()->height() / box_.layouts_.lineHeight());
}

qreal TextBoxGeometry::xOf(qint64 position) const {
  const qint64 line = box_.document_->lineAt(position);
  const TextLayoutCache::Entry& entry = layoutOf(line);
  if (position < entry.start || position > entry.start + entry.length) {
    // Outside the window of a long line: where the window would put it.
    return static_cast<qreal>(position - box_.document_->lineStart(line)) *
           box_.layouts_.averageWidth();
  }
  const QTextLine textLine = entry.layout->lineAt(0);
  if (!textLine.isValid()) return entry.x;
  return entry.x + textLine.cursorToX(static_cast<int>(position - entry.start));
}

qint64 TextBoxGeometry::positionAtX(qint64 line, qreal x, QTextLine::CursorPosition mode) const {
  const qint64 lineLength = box_.document_->lineLength(line);
  const TextLayoutCache::Entry* entry = &layoutOf(line);
  if (lineLength > TextLayoutCache::kLongLine) {
    // A long line is laid out where x is, in the window the view there would
    // show, so x and position map both ways alike wherever the view is now.
    entry = &box_.layouts_.get(*box_.document_, line, x - box_.viewport()->width() / 2.0,
                               box_.viewport()->width());
  }
  const QTextLine textLine = entry->layout->lineAt(0);
  if (!textLine.isValid()) return box_.document_->lineStart(line);
  const qreal inside = qBound<qreal>(0, x - entry->x, textLine.naturalTextWidth() + 1);
  const qint64 at = entry->start + textLine.xToCursor(inside, mode);
  if (mode == QTextLine::CursorOnCharacter && at >= entry->start + entry->length &&
      at > entry->start) {
    return TextCursor::previousCharacter(*box_.document_, at);
  }
  return at;
}

qint64 TextBoxGeometry::visualStep(qint64 position, int direction) const {
  const TextDocument& d = *box_.document_;
  const TextLayoutCache::Entry& entry = layoutOf(d.lineAt(position));
  if (position < entry.start || position > entry.start + entry.length || !box_.preedit_.isEmpty()) {
    return -1;
  }
  const auto at = static_cast<int>(position - entry.start);
  const int step =
      direction < 0 ? entry.layout->leftCursorPosition(at) : entry.layout->rightCursorPosition(at);
  // At a window's edge inside a long line the cursor steps in the text's order.
  const bool windowEdge =
      (step == 0 && entry.start > d.lineStart(entry.line)) ||
      (step == entry.length &&
       entry.start + entry.length < d.lineStart(entry.line) + d.lineLength(entry.line));
  return windowEdge ? -1 : entry.start + step;
}

qint64 TextBoxGeometry::positionAt(QPoint point, QTextLine::CursorPosition mode) const {
  const qint64 row = point.y() < 0 ? -1 : point.y() / box_.layouts_.lineHeight();
  const qint64 line = qBound<qint64>(0, box_.topLine_ + row, box_.document_->lineCount() - 1);
  return positionAtX(line, point.x() - kMargin + contentX(), mode);
}

std::optional<std::pair<qreal, qreal>> TextBoxGeometry::glyphSpan(qint64 position,
                                                                  qint64 length) const {
  const TextLayoutCache::Entry& entry = layoutOf(box_.document_->lineAt(position));
  const QTextLine textLine = entry.layout->lineAt(0);
  const qint64 end = qMin(position + length, entry.start + entry.length);
  if (!textLine.isValid() || position < entry.start || end <= position) return std::nullopt;
  // The glyphs' own boxes: in a right-to-left run a character's edges are
  // not the caret's places before and after it, and a picture drawn from
  // several code points is one glyph.
  QRectF box;
  for (const QGlyphRun& run : textLine.glyphRuns(static_cast<int>(position - entry.start),
                                                 static_cast<int>(end - position))) {
    box |= run.boundingRect();
  }
  if (box.isNull()) return std::nullopt;
  return std::make_pair(entry.x + box.left(), entry.x + box.right());
}

QRect TextBoxGeometry::rectAt(qint64 position, qint64 length) const {
  const qint64 line = box_.document_->lineAt(position);
  const int h = box_.layouts_.lineHeight();
  qreal x = xOf(position);
  qreal right = x + 1;
  if (const auto glyphs = length > 0 ? glyphSpan(position, length) : std::nullopt) {
    std::tie(x, right) = *glyphs;
  } else if (length > 0) {
    right = xOf(qMin(position + length,
                     box_.document_->lineStart(line) + box_.document_->lineLength(line)));
  }
  // Rounded as the hit test rounds, so that a point on the rect's left edge
  // finds position again.
  const int left = qRound(x - contentX());
  return {left + kMargin, static_cast<int>((line - box_.topLine_) * h),
          qMax(1, qRound(right - contentX()) - left), h};
}

bool TextBoxGeometry::isRightToLeft(qint64 line) const {
  const TextDocument& d = *box_.document_;
  constexpr qint64 kDirectionReach = 256;
  return d.text(d.lineStart(line), qMin(d.lineLength(line), kDirectionReach)).isRightToLeft();
}

}  // namespace ostrel
