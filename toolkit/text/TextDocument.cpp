#include "toolkit/text/TextDocument.h"

#include <QCoreApplication>
#include <algorithm>
#include <new>

#include "toolkit/ToolkitError.h"
#include "toolkit/files/FileNames.h"
#include "toolkit/text/TextSource.h"

namespace ostrel {

// One undoable edit: [position, position + insertedLength) now holds what
// replaced the removed pieces. inserted is filled when the step is undone,
// for redo.
struct TextDocument::Step {
  qint64 position = 0;
  std::vector<Piece> removed;
  qint64 removedLength = 0;
  std::vector<Piece> inserted;
  qint64 insertedLength = 0;
  quint64 stateBefore = 0;
  quint64 stateAfter = 0;
};

namespace {

// Typing goes into chunks of this many units; larger insertions keep their own.
constexpr qsizetype kChunk = 64 * 1024;
constexpr qint64 kWriteChunk = 1024 * 1024;
constexpr qint64 kEncodeUnits = 64 * 1024;
// Changes longer than this find their line ends by scanning the whole text
// once, which is cheaper than decoding the change into one string.
constexpr qint64 kRescanAbove = 4 * 1024 * 1024;
constexpr qint64 kRescanChunk = 1024 * 1024;
// The longest removal that joins a run of Backspaces or Deletes (one character).
constexpr qint64 kDeletionRun = 64;

bool isLineEnd(QChar c) {
  return c == u'\n' || c == u'\r';
}

// One character typed (a surrogate pair counts as one).
bool isOneCharacter(const QString& text) {
  return text.size() == 1 || (text.size() == 2 && text[0].isHighSurrogate());
}

}  // namespace

TextDocument::TextDocument() {
  pieceStarts_.push_back(0);
}

TextDocument::~TextDocument() = default;

std::unique_ptr<TextDocument> TextDocument::fromBytes(QByteArray bytes, const TextCodec& codec,
                                                      const Progress& progress,
                                                      const QString& fileName) {
  auto document = std::make_unique<TextDocument>();
  const auto refuse = [&](const QString& reason) {
    return ToolkitError(
        err::OutOfMemory,
        fileName.isEmpty()
            ? QCoreApplication::translate("TextDocument", "The text cannot be opened: %1.")
                  .arg(reason)
            : QCoreApplication::translate("TextDocument", "The file “%1” cannot be opened: %2.")
                  .arg(FileNames::shown(fileName), reason));
  };
  try {
    auto source = std::make_shared<TextSource>(std::move(bytes), codec, progress);
    document->lineEnds_ = source->takeLineEnds();
    document->original_ = std::move(source);
  } catch (const std::bad_alloc&) {
    throw refuse(
        QCoreApplication::translate("TextDocument", "there is not enough memory to hold it"));
  } catch (const ToolkitError& e) {
    if (e.Number() != err::OutOfMemory) throw;
    throw refuse(e.Description());
  }
  document->codec_ = document->loadedCodec_ = document->original_->codec();
  document->length_ = document->original_->length();
  if (document->length_ > 0) document->pieces_.push_back({kOriginal, 0, document->length_});
  document->renumberPieces(0);
  return document;
}

qint64 TextDocument::lineStart(qint64 line) const {
  if (line <= 0) return 0;
  line = qMin(line, lineCount() - 1);
  return lineEnds_.at(line - 1).next;
}

qint64 TextDocument::lineLength(qint64 line) const {
  line = qBound<qint64>(0, line, lineCount() - 1);
  qint64 end = length_;
  if (line < lineEnds_.count()) {
    const LineIndex::End lineEnd = lineEnds_.at(line);
    end = lineEnd.next - lineEnd.length;
  }
  return end - lineStart(line);
}

qint64 TextDocument::lineEndLength(qint64 line) const {
  if (line < 0 || line >= lineEnds_.count()) return 0;
  return lineEnds_.at(line).length;
}

qint64 TextDocument::lineAt(qint64 position) const {
  position = qBound<qint64>(0, position, length_);
  return lineEnds_.endsUpTo(position);
}

std::size_t TextDocument::pieceIndexAt(qint64 position) const {
  const auto after = std::upper_bound(pieceStarts_.begin(), pieceStarts_.end(), position);
  return after == pieceStarts_.begin() ? 0
                                       : static_cast<std::size_t>(after - pieceStarts_.begin() - 1);
}

void TextDocument::appendPieceText(const Piece& piece, qint64 offset, qint64 length,
                                   QString& out) const {
  if (piece.source == kOriginal) {
    original_->appendText(piece.start + offset, length, out);
  } else {
    out.append(QStringView(added_[piece.source]).sliced(piece.start + offset, length));
  }
}

QString TextDocument::text(qint64 position, qint64 length) const {
  position = qBound<qint64>(0, position, length_);
  length = qBound<qint64>(0, length, length_ - position);
  QString out;
  out.reserve(length);
  for (std::size_t i = pieceIndexAt(position); length > 0 && i < pieces_.size(); ++i) {
    const qint64 offset = position - pieceStarts_[i];
    const qint64 take = qMin(length, pieces_[i].length - offset);
    appendPieceText(pieces_[i], offset, take, out);
    position += take;
    length -= take;
  }
  return out;
}

QString TextDocument::lineText(qint64 line) const {
  return text(lineStart(line), lineLength(line));
}

QString TextDocument::toString() const {
  return text(0, length_);
}

qint64 TextDocument::snapToCharacter(qint64 position) const {
  if (position <= 0 || position >= length_) return qBound<qint64>(0, position, length_);
  const QString around = text(position - 1, 2);
  return around[0].isHighSurrogate() && around[1].isLowSurrogate() ? position - 1 : position;
}

void TextDocument::renumberPieces(std::size_t from) {
  pieceStarts_.resize(pieces_.size() + 1);
  qint64 at = from == 0 ? 0 : pieceStarts_[from - 1] + pieces_[from - 1].length;
  for (std::size_t i = from; i < pieces_.size(); ++i) {
    pieceStarts_[i] = at;
    at += pieces_[i].length;
  }
  pieceStarts_[pieces_.size()] = at;
}

void TextDocument::splitAt(qint64 position) {
  if (pieces_.empty()) return;
  const std::size_t i = pieceIndexAt(position);
  if (i >= pieces_.size()) return;
  const qint64 offset = position - pieceStarts_[i];
  if (offset <= 0 || offset >= pieces_[i].length) return;
  const Piece tail{pieces_[i].source, pieces_[i].start + offset, pieces_[i].length - offset};
  pieces_[i].length = offset;
  pieces_.insert(pieces_.begin() + static_cast<std::ptrdiff_t>(i) + 1, tail);
  pieceStarts_.insert(pieceStarts_.begin() + static_cast<std::ptrdiff_t>(i) + 1, position);
}

std::vector<TextDocument::Piece> TextDocument::piecesIn(qint64 position, qint64 length) const {
  std::vector<Piece> out;
  appendPiecesIn(position, length, out);
  return out;
}

void TextDocument::appendPiecesIn(qint64 position, qint64 length, std::vector<Piece>& out) const {
  for (std::size_t i = pieceIndexAt(position); length > 0 && i < pieces_.size(); ++i) {
    const qint64 offset = position - pieceStarts_[i];
    const qint64 take = qMin(length, pieces_[i].length - offset);
    out.push_back({pieces_[i].source, pieces_[i].start + offset, take});
    position += take;
    length -= take;
  }
}

void TextDocument::replacePieces(qint64 position, qint64 removeLength,
                                 const std::vector<Piece>& pieces, qint64 insertLength,
                                 std::vector<Piece>* removed) {
  splitAt(position);
  splitAt(position + removeLength);
  const auto first = static_cast<std::size_t>(
      std::lower_bound(pieceStarts_.begin(), pieceStarts_.begin() + pieces_.size(), position) -
      pieceStarts_.begin());
  std::size_t last = first;
  while (last < pieces_.size() && pieceStarts_[last] < position + removeLength) ++last;
  if (removed) removed->assign(pieces_.begin() + first, pieces_.begin() + last);
  pieces_.erase(pieces_.begin() + first, pieces_.begin() + last);
  const auto continues = [](const Piece& before, const Piece& piece) {
    return before.source == piece.source && before.start + before.length == piece.start;
  };
  // Typing extends the piece before it, so a typed line stays one piece.
  std::vector<Piece> merged;
  merged.reserve(pieces.size());
  for (const Piece& piece : pieces) {
    if (piece.length == 0) continue;
    Piece* before = merged.empty() ? (first > 0 ? &pieces_[first - 1] : nullptr) : &merged.back();
    if (before && continues(*before, piece)) {
      before->length += piece.length;
    } else {
      merged.push_back(piece);
    }
  }
  pieces_.insert(pieces_.begin() + static_cast<std::ptrdiff_t>(first), merged.begin(),
                 merged.end());
  length_ += insertLength - removeLength;
  renumberPieces(first == 0 ? 0 : first - 1);
}

std::vector<TextDocument::Piece> TextDocument::addText(const QString& text) {
  if (text.isEmpty()) return {};
  if (text.size() > kChunk / 16) {
    // Shared with the caller's string, not copied.
    added_.push_back(text);
    return {{static_cast<int>(added_.size() - 1), 0, text.size()}};
  }
  if (openChunk_ < 0 || added_[openChunk_].size() + text.size() > kChunk) {
    added_.emplace_back();
    added_.back().reserve(kChunk);
    openChunk_ = static_cast<int>(added_.size() - 1);
  }
  QString& chunk = added_[openChunk_];
  const qint64 start = chunk.size();
  chunk.append(text);
  return {{openChunk_, start, text.size()}};
}

TextDocument::Change TextDocument::updateLines(qint64 position, qint64 removed, qint64 inserted) {
  // A line end after position - 1 may have changed; those up to the first
  // character after the inserted text too (a CR before an LF joins it).
  const qint64 first = lineEnds_.firstEndFrom(position);
  const qint64 last = lineEnds_.firstEndFrom(position + removed + 2);
  const qint64 from = qMax<qint64>(0, position - 2);
  const qint64 to = qMin(length_, position + inserted + 2);
  const QString around = text(from, to - from);
  const auto at = [&](qint64 p) { return around[p - from]; };
  std::vector<LineIndex::End> found;
  for (qint64 p = qMax<qint64>(1, position); p <= qMin(length_, position + inserted + 1); ++p) {
    const QChar before = at(p - 1);
    if (before == u'\n') {
      found.push_back({p, p >= 2 && at(p - 2) == u'\r' ? 2 : 1});
    } else if (before == u'\r' && (p == length_ || at(p) != u'\n')) {
      found.push_back({p, 1});
    }
  }
  lineEnds_.replace(first, last, found, inserted - removed);
  return {position,
          removed,
          inserted,
          static_cast<qint64>(first),
          static_cast<qint64>(last - first),
          static_cast<qint64>(found.size())};
}

TextDocument::Change TextDocument::rebuildLines(qint64 position, qint64 removed, qint64 inserted) {
  const qint64 before = lineEnds_.count();
  LineIndex ends;
  QString chunk;
  qint64 at = 0;
  // A CR waits for the next unit: an LF makes the two one line end. The
  // position after the waiting CR, or 0.
  qint64 cr = 0;
  for (const Piece& piece : pieces_) {
    for (qint64 offset = 0; offset < piece.length; offset += kRescanChunk) {
      chunk.clear();
      appendPieceText(piece, offset, qMin(kRescanChunk, piece.length - offset), chunk);
      const char16_t* units = reinterpret_cast<const char16_t*>(chunk.utf16());
      const qsizetype n = chunk.size();
      for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = units[i];
        if (cr > 0) {
          ends.append(c == u'\n' ? cr + 1 : cr, c == u'\n' ? 2 : 1);
          cr = 0;
          if (c == u'\n') continue;
        }
        if (c == u'\n') {
          ends.append(at + i + 1, 1);
        } else if (c == u'\r') {
          cr = at + i + 1;
        }
      }
      at += n;
    }
  }
  if (cr > 0) ends.append(cr, 1);
  lineEnds_ = std::move(ends);
  return {position, removed, inserted, 0, before, lineEnds_.count()};
}

TextSnapshot TextDocument::snapshot() const {
  return {original_, added_, pieces_};
}

void TextDocument::replaceAll(const std::vector<Range>& ranges, const QString& with) {
  if (ranges.empty()) return;
  const qint64 first = ranges.front().position;
  const qint64 end = ranges.back().position + ranges.back().length;
  // What could be redone is gone now; its pieces are let go before the new ones are made.
  redo_.clear();
  const std::vector<Piece> replacement = addText(with);
  auto step = std::make_unique<Step>();
  step->position = first;
  step->removedLength = end - first;
  step->stateBefore = state_;
  splitAt(first);
  splitAt(end);
  step->removed = piecesIn(first, end - first);
  // The new table is made whole and takes the old one's place, so there is
  // never more than one large copy.
  std::vector<Piece> table;
  table.reserve(pieces_.size() + ranges.size() * 2 + 1);
  std::size_t i = 0;
  for (; i < pieces_.size() && pieceStarts_[i] < first; ++i) table.push_back(pieces_[i]);
  qint64 kept = first;
  qint64 inserted = 0;
  for (const Range& range : ranges) {
    if (range.position > kept) {
      appendPiecesIn(kept, range.position - kept, table);
      inserted += range.position - kept;
    }
    table.insert(table.end(), replacement.begin(), replacement.end());
    inserted += with.size();
    kept = range.position + range.length;
  }
  while (i < pieces_.size() && pieceStarts_[i] < end) ++i;
  table.insert(table.end(), pieces_.begin() + static_cast<std::ptrdiff_t>(i), pieces_.end());
  pieces_.swap(table);
  table = {};
  length_ += inserted - (end - first);
  renumberPieces(0);
  step->insertedLength = inserted;
  const Change change = end - first > kRescanAbove || inserted > kRescanAbove
                            ? rebuildLines(first, end - first, inserted)
                            : updateLines(first, end - first, inserted);
  step->stateAfter = ++nextState_;
  state_ = step->stateAfter;
  undo_.push_back(std::move(step));
  run_ = Run::None;
  ++revision_;
  if (listener_) listener_(change);
}

void TextDocument::applyStep(qint64 position, qint64 removeLength, const std::vector<Piece>& pieces,
                             qint64 insertLength) {
  replacePieces(position, removeLength, pieces, insertLength, nullptr);
  // Undoing a Replace All leaves a table a fraction of the size it was.
  if (pieces_.capacity() > 4 * pieces_.size() + 4096) {
    pieces_.shrink_to_fit();
    pieceStarts_.shrink_to_fit();
  }
  const Change change = removeLength > kRescanAbove || insertLength > kRescanAbove
                            ? rebuildLines(position, removeLength, insertLength)
                            : updateLines(position, removeLength, insertLength);
  ++revision_;
  if (listener_) listener_(change);
}

void TextDocument::replace(qint64 position, qint64 removeLength, const QString& insert) {
  position = snapToCharacter(position);
  const qint64 end = snapToCharacter(qBound<qint64>(position, position + removeLength, length_));
  removeLength = end - position;
  if (removeLength == 0 && insert.isEmpty()) return;

  Step* top = undo_.empty() ? nullptr : undo_.back().get();
  const qint64 running = top ? top->position + top->insertedLength : -1;
  // A character typed over a selection starts a run that the next ones join.
  const bool typed = isOneCharacter(insert) && !isLineEnd(insert[0]);
  // Backspace and Delete runs are steps of their own, joined as typing is: a
  // short removal just before the run (Backspace) or where it is (Delete).
  const bool deletion = insert.isEmpty() && removeLength > 0 && removeLength <= kDeletionRun;
  const bool extendsTyping =
      run_ == Run::Typing && top && typed && removeLength == 0 && position == running;
  const bool extendsDeletion =
      run_ == Run::Deleting && top && deletion &&
      (position + removeLength == top->position || position == top->position);

  std::vector<Piece> removed;
  replacePieces(position, removeLength, addText(insert), insert.size(), &removed);
  const Change change = updateLines(position, removeLength, insert.size());

  redo_.clear();
  if (extendsTyping) {
    top->insertedLength += insert.size();
  } else if (extendsDeletion && position < top->position) {
    removed.insert(removed.end(), top->removed.begin(), top->removed.end());
    top->removed = std::move(removed);
    top->removedLength += removeLength;
    top->position = position;
  } else if (extendsDeletion) {
    top->removed.insert(top->removed.end(), removed.begin(), removed.end());
    top->removedLength += removeLength;
  } else {
    auto step = std::make_unique<Step>();
    step->position = position;
    step->removed = std::move(removed);
    step->removedLength = removeLength;
    step->insertedLength = insert.size();
    step->stateBefore = state_;
    undo_.push_back(std::move(step));
    top = undo_.back().get();
  }
  top->stateAfter = ++nextState_;
  state_ = top->stateAfter;
  run_ = typed ? Run::Typing : (deletion ? Run::Deleting : Run::None);
  ++revision_;
  if (listener_) listener_(change);
}

void TextDocument::breakUndoCoalescing() {
  run_ = Run::None;
}

bool TextDocument::canUndo() const {
  return !undo_.empty();
}

bool TextDocument::canRedo() const {
  return !redo_.empty();
}

std::optional<TextDocument::Range> TextDocument::undo() {
  if (undo_.empty()) return std::nullopt;
  run_ = Run::None;
  std::unique_ptr<Step> step = std::move(undo_.back());
  undo_.pop_back();
  step->inserted = piecesIn(step->position, step->insertedLength);
  applyStep(step->position, step->insertedLength, step->removed, step->removedLength);
  state_ = step->stateBefore;
  const Range range{step->position, step->removedLength};
  redo_.push_back(std::move(step));
  return range;
}

std::optional<TextDocument::Range> TextDocument::redo() {
  if (redo_.empty()) return std::nullopt;
  run_ = Run::None;
  std::unique_ptr<Step> step = std::move(redo_.back());
  redo_.pop_back();
  applyStep(step->position, step->removedLength, step->inserted, step->insertedLength);
  state_ = step->stateAfter;
  const Range range{step->position, step->insertedLength};
  step->inserted.clear();
  undo_.push_back(std::move(step));
  return range;
}

void TextDocument::clearUndo() {
  undo_.clear();
  redo_.clear();
  run_ = Run::None;
}

void TextDocument::setUnmodified() {
  savedState_ = state_;
  run_ = Run::None;
}

bool TextDocument::encodePieces(const TextCodec& codec, bool verbatim, QByteArray* out,
                                const std::function<void(QByteArray&)>& flush) const {
  QByteArray scratch;
  QByteArray& bytes = out ? *out : scratch;
  for (const Piece& piece : pieces_) {
    if (piece.source == kOriginal && verbatim) {
      if (!out) continue;
      const QByteArrayView stored = original_->bytesOf(piece.start, piece.length);
      if (!stored.isEmpty()) {
        for (qint64 at = 0; at < stored.size(); at += kWriteChunk) {
          bytes.append(stored.sliced(at, qMin(kWriteChunk, stored.size() - at)));
          flush(bytes);
        }
        continue;
      }
    }
    for (qint64 at = 0; at < piece.length;) {
      qint64 take = qMin(kEncodeUnits, piece.length - at);
      QString part;
      appendPieceText(piece, at, take, part);
      // A pair is encoded whole.
      if (take < piece.length - at && part.back().isHighSurrogate()) {
        part.chop(1);
        --take;
      }
      if (!codec.encodeInto(part, bytes)) return false;
      if (out) {
        flush(bytes);
      } else {
        bytes.clear();
      }
      at += take;
    }
  }
  return true;
}

bool TextDocument::canEncode(const TextCodec& codec) const {
  const bool verbatim = original_ && codec == loadedCodec_;
  if (codec.encoding() == TextCodec::Encoding::MultiByte) {
    return codec.encodeFragment(toString()).has_value();
  }
  return encodePieces(codec, verbatim, nullptr, {});
}

bool TextDocument::write(const TextCodec& codec, const std::function<void(QByteArrayView)>& sink,
                         const Progress& progress) const {
  if (!canEncode(codec)) return false;
  const bool verbatim = original_ && codec == loadedCodec_;
  qint64 written = 0;
  qint64 reported = 0;
  const qint64 total = std::max<qint64>({1, length_, original_ ? original_->bytes().size() : 0});
  const auto flush = [&](QByteArray& bytes) {
    if (bytes.size() < kWriteChunk) return;
    sink(bytes);
    written += bytes.size();
    bytes.clear();
    if (progress && written - reported >= 4 * kWriteChunk) {
      reported = written;
      if (!progress(qMin(written, total), total)) {
        throw ToolkitError(err::DialogCancelled,
                           QCoreApplication::translate("TextDocument", "Saving was cancelled."));
      }
    }
  };
  QByteArray bytes = codec.byteOrderMarkBytes();
  if (verbatim && pieces_.size() == 1 && pieces_[0].source == kOriginal && pieces_[0].start == 0 &&
      pieces_[0].length == length_) {
    // Unedited: the file as read, mark and all.
    const QByteArray& stored = original_->bytes();
    bytes.clear();
    for (qint64 at = 0; at < stored.size(); at += kWriteChunk) {
      bytes.append(QByteArrayView(stored).sliced(at, qMin(kWriteChunk, stored.size() - at)));
      flush(bytes);
    }
  } else if (codec.encoding() == TextCodec::Encoding::MultiByte) {
    // Converters with a state cannot be fed in pieces.
    if (!codec.encodeInto(toString(), bytes)) return false;
  } else if (!encodePieces(codec, verbatim, &bytes, flush)) {
    return false;
  }
  if (!bytes.isEmpty()) sink(bytes);
  return true;
}

}  // namespace ostrel
