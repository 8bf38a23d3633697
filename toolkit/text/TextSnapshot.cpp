#include "toolkit/text/TextSnapshot.h"

#include <algorithm>

#include "toolkit/text/TextSource.h"

namespace ostrel {

TextSnapshot::TextSnapshot(std::shared_ptr<const TextSource> original, std::vector<QString> added,
                           std::vector<TextPiece> pieces)
    : original_(std::move(original)), added_(std::move(added)), pieces_(std::move(pieces)) {
  starts_.resize(pieces_.size() + 1);
  qint64 at = 0;
  for (std::size_t i = 0; i < pieces_.size(); ++i) {
    starts_[i] = at;
    at += pieces_[i].length;
  }
  starts_.back() = at;
}

std::size_t TextSnapshot::pieceIndexAt(qint64 position) const {
  if (pieces_.empty()) return 0;
  const auto after = std::upper_bound(starts_.begin(), starts_.end() - 1, position);
  return after == starts_.begin() ? 0 : static_cast<std::size_t>(after - starts_.begin() - 1);
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
  for (std::size_t i = pieceIndexAt(position); length > 0 && i < pieces_.size(); ++i) {
    const TextPiece& piece = pieces_[i];
    const qint64 offset = position - starts_[i];
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
