#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "toolkit/files/TextCodec.h"
#include "toolkit/text/LineIndex.h"
#include "toolkit/text/TextSnapshot.h"

namespace ostrel {

class ReplacedRanges;
class TextSource;

// The text of one file as the editor holds it: the file's bytes, untouched,
// and what the user added, with a table of pieces saying which parts of the
// two make up the text now. Nothing is decoded until it is asked for, so a
// file of hundreds of megabytes costs its bytes and a line index, and an edit
// in a line of ten million characters costs what it changes.
//
// Positions and lengths are in UTF-16 code units of the decoded text (what a
// QString index means). Lines are separated by CR LF, a lone LF or a lone CR,
// kept exactly as stored; a line's length excludes its line end.
class TextDocument {
 public:
  // Called now and then during long work; false cancels it.
  using Progress = std::function<bool(qint64 done, qint64 total)>;

  // What one change did, for the views: the text [position, position +
  // removed) became [position, position + inserted); the line ends of lines
  // firstLine .. firstLine + linesRemoved - 1 were replaced by those of lines
  // firstLine .. firstLine + linesInserted - 1 (lines after them moved by the
  // difference). Lines before firstLine are untouched.
  // removedText is what was removed, its first kRemovedTextKept units (for
  // screen readers, which are told what went). A change made of many
  // replacements at once (Replace All, its undo and redo) says in moved
  // where a position of the text before it went (see ReplacedRanges).
  struct Change {
    qint64 position;
    qint64 removed;
    qint64 inserted;
    qint64 firstLine;
    qint64 linesRemoved;
    qint64 linesInserted;
    QString removedText{};
    std::function<qint64(qint64)> moved{};
  };
  static constexpr qint64 kRemovedTextKept = qint64(1) << 20;

  struct Range {
    qint64 position;
    qint64 length;
  };

  // Empty, UTF-8 without a byte-order mark.
  TextDocument();
  ~TextDocument();
  TextDocument(const TextDocument&) = delete;
  TextDocument& operator=(const TextDocument&) = delete;

  // Takes the file's bytes (kept as they are, the byte-order mark included)
  // and the codec found for them, and finds the line starts. Throws
  // ToolkitError when progress cancels, or naming the file when its line
  // index would not fit (more than 32 Mi lines) or memory runs out.
  static std::unique_ptr<TextDocument> fromBytes(QByteArray bytes, const TextCodec& codec,
                                                 const Progress& progress = {},
                                                 const QString& fileName = {});

  const TextCodec& codec() const { return codec_; }
  // After the user agreed to another character set; the loaded bytes are
  // then re-encoded on writing.
  void setCodec(const TextCodec& codec) { codec_ = codec; }

  qint64 length() const { return length_; }
  // At least 1: an empty text is one empty line.
  qint64 lineCount() const { return lineEnds_.count() + 1; }
  qint64 lineStart(qint64 line) const;
  qint64 lineLength(qint64 line) const;
  // 0 (the last line), 1 or 2.
  qint64 lineEndLength(qint64 line) const;
  // The line holding position; a position between the CR and LF of a line end
  // belongs to that line.
  qint64 lineAt(qint64 position) const;

  // Decoded text; costs the length asked for, wherever it lies. Out-of-range
  // parts are clipped.
  QString text(qint64 position, qint64 length) const;
  QString lineText(qint64 line) const;
  // The whole text with its line ends as stored (tests and small files).
  QString toString() const;

  // The one edit. Positions inside a surrogate pair move to its start.
  void replace(qint64 position, qint64 removeLength, const QString& insert);
  // Replaces every range (in order, none overlapping) with the same text, as
  // one undo step. The text between them stays where it is stored, so this
  // costs the number of ranges, not the length of the text.
  void replaceAll(const std::vector<Range>& ranges, const QString& with);
  // A Replace All worked out on another thread from a snapshot of the text:
  // the table of pieces and the line ends of the text it makes.
  struct PreparedReplaceAll {
    QString with;
    // The snapshot's loaded text and length, and where with goes among the
    // chunks of added text.
    const TextSource* source = nullptr;
    qint64 length = 0;
    std::size_t chunk = 0;
    qint64 position = 0;
    qint64 removed = 0;
    qint64 inserted = 0;
    std::vector<TextPiece> pieces;
    std::vector<qint64> starts;
    LineIndex lines;
    // Where the caret and selection go, for the box showing the text.
    std::shared_ptr<const ReplacedRanges> replaced;
  };
  // Nothing when progress cancels.
  static std::optional<PreparedReplaceAll> prepareReplaceAll(const TextSnapshot& text,
                                                             std::vector<Range> ranges,
                                                             const QString& with,
                                                             const Progress& progress = {});
  // Takes what was prepared, in no time, when the document is still as the
  // snapshot was (its revision unchanged); false for another document.
  bool replaceAll(PreparedReplaceAll prepared);
  // Typing coalesces: single-character inserts at the running position form
  // one undo step, and so do removals of one character before it (Backspace)
  // or at it (Delete), until a line end is typed, an edit of another kind or
  // elsewhere happens, or this is called (the caret moved, the document was
  // saved).
  void breakUndoCoalescing();
  bool canUndo() const;
  bool canRedo() const;
  // The text the step put back (to place the caret or select), or nothing.
  std::optional<Range> undo();
  std::optional<Range> redo();
  void clearUndo();

  // Differs from the state loaded or last saved; undoing back to that state
  // makes it unmodified again.
  bool isModified() const { return state_ != savedState_; }
  void setUnmodified();
  // The state a save of a snapshot taken now writes: once that save is done,
  // setUnmodifiedAt(it) leaves edits made meanwhile counted as unsaved.
  quint64 editState() const { return state_; }
  void setUnmodifiedAt(quint64 state) { savedState_ = state; }
  // Changes on every edit, undo and redo (for caches).
  quint64 revision() const { return revision_; }

  // Streams the text in codec's bytes to sink, byte-order mark first if the
  // codec has one, in chunks; pieces of the loaded file go out as they were
  // read when codec is the one they were read with. The text is encoded
  // once: a character with no bytes in codec is found on the way, and write
  // then returns false, what went to sink before it of no use. Throws
  // ToolkitError when progress cancels.
  bool write(const TextCodec& codec, const std::function<void(QByteArrayView)>& sink,
             const Progress& progress = {}) const;

  // The text as it stands now, for reading on another thread.
  TextSnapshot snapshot() const;

  // One listener (the widget), called after every change.
  void setChangeListener(std::function<void(const Change&)> listener) {
    listener_ = std::move(listener);
  }

 private:
  using Piece = TextPiece;
  struct Step;

  static constexpr int kOriginal = TextPiece::kOriginal;

  std::size_t pieceIndexAt(qint64 position) const;
  void splitAt(qint64 position);
  // Puts pieces in place of [position, position + removeLength); what was
  // there goes to removed when given.
  void replacePieces(qint64 position, qint64 removeLength, const std::vector<Piece>& pieces,
                     qint64 insertLength, std::vector<Piece>* removed);
  std::vector<Piece> piecesIn(qint64 position, qint64 length) const;
  void appendPiecesIn(qint64 position, qint64 length, std::vector<Piece>& out) const;
  std::vector<Piece> addText(const QString& text);
  void appendPieceText(const Piece& piece, qint64 offset, qint64 length, QString& out) const;
  qint64 snapToCharacter(qint64 position) const;
  // Brings the line index up to date after [position, position + removed)
  // became inserted units.
  Change updateLines(qint64 position, qint64 removed, qint64 inserted);
  // Every line end found afresh, for changes too large to look at piecewise.
  LineIndex scanLines() const;
  // Makes lines the line ends after the change; those before it go to
  // previous when given.
  Change takeLines(LineIndex lines, qint64 position, qint64 removed, qint64 inserted,
                   std::optional<LineIndex>* previous);
  // The table, to change: a copy of it when a snapshot holds it.
  TextSnapshot::Table& ownTable();
  void renumberPieces(std::size_t from);
  // Puts table (pieces and their starts) in place of the whole table, as
  // the step that replaced [position, position + removed) by inserted units.
  void commitTable(qint64 position, qint64 removed, qint64 inserted, std::vector<Piece> pieces,
                   std::vector<qint64> starts, std::optional<LineIndex> lines,
                   std::shared_ptr<const ReplacedRanges> replaced);
  void applyStep(Step& step, qint64 position, qint64 removeLength, const std::vector<Piece>& pieces,
                 qint64 insertLength, std::function<qint64(qint64)> moved);

  TextCodec codec_;
  TextCodec loadedCodec_;
  std::shared_ptr<const TextSource> original_;
  // Added text in chunks that never move, so pieces may point into them;
  // typing goes into the open one, a large paste is a chunk of its own.
  std::vector<QString> added_;
  int openChunk_ = -1;
  // Shared with the snapshots taken since it last changed; copied before a
  // change while one still holds it.
  std::shared_ptr<TextSnapshot::Table> table_ = std::make_shared<TextSnapshot::Table>();
  LineIndex lineEnds_;
  qint64 length_ = 0;

  std::vector<std::unique_ptr<Step>> undo_;
  std::vector<std::unique_ptr<Step>> redo_;
  // What the top undo step is a run of, while later edits may join it.
  enum class Run { None, Typing, Deleting };
  Run run_ = Run::None;
  quint64 state_ = 0;
  quint64 savedState_ = 0;
  quint64 nextState_ = 0;
  quint64 revision_ = 0;
  std::function<void(const Change&)> listener_;
};

}  // namespace ostrel
