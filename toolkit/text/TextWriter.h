#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <functional>

#include "toolkit/files/TextCodec.h"
#include "toolkit/text/TextSnapshot.h"

namespace ostrel {

// Streams a document's text, as a snapshot holds it, in a codec's bytes: the
// byte-order mark first if the codec has one, then the text a bounded chunk
// at a time, so that a text of any size goes to a file without ever being
// whole in memory (but for a declared multi-byte set, whose converters keep
// a state between characters). Pieces of the loaded file go out as they were
// read when the codec is the one they were read with. Works on any thread.
class TextWriter {
 public:
  using Sink = std::function<void(QByteArrayView)>;
  // done of total bytes; false stops the writing.
  using Progress = std::function<bool(qint64 done, qint64 total)>;

  TextWriter(TextSnapshot text, Sink sink, Progress progress = {});

  // The text is encoded once: a character with no bytes in codec is found
  // on the way, and write then returns false, what went to the sink before
  // it of no use. Throws ToolkitError (err::DialogCancelled) when progress
  // says stop.
  bool write(const TextCodec& codec);

 private:
  // Hands out pending once it holds a chunk's worth (or at all, when forced).
  void flush(QByteArray& pending, bool force = false);
  void put(QByteArrayView bytes);
  bool encodePieces(const TextCodec& codec, bool verbatim, QByteArray& pending);

  TextSnapshot text_;
  Sink sink_;
  Progress progress_;
  qint64 total_ = 1;
  qint64 written_ = 0;
  qint64 reported_ = 0;
};

}  // namespace ostrel
