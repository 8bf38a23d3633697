#include "toolkit/printing/PrintDocument.h"

#include <algorithm>
#include <memory>

namespace ostrel {

namespace {
// Units decoded at a time: 128 KiB of characters.
constexpr qint64 kBlockUnits = 64 * 1024;
}  // namespace

void PrintDocument::add(const TextSnapshot& text) {
  if (text.length() > 0) parts_.push_back(text);
}

void PrintDocument::add(const QString& text) {
  if (text.isEmpty()) return;
  auto table = std::make_shared<TextSnapshot::Table>();
  table->pieces.push_back({0, 0, text.size()});
  table->starts.push_back(text.size());
  parts_.emplace_back(nullptr, std::vector<QString>{text}, std::move(table));
}

qint64 PrintDocument::length() const {
  qint64 total = 0;
  for (const TextSnapshot& part : parts_) total += part.length();
  return total;
}

QString PrintDocument::text(qint64 position, qint64 length) const {
  QString out;
  for (const TextSnapshot& part : parts_) {
    if (length <= 0) break;
    if (position >= part.length()) {
      position -= part.length();
      continue;
    }
    const qint64 take = qMin(length, part.length() - position);
    out += part.text(position, take);
    length -= take;
    position = 0;
  }
  return out;
}

PrintDocument::Reader::Reader(const PrintDocument& document) : document_(document) {}

bool PrintDocument::Reader::fill() {
  const qint64 next = bufferStart_ + buffer_.size();
  if (next >= document_.length()) return false;
  buffer_.remove(0, at_);
  bufferStart_ += at_;
  at_ = 0;
  buffer_ += document_.text(next, kBlockUnits);
  return true;
}

PrintDocument::Reader::Stretch PrintDocument::Reader::line(qsizetype limit) {
  limit = qMax<qsizetype>(limit, 2);
  for (;;) {
    const QChar* begin = buffer_.constData() + at_;
    const QChar* end = buffer_.constData() + buffer_.size();
    const QChar* stop = std::find_if(begin, std::min(end, begin + limit + 1),
                                     [](QChar c) { return c == u'\n' || c == u'\r'; });
    const qsizetype found = stop - begin;
    if (stop != end && found <= limit) {
      // A CR at the buffer's end may have its LF in the next block.
      if (*stop == u'\r' && stop + 1 == end && fill()) continue;
      lastLineEnd_ = *stop == u'\r' && stop + 1 != end && stop[1] == u'\n' ? 2 : 1;
      lastLength_ = found;
      return {QStringView(begin, found), true};
    }
    if (end - begin > limit) {
      lastLength_ = begin[limit - 1].isHighSurrogate() ? limit - 1 : limit;
      lastLineEnd_ = -1;
      return {QStringView(begin, lastLength_), false};
    }
    if (!fill()) {
      lastLength_ = end - begin;
      lastLineEnd_ = 0;
      return {QStringView(begin, lastLength_), true};
    }
  }
}

void PrintDocument::Reader::pass(qsizetype units) {
  units = qBound<qsizetype>(0, units, lastLength_);
  at_ += units;
  if (units == lastLength_ && lastLineEnd_ > 0) at_ += lastLineEnd_;
  lastLength_ = 0;
  lastLineEnd_ = -1;
}

}  // namespace ostrel
