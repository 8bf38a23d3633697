// The text document alone, without the widget: what opening, typing,
// reading a screenful and writing cost in it, on inputs made in memory.
#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QString>

#include "toolkit/files/TextCodec.h"
#include "toolkit/text/TextDocument.h"

namespace {

constexpr qsizetype kLarge = 100 * 1000 * 1000;
constexpr qsizetype kLongLine = 10 * 1000 * 1000;

// 100 MB of log lines; with accents the UTF-8 takes its counting path.
const QByteArray& lines(bool accents) {
  static const auto make = [](bool withAccents) {
    QByteArray bytes;
    bytes.reserve(kLarge + 100);
    const QByteArray line = withAccents ? QByteArrayLiteral("2026-12-07 11:32:37 caf\xC3\xA9 line ")
                                        : QByteArrayLiteral("2026-12-07 11:32:37 cafe line ");
    for (int n = 0; bytes.size() < kLarge; ++n) {
      bytes.append(line).append(QByteArray::number(n)).append("\r\n");
    }
    return bytes;
  };
  static const QByteArray plain = make(false);
  static const QByteArray accented = make(true);
  return accents ? accented : plain;
}

const QByteArray& longLine() {
  static const QByteArray bytes = [] {
    QByteArray b;
    const QByteArray word = QByteArrayLiteral("var x=f\xC3\xA9(1);");
    while (b.size() < kLongLine) b.append(word);
    return b;
  }();
  return bytes;
}

std::unique_ptr<ostrel::TextDocument> open(const QByteArray& bytes) {
  return ostrel::TextDocument::fromBytes(bytes, ostrel::TextCodec::detect(bytes));
}

// Arguments: 0 ASCII, 1 UTF-8 with accents, 2 the same as UTF-16 LE.
void BM_DocumentOpen100MB(benchmark::State& state) {
  const ostrel::TextCodec utf16Codec(ostrel::TextCodec::Encoding::Utf16LE,
                                     ostrel::TextCodec::ByteOrderMark::Present);
  const QByteArray utf16 = state.range(0) == 2
                               ? utf16Codec.byteOrderMarkBytes() +
                                     *utf16Codec.encodeFragment(QString::fromUtf8(lines(true)))
                               : QByteArray();
  const QByteArray& bytes = state.range(0) == 2 ? utf16 : lines(state.range(0) != 0);
  for (auto _ : state) {
    // Detection is part of opening.
    benchmark::DoNotOptimize(open(bytes)->lineCount());
  }
}
BENCHMARK(BM_DocumentOpen100MB)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// A keystroke at the start of a 10 MB line, then what the view reads back
// for the screen: the first few thousand characters.
void BM_DocumentKeystrokeLongLine(benchmark::State& state) {
  const std::unique_ptr<ostrel::TextDocument> document = open(longLine());
  const QString key = QStringLiteral("k");
  qint64 at = 0;
  for (auto _ : state) {
    document->replace(at++, 0, key);
    benchmark::DoNotOptimize(document->text(0, 4000));
  }
}
BENCHMARK(BM_DocumentKeystrokeLongLine)->Unit(benchmark::kMicrosecond);

// A keystroke in the middle of 100 MB: the line index after it moves.
void BM_DocumentKeystrokeLargeFile(benchmark::State& state) {
  const std::unique_ptr<ostrel::TextDocument> document = open(lines(true));
  qint64 at = document->lineStart(document->lineCount() / 2);
  const QString key = QStringLiteral("k");
  for (auto _ : state) {
    document->replace(at++, 0, key);
    benchmark::DoNotOptimize(document->lineText(document->lineAt(at)));
  }
}
BENCHMARK(BM_DocumentKeystrokeLargeFile)->Unit(benchmark::kMicrosecond);

// One screen (60 lines) read anywhere in 100 MB, the cost of a page scroll.
void BM_DocumentReadScreen(benchmark::State& state) {
  const std::unique_ptr<ostrel::TextDocument> document = open(lines(true));
  qint64 line = 7;
  for (auto _ : state) {
    line = (line * 7919 + 13) % (document->lineCount() - 60);
    for (qint64 i = 0; i < 60; ++i) benchmark::DoNotOptimize(document->lineText(line + i));
  }
}
BENCHMARK(BM_DocumentReadScreen)->Unit(benchmark::kMicrosecond);

// Writing 100 MB with a few edits in it (the pieces between go out as read),
// and re-encoding all of it into UTF-16.
void BM_DocumentWrite100MB(benchmark::State& state) {
  const std::unique_ptr<ostrel::TextDocument> document = open(lines(true));
  for (qint64 i = 1; i < 10; ++i)
    document->replace(document->length() / 10 * i, 0, QStringLiteral("edit"));
  const ostrel::TextCodec codec = state.range(0) != 0
                                      ? ostrel::TextCodec(ostrel::TextCodec::Encoding::Utf16LE,
                                                          ostrel::TextCodec::ByteOrderMark::Present)
                                      : document->codec();
  for (auto _ : state) {
    qint64 total = 0;
    document->write(codec, [&](QByteArrayView bytes) { total += bytes.size(); });
    benchmark::DoNotOptimize(total);
  }
}
BENCHMARK(BM_DocumentWrite100MB)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
