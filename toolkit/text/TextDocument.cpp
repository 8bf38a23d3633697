#include "toolkit/text/TextDocument.h"

#include <QCoreApplication>
#include <algorithm>
#include <new>

#include "toolkit/ToolkitError.h"
#include "toolkit/files/FileNames.h"
#include "toolkit/text/ReplacedRanges.h"
#include "toolkit/text/TextSource.h"
#include "toolkit/text/TextWriter.h"

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
  // A step that put a whole table of pieces in place (Replace All) keeps
  // the table of its other side, and the line ends when they were all found
  // afresh; undoing and redoing it swaps them in.
  std::shared_ptr<TextSnapshot::Table> table;
  std::optional<LineIndex> lines;
  // Where Replace All took each position, for the caret and selection.
  std::shared_ptr<const ReplacedRanges> replaced;
};

namespace {

TextDocument::Change withRemovedText(TextDocument::Change change, QString removed,
                                     std::function<qint64(qint64)> moved = {}) {
  change.removedText = std::move(removed);
  change.moved = std::move(moved);
  return change;
}

// Nothing for a step of one edit, whose positions move by the usual rule.
std::function<qint64(qint64)> movedBy(const std::shared_ptr<const ReplacedRanges>& replaced,
                                      qint64 (ReplacedRanges::*way)(qint64) const) {
  if (!replaced) return {};
  return [replaced, way](qint64 position) { return ((*replaced).*way)(position); };
}

// Typing goes into chunks of this many units; larger insertions keep their own.
constexpr qsizetype kChunk = 64 * 1024;
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

std::size_t pieceIndexIn(const std::vector<TextPiece>& pieces, const std::vector<qint64>& starts,
                         qint64 position) {
  const auto end = starts.begin() + static_cast<std::ptrdiff_t>(pieces.size());
  const auto after = std::upper_bound(starts.begin(), end, position);
  return after == starts.begin() ? 0 : static_cast<std::size_t>(after - starts.begin() - 1);
}

// Appends the pieces of [position, position + length) of a table to out.
void appendPieces(const std::vector<TextPiece>& pieces, const std::vector<qint64>& starts,
                  qint64 position, qint64 length, std::vector<TextPiece>& out) {
  for (std::size_t i = pieceIndexIn(pieces, starts, position); length > 0 && i < pieces.size();
       ++i) {
    const qint64 offset = position - starts[i];
    const qint64 take = qMin(length, pieces[i].length - offset);
    out.push_back({pieces[i].source, pieces[i].start + offset, take});
    position += take;
    length -= take;
  }
}

// The table after every range of one (pieces and their starts, the end
// last) gave way to replacement.
std::vector<TextPiece> replacedTable(const std::vector<TextPiece>& pieces,
                                     const std::vector<qint64>& starts,
                                     const std::vector<TextDocument::Range>& ranges,
                                     const std::vector<TextPiece>& replacement) {
  std::vector<TextPiece> table;
  // With room for the edits to come: the first keystroke after the swap
  // would otherwise move a table of a million pieces to a bigger home.
  const std::size_t size = pieces.size() + ranges.size() * (1 + replacement.size()) + 2;
  table.reserve(size + size / 8);
  qint64 kept = 0;
  for (const TextDocument::Range& range : ranges) {
    appendPieces(pieces, starts, kept, range.position - kept, table);
    table.insert(table.end(), replacement.begin(), replacement.end());
    kept = range.position + range.length;
  }
  appendPieces(pieces, starts, kept, starts.back() - kept, table);
  return table;
}

std::vector<qint64> startsOf(const std::vector<TextPiece>& pieces) {
  std::vector<qint64> starts;
  starts.reserve(pieces.capacity() + 1);
  starts.resize(pieces.size() + 1);
  qint64 at = 0;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    starts[i] = at;
    at += pieces[i].length;
  }
  starts.back() = at;
  return starts;
}

// The line ends of text once every range gave way to with.
std::optional<LineIndex> linesAfter(const TextSnapshot& text,
                                    const std::vector<TextDocument::Range>& ranges,
                                    const QString& with, const TextDocument::Progress& progress) {
  LineIndex::Scanner scanner;
  const qint64 length = text.length();
  std::size_t r = 0;
  // The text is taken in chunks from where the last one (or the range
  // running past its end) ended.
  for (qint64 from = 0; from < length;) {
    const qint64 end = qMin(length, from + kRescanChunk);
    const QString chunk = text.text(from, end - from);
    qint64 at = from;
    for (; r < ranges.size() && ranges[r].position < end && at < end; ++r) {
      scanner.add(QStringView(chunk).sliced(at - from, ranges[r].position - at));
      scanner.add(with);
      at = ranges[r].position + ranges[r].length;
    }
    if (at < end) scanner.add(QStringView(chunk).sliced(at - from, end - at));
    from = qMax(at, end);
    if (progress && !progress(from, length)) return std::nullopt;
  }
  for (; r < ranges.size(); ++r) scanner.add(with);
  return scanner.finish();
}

}  // namespace

TextDocument::TextDocument() = default;

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
  if (document->length_ > 0) document->table_->pieces.push_back({kOriginal, 0, document->length_});
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
  const auto after = std::upper_bound(table_->starts.begin(), table_->starts.end(), position);
  return after == table_->starts.begin()
             ? 0
             : static_cast<std::size_t>(after - table_->starts.begin() - 1);
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
  for (std::size_t i = pieceIndexAt(position); length > 0 && i < table_->pieces.size(); ++i) {
    const qint64 offset = position - table_->starts[i];
    const qint64 take = qMin(length, table_->pieces[i].length - offset);
    appendPieceText(table_->pieces[i], offset, take, out);
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

TextSnapshot::Table& TextDocument::ownTable() {
  if (table_.use_count() > 1) table_ = std::make_shared<TextSnapshot::Table>(*table_);
  return *table_;
}

void TextDocument::renumberPieces(std::size_t from) {
  ownTable();
  table_->starts.resize(table_->pieces.size() + 1);
  qint64 at = from == 0 ? 0 : table_->starts[from - 1] + table_->pieces[from - 1].length;
  for (std::size_t i = from; i < table_->pieces.size(); ++i) {
    table_->starts[i] = at;
    at += table_->pieces[i].length;
  }
  table_->starts[table_->pieces.size()] = at;
}

void TextDocument::splitAt(qint64 position) {
  ownTable();
  if (table_->pieces.empty()) return;
  const std::size_t i = pieceIndexAt(position);
  if (i >= table_->pieces.size()) return;
  const qint64 offset = position - table_->starts[i];
  if (offset <= 0 || offset >= table_->pieces[i].length) return;
  const Piece tail{table_->pieces[i].source, table_->pieces[i].start + offset,
                   table_->pieces[i].length - offset};
  table_->pieces[i].length = offset;
  table_->pieces.insert(table_->pieces.begin() + static_cast<std::ptrdiff_t>(i) + 1, tail);
  table_->starts.insert(table_->starts.begin() + static_cast<std::ptrdiff_t>(i) + 1, position);
}

std::vector<TextDocument::Piece> TextDocument::piecesIn(qint64 position, qint64 length) const {
  std::vector<Piece> out;
  appendPiecesIn(position, length, out);
  return out;
}

void TextDocument::appendPiecesIn(qint64 position, qint64 length, std::vector<Piece>& out) const {
  appendPieces(table_->pieces, table_->starts, position, length, out);
}

void TextDocument::replacePieces(qint64 position, qint64 removeLength,
                                 const std::vector<Piece>& pieces, qint64 insertLength,
                                 std::vector<Piece>* removed) {
  ownTable();
  splitAt(position);
  splitAt(position + removeLength);
  const auto first = static_cast<std::size_t>(
      std::lower_bound(table_->starts.begin(), table_->starts.begin() + table_->pieces.size(),
                       position) -
      table_->starts.begin());
  std::size_t last = first;
  while (last < table_->pieces.size() && table_->starts[last] < position + removeLength) ++last;
  if (removed) removed->assign(table_->pieces.begin() + first, table_->pieces.begin() + last);
  table_->pieces.erase(table_->pieces.begin() + first, table_->pieces.begin() + last);
  const auto continues = [](const Piece& before, const Piece& piece) {
    return before.source == piece.source && before.start + before.length == piece.start;
  };
  // Typing extends the piece before it, so a typed line stays one piece.
  std::vector<Piece> merged;
  merged.reserve(pieces.size());
  for (const Piece& piece : pieces) {
    if (piece.length == 0) continue;
    Piece* before =
        merged.empty() ? (first > 0 ? &table_->pieces[first - 1] : nullptr) : &merged.back();
    if (before && continues(*before, piece)) {
      before->length += piece.length;
    } else {
      merged.push_back(piece);
    }
  }
  table_->pieces.insert(table_->pieces.begin() + static_cast<std::ptrdiff_t>(first), merged.begin(),
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

LineIndex TextDocument::scanLines() const {
  LineIndex::Scanner scanner;
  QString chunk;
  for (const Piece& piece : table_->pieces) {
    for (qint64 offset = 0; offset < piece.length; offset += kRescanChunk) {
      chunk.clear();
      appendPieceText(piece, offset, qMin(kRescanChunk, piece.length - offset), chunk);
      scanner.add(chunk);
    }
  }
  return scanner.finish();
}

TextDocument::Change TextDocument::takeLines(LineIndex lines, qint64 position, qint64 removed,
                                             qint64 inserted, std::optional<LineIndex>* previous) {
  const qint64 before = lineEnds_.count();
  std::swap(lineEnds_, lines);
  if (previous) *previous = std::move(lines);
  return {position, removed, inserted, 0, before, lineEnds_.count()};
}

TextSnapshot TextDocument::snapshot() const {
  return {original_, added_, table_};
}

void TextDocument::replaceAll(const std::vector<Range>& ranges, const QString& with) {
  if (ranges.empty()) return;
  const qint64 first = ranges.front().position;
  const qint64 removed = ranges.back().position + ranges.back().length - first;
  // What could be redone is gone now; its pieces are let go before the new ones are made.
  redo_.clear();
  std::vector<Piece> table = replacedTable(table_->pieces, table_->starts, ranges, addText(with));
  std::vector<qint64> starts = startsOf(table);
  const qint64 inserted = starts.back() - length_ + removed;
  commitTable(first, removed, inserted, std::move(table), std::move(starts), std::nullopt,
              std::make_shared<const ReplacedRanges>(ranges, with.size()));
}

std::optional<TextDocument::PreparedReplaceAll> TextDocument::prepareReplaceAll(
    const TextSnapshot& text, std::vector<Range> ranges, const QString& with,
    const Progress& progress) {
  PreparedReplaceAll prepared;
  prepared.source = text.original();
  prepared.length = text.length();
  prepared.chunk = text.addedCount();
  if (ranges.empty()) return prepared;
  prepared.with = with;
  prepared.position = ranges.front().position;
  prepared.removed = ranges.back().position + ranges.back().length - prepared.position;
  std::optional<LineIndex> lines = linesAfter(text, ranges, with, progress);
  if (!lines) return std::nullopt;
  prepared.lines = std::move(*lines);
  std::vector<Piece> replacement;
  if (!with.isEmpty()) replacement.push_back({static_cast<int>(prepared.chunk), 0, with.size()});
  prepared.pieces = replacedTable(text.pieces(), text.starts(), ranges, replacement);
  // The ranges go to the map of positions before the starts are made.
  prepared.replaced = std::make_shared<const ReplacedRanges>(std::move(ranges), with.size());
  prepared.starts = startsOf(prepared.pieces);
  prepared.inserted = prepared.starts.back() - text.length() + prepared.removed;
  return prepared;
}

bool TextDocument::replaceAll(PreparedReplaceAll prepared) {
  if (original_.get() != prepared.source || length_ != prepared.length ||
      added_.size() != prepared.chunk) {
    return false;
  }
  if (prepared.starts.empty()) return true;
  redo_.clear();
  if (!prepared.with.isEmpty()) added_.push_back(std::move(prepared.with));
  commitTable(prepared.position, prepared.removed, prepared.inserted, std::move(prepared.pieces),
              std::move(prepared.starts), std::move(prepared.lines), std::move(prepared.replaced));
  return true;
}

void TextDocument::commitTable(qint64 position, qint64 removed, qint64 inserted,
                               std::vector<Piece> pieces, std::vector<qint64> starts,
                               std::optional<LineIndex> lines,
                               std::shared_ptr<const ReplacedRanges> replaced) {
  auto step = std::make_unique<Step>();
  step->position = position;
  step->removedLength = removed;
  step->insertedLength = inserted;
  step->stateBefore = state_;
  QString removedText = text(position, qMin(removed, kRemovedTextKept));
  step->table = std::make_shared<TextSnapshot::Table>(
      TextSnapshot::Table{std::move(pieces), std::move(starts)});
  table_.swap(step->table);
  length_ += inserted - removed;
  if (!lines && (removed > kRescanAbove || inserted > kRescanAbove)) lines = scanLines();
  const Change change =
      lines ? takeLines(std::move(*lines), position, removed, inserted, &step->lines)
            : updateLines(position, removed, inserted);
  step->stateAfter = ++nextState_;
  state_ = step->stateAfter;
  step->replaced = std::move(replaced);
  const std::function<qint64(qint64)> moved = movedBy(step->replaced, &ReplacedRanges::after);
  undo_.push_back(std::move(step));
  run_ = Run::None;
  ++revision_;
  if (listener_) listener_(withRemovedText(change, std::move(removedText), moved));
}

void TextDocument::applyStep(Step& step, qint64 position, qint64 removeLength,
                             const std::vector<Piece>& pieces, qint64 insertLength,
                             std::function<qint64(qint64)> moved) {
  QString removedText = text(position, qMin(removeLength, kRemovedTextKept));
  if (step.table) {
    table_.swap(step.table);
    length_ += insertLength - removeLength;
  } else {
    replacePieces(position, removeLength, pieces, insertLength, nullptr);
  }
  Change change{};
  if (step.lines) {
    change = takeLines(std::move(*step.lines), position, removeLength, insertLength, &step.lines);
  } else if (removeLength > kRescanAbove || insertLength > kRescanAbove) {
    change = takeLines(scanLines(), position, removeLength, insertLength, nullptr);
  } else {
    change = updateLines(position, removeLength, insertLength);
  }
  ++revision_;
  if (listener_) listener_(withRemovedText(change, std::move(removedText), std::move(moved)));
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

  QString removedText = text(position, qMin(removeLength, kRemovedTextKept));
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
  if (listener_) listener_(withRemovedText(change, std::move(removedText)));
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
  if (!step->table) step->inserted = piecesIn(step->position, step->insertedLength);
  applyStep(*step, step->position, step->insertedLength, step->removed, step->removedLength,
            movedBy(step->replaced, &ReplacedRanges::before));
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
  applyStep(*step, step->position, step->removedLength, step->inserted, step->insertedLength,
            movedBy(step->replaced, &ReplacedRanges::after));
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

bool TextDocument::write(const TextCodec& codec, const std::function<void(QByteArrayView)>& sink,
                         const Progress& progress) const {
  return TextWriter(snapshot(), sink, progress).write(codec);
}

}  // namespace ostrel
