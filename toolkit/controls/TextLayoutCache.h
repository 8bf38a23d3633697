#pragma once

#include <QFont>
#include <QTextLayout>
#include <memory>
#include <unordered_map>

#include "toolkit/text/TextDocument.h"

namespace ostrel {

// The laid-out lines of a text box, decoded from the document only when they
// come into view. A line of ordinary length is laid out whole; a long one in
// a window of a few thousand characters around the first visible column, so
// a line of millions of characters costs no more than a short one. A window
// is placed where its first column would be at the font's average width:
// text stays put while the view moves inside a window and the scroll bar
// spans the whole line without measuring it.
class TextLayoutCache {
 public:
  // Lines up to this many units are laid out whole.
  static constexpr qint64 kLongLine = 8192;
  // A long line's window starts on a multiple of this, one step before the
  // first visible column, and reaches four steps.
  static constexpr qint64 kWindowStep = 2048;
  static constexpr qint64 kWindowLength = 4 * kWindowStep;

  struct Entry {
    qint64 line = 0;
    qint64 start = 0;   // document position of the layout's first unit
    qint64 length = 0;  // units laid out
    qreal x = 0;        // content x of the layout's left edge
    std::unique_ptr<QTextLayout> layout;
  };

  void setFont(const QFont& font);
  const QFont& font() const { return font_; }
  qreal averageWidth() const { return average_; }
  int lineHeight() const { return lineHeight_; }
  qreal ascent() const { return ascent_; }

  // The layout of line for a view viewWidth pixels wide whose left edge is
  // at content x firstX.
  const Entry& get(const TextDocument& document, qint64 line, qreal firstX, int viewWidth);
  // Keeps the layouts of the lines an edit of document did not touch, moved
  // to their new line numbers and positions; the touched lines are laid out
  // again when next asked for.
  void apply(const TextDocument& document, const TextDocument::Change& change);
  // Input-method text being composed at position, shown but not yet in the document.
  void setPreedit(qint64 position, const QString& text);

  // The widest line laid out since the last reset, in pixels.
  qreal widest() const { return widest_; }
  void reset();

  // The characters a layout is given: one per unit, so positions map
  // directly, with the controls and separators that would break or vanish
  // replaced by their visible pictures.
  static QString displayText(QString text);

 private:
  qint64 windowStart(qint64 line, qint64 lineLength, qreal firstX, int viewWidth);

  QFont font_;
  qreal average_ = 7;
  int lineHeight_ = 16;
  qreal ascent_ = 12;
  qreal tabStop_ = 56;
  qreal widest_ = 0;
  quint64 revision_ = 0;
  const TextDocument* document_ = nullptr;
  qint64 preeditPosition_ = 0;
  QString preedit_;
  std::unordered_map<qint64, Entry> entries_;
  // The window start (in the line) each long line was last shown with; kept across edits.
  std::unordered_map<qint64, qint64> windows_;
};

}  // namespace ostrel
