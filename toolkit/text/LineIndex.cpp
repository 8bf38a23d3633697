#include "toolkit/text/LineIndex.h"

#include <algorithm>

namespace ostrel {

LineIndex::End LineIndex::at(qint64 index) const {
  const Block& block = blocks_[blockOf(index)];
  const qint64 entry = block.entries[static_cast<std::size_t>(index - block.firstEnd)];
  return {(entry >> 2) + block.base, static_cast<int>(entry & 3)};
}

qint64 LineIndex::countBelow(qint64 limit) const {
  // The first block that does not lie wholly before limit.
  const auto block = std::partition_point(blocks_.begin(), blocks_.end(), [limit](const Block& b) {
    return (b.entries.back() >> 2) + b.base < limit;
  });
  if (block == blocks_.end()) return count_;
  // An entry is below (limit - base) * 4 exactly when its position is below
  // limit, whatever its length.
  const auto inside =
      std::lower_bound(block->entries.begin(), block->entries.end(), (limit - block->base) * 4);
  return block->firstEnd + (inside - block->entries.begin());
}

std::size_t LineIndex::blockOf(qint64 index) const {
  const auto after =
      std::upper_bound(blocks_.begin(), blocks_.end(), index,
                       [](qint64 i, const Block& block) { return i < block.firstEnd; });
  return static_cast<std::size_t>(after - blocks_.begin()) - 1;
}

void LineIndex::reserve(qint64 ends) {
  blocks_.reserve(static_cast<std::size_t>(ends) / kBlockSize + 1);
}

void LineIndex::startBlock(qint64 base) {
  blocks_.push_back({count_, base, {}});
  blocks_.back().entries.reserve(kBlockSize);
}

std::size_t LineIndex::splitAt(qint64 index) {
  if (index >= count_) return blocks_.size();
  const std::size_t number = blockOf(index);
  Block& block = blocks_[number];
  const auto within = static_cast<std::ptrdiff_t>(index - block.firstEnd);
  if (within == 0) return number;
  Block tail{index, block.base, {block.entries.begin() + within, block.entries.end()}};
  block.entries.resize(static_cast<std::size_t>(within));
  blocks_.insert(blocks_.begin() + static_cast<std::ptrdiff_t>(number) + 1, std::move(tail));
  return number + 1;
}

void LineIndex::replace(qint64 first, qint64 last, const std::vector<End>& ends, qint64 shift) {
  const std::size_t from = splitAt(first);
  const std::size_t to = splitAt(last);
  const auto at = [this](std::size_t block) {
    return blocks_.begin() + static_cast<std::ptrdiff_t>(block);
  };
  blocks_.erase(at(from), at(to));
  for (std::size_t b = from; b < blocks_.size(); ++b) blocks_[b].base += shift;
  std::vector<Block> added;
  for (std::size_t i = 0; i < ends.size(); i += kBlockSize) {
    Block block{0, ends[i].next, {}};
    const std::size_t end = std::min(ends.size(), i + kBlockSize);
    block.entries.reserve(end - i);
    for (std::size_t j = i; j < end; ++j) {
      block.entries.push_back(pack(ends[j].next, ends[j].length, block.base));
    }
    added.push_back(std::move(block));
  }
  blocks_.insert(at(from), std::make_move_iterator(added.begin()),
                 std::make_move_iterator(added.end()));
  count_ += static_cast<qint64>(ends.size()) - (last - first);
  renumberFrom(from);
  joinSmallBlocksAround(from);
}

void LineIndex::Scanner::add(QStringView text) {
  const char16_t* units = text.utf16();
  const qsizetype n = text.size();
  for (qsizetype i = 0; i < n; ++i) {
    const char16_t c = units[i];
    if (cr_ > 0) {
      ends_.append(c == u'\n' ? cr_ + 1 : cr_, c == u'\n' ? 2 : 1);
      cr_ = 0;
      if (c == u'\n') continue;
    }
    if (c == u'\n') {
      ends_.append(at_ + i + 1, 1);
    } else if (c == u'\r') {
      cr_ = at_ + i + 1;
    }
  }
  at_ += n;
}

LineIndex LineIndex::Scanner::finish() {
  if (cr_ > 0) ends_.append(cr_, 1);
  cr_ = 0;
  at_ = 0;
  LineIndex found = std::move(ends_);
  ends_ = LineIndex();
  return found;
}

void LineIndex::joinSmallBlocksAround(std::size_t block) {
  // Edits in one place leave small pieces of blocks there; two neighbours
  // that fit one block become one.
  std::size_t i = block > 0 ? block - 1 : 0;
  std::size_t end = std::min(blocks_.size(), block + 3);
  while (i + 1 < end) {
    Block& left = blocks_[i];
    Block& right = blocks_[i + 1];
    if (left.entries.size() + right.entries.size() > kBlockSize) {
      ++i;
      continue;
    }
    const qint64 rebase = (right.base - left.base) * 4;
    for (const qint64 entry : right.entries) left.entries.push_back(entry + rebase);
    blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(i) + 1);
    --end;
  }
}

void LineIndex::renumberFrom(std::size_t block) {
  qint64 index = 0;
  if (block > 0) index = blocks_[block - 1].firstEnd + qint64(blocks_[block - 1].entries.size());
  for (std::size_t b = block; b < blocks_.size(); ++b) {
    blocks_[b].firstEnd = index;
    index += static_cast<qint64>(blocks_[b].entries.size());
  }
}

}  // namespace ostrel
