#pragma once

#include <QString>
#include <QStringView>
#include <memory>
#include <vector>

#include "toolkit/files/TextCodec.h"

namespace ostrel {

class TextSource;

// A run of the text: units [start, start + length) of the loaded file
// (source kOriginal) or of one of the chunks of added text.
struct TextPiece {
  static constexpr int kOriginal = -1;
  int source;
  qint64 start;
  qint64 length;
};

// The text of a document as it stood at one moment, for work on another
// thread: it shares the loaded bytes and the added text with the document
// (neither ever changes once written) and copies only the table of pieces,
// so the document may go on being edited, or be closed, meanwhile.
class TextSnapshot {
 public:
  TextSnapshot() = default;
  TextSnapshot(std::shared_ptr<const TextSource> original, std::vector<QString> added,
               std::vector<TextPiece> pieces);

  qint64 length() const { return starts_.empty() ? 0 : starts_.back(); }
  QString text(qint64 position, qint64 length) const;

  const TextSource* original() const { return original_.get(); }
  std::size_t pieceCount() const { return pieces_.size(); }
  const TextPiece& piece(std::size_t i) const { return pieces_[i]; }
  qint64 pieceStart(std::size_t i) const { return starts_[i]; }
  // The piece holding position (the last one for the end).
  std::size_t pieceIndexAt(qint64 position) const;
  // An added piece's units.
  QStringView addedText(const TextPiece& piece) const;
  std::size_t addedCount() const { return added_.size(); }
  const std::vector<TextPiece>& pieces() const { return pieces_; }
  // Where each piece starts, and the end.
  const std::vector<qint64>& starts() const { return starts_; }

 private:
  std::shared_ptr<const TextSource> original_;
  std::vector<QString> added_;
  std::vector<TextPiece> pieces_;
  std::vector<qint64> starts_{0};
};

}  // namespace ostrel
