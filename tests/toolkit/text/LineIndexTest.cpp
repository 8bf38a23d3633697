#include "toolkit/text/LineIndex.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace ostrel {
namespace {

using End = LineIndex::End;

// Every question the index answers, asked of it and of a plain list.
void expectSame(const LineIndex& index, const std::vector<End>& plain, qint64 length) {
  ASSERT_EQ(index.count(), static_cast<qint64>(plain.size()));
  for (std::size_t i = 0; i < plain.size(); ++i) ASSERT_EQ(index.at(qint64(i)), plain[i]) << i;
  // Both counts in one sweep over the positions.
  std::size_t upTo = 0;
  std::size_t before = 0;
  for (qint64 p = 0; p <= length + 1; ++p) {
    while (upTo < plain.size() && plain[upTo].next <= p) ++upTo;
    while (before < plain.size() && plain[before].next < p) ++before;
    ASSERT_EQ(index.endsUpTo(p), qint64(upTo)) << p;
    ASSERT_EQ(index.firstEndFrom(p), qint64(before)) << p;
  }
}

// Edits that cross, split and join blocks: many line ends, replaced in
// runs of every size, with positions moving either way after them.
TEST(LineIndexTest, AgreesWithAPlainListThroughRandomEditsAcrossBlocks) {
  std::mt19937 random(7);
  LineIndex index;
  std::vector<End> plain;
  qint64 position = 0;
  for (int i = 0; i < 10000; ++i) {
    position += 1 + int(random() % 3);
    const int length = 1 + int(random() % 2);
    index.append(position, length);
    plain.push_back({position, length});
  }
  qint64 length = position + 5;
  expectSame(index, plain, length);
  for (int round = 0; round < 60; ++round) {
    const auto first = static_cast<qint64>(random() % (plain.size() + 1));
    const qint64 span = round % 10 == 0 ? qint64(random() % 9000) : qint64(random() % 5);
    const qint64 last = std::min<qint64>(first + span, qint64(plain.size()));
    const qint64 start = first > 0 ? plain[first - 1].next : 0;
    const qint64 end = last < qint64(plain.size()) ? plain[last].next - 2 : length;
    // New ends between start and what follows, moved by shift.
    const qint64 added = round % 7 == 0 ? qint64(random() % 6000) : qint64(random() % 4);
    std::vector<End> ends;
    qint64 p = start;
    for (qint64 k = 0; k < added; ++k) ends.push_back({p += 1, 1});
    const qint64 shift = p + 1 - end + qint64(random() % 3);
    index.replace(first, last, ends, shift);
    std::vector<End> next(plain.begin(), plain.begin() + first);
    next.insert(next.end(), ends.begin(), ends.end());
    for (auto e = plain.begin() + last; e != plain.end(); ++e)
      next.push_back({e->next + shift, e->length});
    plain = std::move(next);
    length += shift;
    if (round % 6 == 0 || plain.size() < 50) expectSame(index, plain, length);
  }
  expectSame(index, plain, length);
}

}  // namespace
}  // namespace ostrel
