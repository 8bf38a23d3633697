#pragma once

#include <QTextBoundaryFinder>
#include <QtGlobal>
#include <vector>

#include "toolkit/text/TextDocument.h"

namespace ostrel {

// A caret and a selection in a TextDocument, and every way they move: by the
// characters a reader sees (grapheme clusters), by words (Unicode word
// segmentation), by lines and pages, keeping the column on vertical moves.
// It needs no widget: what it must know of how lines are shown (x of a
// position, the position at an x, the order of characters on screen) comes
// through Layout, and without one a column is one character wide and the
// screen order is the text's order.
//
// It also edits as a user does (typing over the selection, Backspace,
// Delete), so that the widget over it keeps only what is seen.
class TextCursor {
 public:
  enum class Selection { Collapse, Extend };

  enum class Motion {
    Left,  // on screen, also inside right-to-left runs
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

  class Layout {
   public:
    virtual ~Layout() = default;
    // x of position on its line.
    virtual qreal xOf(qint64 position) const = 0;
    // The position on line nearest to x.
    virtual qint64 positionAtX(qint64 line, qreal x) const = 0;
    // The next caret position on screen to the left (direction -1) or right
    // (+1) inside position's line, or -1 at the line's edge or when unknown.
    virtual qint64 visualStep(qint64 position, int direction) const = 0;
    // Lines a page move covers.
    virtual qint64 pageLines() const = 0;
    // The line reads from right to left (its first strong character does).
    virtual bool isRightToLeft(qint64 line) const = 0;
  };

  struct Range {
    qint64 start;
    qint64 end;
  };

  explicit TextCursor(TextDocument* document) : document_(document) {}
  void setDocument(TextDocument* document);
  void setLayout(const Layout* layout) { layout_ = layout; }
  TextDocument& document() const { return *document_; }

  qint64 position() const { return position_; }
  qint64 anchor() const { return anchor_; }
  bool hasSelection() const { return position_ != anchor_; }
  qint64 selectionStart() const { return qMin(position_, anchor_); }
  qint64 selectionEnd() const { return qMax(position_, anchor_); }
  QString selectedText() const;

  // Clamped to the text, never between the CR and LF of a line end.
  void setPosition(qint64 position, Selection selection = Selection::Collapse);
  void select(qint64 anchor, qint64 position);
  // Moves as the key for motion does; Left/Right without Shift first
  // collapse a selection to its side, and Up/Down with it go on to the
  // text's start and end from the first and last line (without it, they
  // change nothing there).
  void move(Motion motion, Selection selection);
  // Where motion would put the caret.
  qint64 target(Motion motion) const;
  // The column vertical moves keep is forgotten (the caret was placed).
  void forgetColumn() { wantedX_ = -1; }

  // The word at position (the word or punctuation mark after it; in spaces
  // or at the line's end, the one before them), and the whole line with its
  // line end.
  void selectWordAt(qint64 position);
  void selectLineAt(qint64 position);

  // Edits at the caret as the keys do.
  void insertText(const QString& text);
  void deleteSelection() { insertText(QString()); }
  // Backspace removes one code point (a line end or a picture such as a flag
  // whole), Delete one character.
  void deletePrevious();
  void deleteNext();
  void deleteWord(int direction);

  // Keeps the caret and the anchor on the same text after an edit made
  // elsewhere; one inside what the edit removed goes to its start, or, for
  // the many stretches of a Replace All, where the change says.
  void adjust(const TextDocument::Change& change);

  // Boundaries, the same for keys, mouse and screen readers.
  static qint64 nextCharacter(const TextDocument& document, qint64 position);
  static qint64 previousCharacter(const TextDocument& document, qint64 position);
  // What the word (or sentence) boundaries cut position's line into near it,
  // in order: words, runs of spaces, marks of punctuation. A word longer than
  // the reach is taken in pieces.
  static std::vector<Range> segmentsAround(
      const TextDocument& document, qint64 position,
      QTextBoundaryFinder::BoundaryType type = QTextBoundaryFinder::Word);
  // The segment holding the character at position; empty at a line's end.
  static Range segmentAt(const TextDocument& document, qint64 position);
  static qint64 nextWord(const TextDocument& document, qint64 position);
  static qint64 previousWord(const TextDocument& document, qint64 position);

 private:
  enum class Kind { Word, Space, Other };
  static Kind kindAt(const TextDocument& document, qint64 position, Range* segment);
  qint64 lineMove(qint64 lines) const;
  qreal xOf(qint64 position) const;

  TextDocument* document_;
  const Layout* layout_ = nullptr;
  qint64 position_ = 0;
  qint64 anchor_ = 0;
  qreal wantedX_ = -1;  // kept across Up/Down
};

}  // namespace ostrel
