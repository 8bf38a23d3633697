#include "toolkit/text/TextSnapshot.h"

#include <algorithm>

#include "toolkit/text/TextSource.h"

namespace ostrel {

TextSnapshot::TextSnapshot(std::shared_ptr<const TextSource> original, std::vector<QString> added,
                           std::shared_ptr<const Table> table)
    : original_(std::move(original)), added_(std::move(added)), table_(std::move(table)) {}

std::size_t TextSnapshot::pieceIndexAt(qint64 position) const {
  if (pieceCount() == 0) return 0;
  const std::vector<qint64>& starts = table_->starts;
  const auto after = std::upper_bound(starts.begin(), starts.end() - 1, position);
  return after == starts.begin() ? 0 : static_cast<std::size_t>(after - starts.begin() - 1);
}

TextSnapshot TextSnapshot::detached() const {
  if (!table_) return *this;
  return {original_, added_, std::make_shared<const Table>(*table_)};
}

QStringView TextSnapshot::addedText(const TextPiece& piece) const {
  return QStringView(added_[static_cast<std::size_t>(piece.source)])
      .sliced(piece.start, piece.length);
}

QString TextSnapshot::text(qint64 position, qint64 length) const {
  position = qBound<qint64>(0, position, this->length());
  length = qBound<qint64>(0, length, this->length() - position);
  QString out;
  out.reserve(length);
  for (std::size_t i = pieceIndexAt(position); length > 0 && i < pieceCount(); ++i) {
    const TextPiece& piece = table_->pieces[i];
    const qint64 offset = position - table_->starts[i];
    const qint64 take = qMin(length, piece.length - offset);
    if (piece.source == TextPiece::kOriginal) {
      original_->appendText(piece.start + offset, take, out);
    } else {
      out.append(addedText(piece).sliced(offset, take));
    }
    position += take;
    length -= take;
  }
  return out;
}

}  // namespace ostrel
