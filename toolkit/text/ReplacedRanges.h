#pragma once

#include <QtGlobal>
#include <vector>

#include "toolkit/text/TextDocument.h"

namespace ostrel {

// Where the positions of a text go when many stretches of it give way to
// one text at once (Replace All), and where they come back to when that is
// undone. A position outside the stretches keeps its place in the text
// around it; one at a stretch's start stays before what replaced it, and one
// inside a stretch or at its end goes after it, so a selection of a match
// becomes a selection of its replacement. It costs what the ranges cost.
class ReplacedRanges {
 public:
  // ranges in order, none overlapping, each replaced by replacementLength
  // units; kept in place, so a Replace All of a million matches holds them once.
  ReplacedRanges(std::vector<TextDocument::Range> ranges, qint64 replacementLength);

  // A position in the text before the replacements, in the text after them.
  qint64 after(qint64 position) const { return map(position, Side::Before); }
  // And back.
  qint64 before(qint64 position) const { return map(position, Side::After); }

 private:
  enum class Side { Before, After };

  qint64 map(qint64 position, Side from) const;
  qint64 start(std::size_t index, Side side) const;
  qint64 length(std::size_t index, Side side) const;

  // Each range's position in the text before, and in place of its length
  // the units the ranges before it removed.
  std::vector<TextDocument::Range> stretches_;
  qint64 removed_ = 0;
  qint64 replacementLength_;
};

}  // namespace ostrel
