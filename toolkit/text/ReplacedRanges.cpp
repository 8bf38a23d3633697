#include "toolkit/text/ReplacedRanges.h"

namespace ostrel {

ReplacedRanges::ReplacedRanges(std::vector<TextDocument::Range> ranges, qint64 replacementLength)
    : stretches_(std::move(ranges)), replacementLength_(replacementLength) {
  for (TextDocument::Range& stretch : stretches_) {
    const qint64 length = stretch.length;
    stretch.length = removed_;
    removed_ += length;
  }
}

qint64 ReplacedRanges::start(std::size_t index, Side side) const {
  const TextDocument::Range& s = stretches_[index];
  if (side == Side::Before) return s.position;
  return s.position - s.length + static_cast<qint64>(index) * replacementLength_;
}

qint64 ReplacedRanges::length(std::size_t index, Side side) const {
  if (side == Side::After) return replacementLength_;
  const qint64 next = index + 1 < stretches_.size() ? stretches_[index + 1].length : removed_;
  return next - stretches_[index].length;
}

qint64 ReplacedRanges::map(qint64 position, Side from) const {
  const Side to = from == Side::Before ? Side::After : Side::Before;
  // The first stretch starting at or after position.
  std::size_t low = 0;
  std::size_t high = stretches_.size();
  while (low < high) {
    const std::size_t middle = low + (high - low) / 2;
    if (start(middle, from) < position) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  if (low < stretches_.size() && start(low, from) == position) return start(low, to);
  if (low == 0) return position;
  const std::size_t k = low - 1;
  const qint64 end = start(k, to) + length(k, to);
  const qint64 beyond = position - start(k, from) - length(k, from);
  return beyond < 0 ? end : end + beyond;
}

}  // namespace ostrel
