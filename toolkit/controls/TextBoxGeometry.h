#pragma once

#include <QPoint>
#include <QRect>
#include <QTextLine>
#include <optional>
#include <utility>

#include "toolkit/controls/TextLayoutCache.h"
#include "toolkit/text/TextCursor.h"

namespace ostrel {

class TextBox;

// Where a text box shows its text: x of a position (content coordinates),
// the position at a point or an x, the rectangle of a stretch, and the order
// of the caret's steps on screen, from the box's laid-out lines and its view.
class TextBoxGeometry final : public TextCursor::Layout {
 public:
  // Pixels between the view's left edge and the text.
  static constexpr int kMargin = 3;

  explicit TextBoxGeometry(const TextBox& box) : box_(box) {}

  qreal xOf(qint64 position) const override;
  qint64 positionAtX(qint64 line, qreal x) const override {
    return positionAtX(line, x, QTextLine::CursorBetweenCharacters);
  }
  // On a character, the position before the character under x.
  qint64 positionAtX(qint64 line, qreal x, QTextLine::CursorPosition mode) const;
  qint64 visualStep(qint64 position, int direction) const override;
  qint64 pageLines() const override { return visibleLineCount(); }
  bool isRightToLeft(qint64 line) const override;

  // Viewport coordinates.
  qint64 positionAt(QPoint point,
                    QTextLine::CursorPosition mode = QTextLine::CursorBetweenCharacters) const;
  QRect rectAt(qint64 position, qint64 length) const;

  // The line's layout for the current horizontal view.
  const TextLayoutCache::Entry& layoutOf(qint64 line) const;
  int visibleLineCount() const;
  qreal contentX() const;

 private:
  // Left and right content x of the glyphs drawn for length units from
  // position, when they are laid out.
  std::optional<std::pair<qreal, qreal>> glyphSpan(qint64 position, qint64 length) const;

  const TextBox& box_;
};

}  // namespace ostrel
