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
  // The pieces, and where each starts (the end last); shared, never changed
  // once a snapshot holds it.
  struct Table {
    std::vector<TextPiece> pieces;
    std::vector<qint64> starts{0};
  };

  TextSnapshot() = default;
  TextSnapshot(std::shared_ptr<const TextSource> original, std::vector<QString> added,
               std::shared_ptr<const Table> table);

  qint64 length() const { return table_ ? table_->starts.back() : 0; }
  QString text(qint64 position, qint64 length) const;

  const TextSource* original() const { return original_.get(); }
  std::size_t pieceCount() const { return table_ ? table_->pieces.size() : 0; }
  const TextPiece& piece(std::size_t i) const { return table_->pieces[i]; }
  qint64 pieceStart(std::size_t i) const { return table_->starts[i]; }
  // The piece holding position (the last one for the end).
  std::size_t pieceIndexAt(qint64 position) const;
  // An added piece's units.
  QStringView addedText(const TextPiece& piece) const;
  std::size_t addedCount() const { return added_.size(); }
  const std::vector<TextPiece>& pieces() const { return table_->pieces; }
  const std::vector<qint64>& starts() const { return table_->starts; }
  // The same text with a table of pieces of its own, so the document's next
  // edit need not copy the one they shared (a copy made off the interface
  // thread instead).
  TextSnapshot detached() const;

 private:
  std::shared_ptr<const TextSource> original_;
  std::vector<QString> added_;
  std::shared_ptr<const Table> table_;
};

}  // namespace ostrel
