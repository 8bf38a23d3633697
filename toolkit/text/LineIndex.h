#pragma once

#include <QStringView>
#include <QtGlobal>
#include <vector>

namespace ostrel {

// The line ends of a text, in order: for each, the position after it (where
// the next line starts) and its length, 1 or 2. Held in blocks of a few
// thousand entries, each block with its own base position, so an edit moves
// the lines after it by touching every later block once, not every entry.
// Eight bytes a line end.
class LineIndex {
 public:
  struct End {
    qint64 next;
    int length;
    bool operator==(const End&) const = default;
  };

  qint64 count() const { return count_; }
  End at(qint64 index) const;
  // How many line ends lie before position (end.next <= position): the line
  // that holds position. A position between a CR and its LF is in the line
  // they end.
  qint64 endsUpTo(qint64 position) const { return countBelow(position + 1); }
  // The first line end whose next position is at or after position.
  qint64 firstEndFrom(qint64 position) const { return countBelow(position); }

  // Loading: ends come in order.
  void reserve(qint64 ends);
  void append(qint64 next, int length) {
    if (blocks_.empty() || blocks_.back().entries.size() >= kBlockSize) startBlock(next);
    Block& block = blocks_.back();
    block.entries.push_back(pack(next, length, block.base));
    ++count_;
  }

  class Scanner;

  // Ends [first, last) give way to ends (in order, positions after the
  // edit); the positions of those after them move by shift.
  void replace(qint64 first, qint64 last, const std::vector<End>& ends, qint64 shift);

 private:
  // Small enough that splitting one costs next to nothing, large enough that
  // a file of 32 Mi lines has only 8 Ki of them to move.
  static constexpr std::size_t kBlockSize = 4096;

  struct Block {
    qint64 firstEnd;  // index of the block's first end in the whole index
    qint64 base;      // added to every entry's position
    // (position - base) << 2 | length, ascending.
    std::vector<qint64> entries;
  };
  static qint64 pack(qint64 next, int length, qint64 base) { return ((next - base) * 4) | length; }

  void startBlock(qint64 base);
  qint64 countBelow(qint64 limit) const;
  std::size_t blockOf(qint64 index) const;
  // Makes index the first end of a block (or the end of the index); returns
  // that block's number.
  std::size_t splitAt(qint64 index);
  void joinSmallBlocksAround(std::size_t block);
  void renumberFrom(std::size_t block);

  std::vector<Block> blocks_;
  qint64 count_ = 0;
};

// Finds the line ends of a text given part after part (a CR at the end of
// one part and an LF at the start of the next are one line end).
class LineIndex::Scanner {
 public:
  void add(QStringView units);
  LineIndex finish();

 private:
  LineIndex ends_;
  qint64 at_ = 0;
  // The position after a CR that waits for the next unit, or 0.
  qint64 cr_ = 0;
};

}  // namespace ostrel
