#include "toolkit/text/TextWriter.h"

#include <QCoreApplication>
#include <algorithm>

#include "toolkit/ToolkitError.h"
#include "toolkit/text/TextSource.h"

namespace ostrel {

namespace {
constexpr qint64 kWriteChunk = 1024 * 1024;
constexpr qint64 kEncodeUnits = 64 * 1024;
}  // namespace

TextWriter::TextWriter(TextSnapshot text, Sink sink, Progress progress)
    : text_(std::move(text)), sink_(std::move(sink)), progress_(std::move(progress)) {}

void TextWriter::put(QByteArrayView bytes) {
  if (bytes.isEmpty()) return;
  sink_(bytes);
  written_ += bytes.size();
  if (progress_ && written_ - reported_ >= 4 * kWriteChunk) {
    reported_ = written_;
    if (!progress_(qMin(written_, total_), total_)) {
      throw ToolkitError(err::DialogCancelled,
                         QCoreApplication::translate("TextDocument", "Saving was cancelled."));
    }
  }
}

void TextWriter::flush(QByteArray& pending, bool force) {
  if (pending.size() < kWriteChunk && !force) return;
  put(pending);
  pending.clear();
}

bool TextWriter::encodePieces(const TextCodec& codec, bool verbatim, QByteArray& pending) {
  for (const TextPiece& piece : text_.pieces()) {
    if (piece.source == TextPiece::kOriginal && verbatim) {
      const QByteArrayView stored = text_.original()->bytesOf(piece.start, piece.length);
      if (!stored.isEmpty()) {
        // As read: straight from the loaded bytes, a chunk at a time.
        flush(pending, true);
        for (qint64 at = 0; at < stored.size(); at += kWriteChunk)
          put(stored.sliced(at, qMin(kWriteChunk, stored.size() - at)));
        continue;
      }
    }
    for (qint64 at = 0; at < piece.length;) {
      qint64 take = qMin(kEncodeUnits, piece.length - at);
      QString part;
      if (piece.source == TextPiece::kOriginal) {
        text_.original()->appendText(piece.start + at, take, part);
      } else {
        part = text_.addedText(piece).sliced(at, take).toString();
      }
      // A pair is encoded whole.
      if (take < piece.length - at && part.back().isHighSurrogate()) {
        part.chop(1);
        --take;
      }
      if (!codec.encodeInto(part, pending)) return false;
      flush(pending);
      at += take;
    }
  }
  return true;
}

bool TextWriter::write(const TextCodec& codec) {
  const TextSource* original = text_.original();
  const bool verbatim = original != nullptr && codec == original->codec();
  total_ = std::max<qint64>({1, text_.length(), original ? original->bytes().size() : 0});
  written_ = reported_ = 0;
  const std::vector<TextPiece>& pieces = text_.pieces();
  if (verbatim && pieces.size() == 1 && pieces[0].source == TextPiece::kOriginal &&
      pieces[0].start == 0 && pieces[0].length == text_.length()) {
    // Unedited: the file as read, mark and all.
    const QByteArrayView stored = original->bytes();
    for (qint64 at = 0; at < stored.size(); at += kWriteChunk)
      put(stored.sliced(at, qMin(kWriteChunk, stored.size() - at)));
    return true;
  }
  QByteArray pending = codec.byteOrderMarkBytes();
  if (codec.encoding() == TextCodec::Encoding::MultiByte) {
    // Converters with a state cannot be fed in pieces.
    if (!codec.encodeInto(text_.text(0, text_.length()), pending)) return false;
  } else if (!encodePieces(codec, verbatim, pending)) {
    return false;
  }
  flush(pending, true);
  return true;
}

}  // namespace ostrel
