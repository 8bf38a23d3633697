// The text codec and document on fuzzed bytes: whatever the bytes, the codec
// found for them gives them back, the document shows the same characters
// with a line index that adds up, and an edit undone writes them back
// unchanged. The first byte chooses whether the bytes are taken as a page
// (so that declared character sets are tried too).
#include <QByteArray>
#include <cstdint>
#include <new>

#include "toolkit/ToolkitError.h"
#include "toolkit/files/TextCodec.h"
#include "toolkit/text/TextDocument.h"

namespace {

QByteArray written(const ostrel::TextDocument& document) {
  QByteArray out;
  if (!document.write(document.codec(), [&](QByteArrayView bytes) { out.append(bytes); })) {
    __builtin_trap();  // the loaded characters always fit their own codec
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool page = (data[0] & 1) != 0;
  const QByteArray bytes(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
  try {
    const ostrel::TextCodec codec = ostrel::TextCodec::detectFile(
        bytes, page ? QStringLiteral("page.html") : QStringLiteral("notes.txt"));
    const QString text = codec.decode(bytes);
    const std::optional<QByteArray> body = codec.encodeFragment(text);
    if (!body || codec.byteOrderMarkBytes() + *body != bytes) __builtin_trap();

    const std::unique_ptr<ostrel::TextDocument> document =
        ostrel::TextDocument::fromBytes(bytes, codec);
    if (document->toString() != text) __builtin_trap();
    qint64 total = 0;
    for (qint64 line = 0; line < document->lineCount(); ++line) {
      if (document->lineStart(line) != total) __builtin_trap();
      total += document->lineLength(line) + document->lineEndLength(line);
    }
    if (total != document->length()) __builtin_trap();
    const qint64 middle = document->length() / 2;
    if (document->text(middle, 9) != text.mid(middle, 9)) __builtin_trap();
    if (written(*document) != bytes) __builtin_trap();

    document->replace(middle, 2, QStringLiteral("\nx\r"));
    document->undo();
    if (written(*document) != bytes) __builtin_trap();
  } catch (const ostrel::ToolkitError&) {
  } catch (const std::bad_alloc&) {
  }
  return 0;
}
