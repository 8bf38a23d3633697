// The text window's editor against a bare QPlainTextEdit in the same run:
// opening a large file to the first painted screen, a keystroke at the start
// of a 10 MB line, a page of scrolling in a large file, and Save. Each open
// also reports the whole program's peak memory (peak_MiB, from VmHWM, reset
// before the benchmark). Run with --benchmark_min_time=0 ; OSTREL_BENCH_MB
// sets the large file's size (default 100).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QFile>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include "bench/support/PeakMemory.h"
#include "toolkit/controls/TextBox.h"
#include "toolkit/files/SafeFileWriter.h"
#include "toolkit/files/TextCodec.h"
#include "toolkit/files/TextFileReader.h"
#include "toolkit/text/TextDocument.h"
#include "toolkit/text/TextWriter.h"

namespace {

QTemporaryDir& folder() {
  static QTemporaryDir dir;
  return dir;
}

qint64 megabytes() {
  bool ok = false;
  const int mb = qEnvironmentVariableIntValue("OSTREL_BENCH_MB", &ok);
  return ok && mb > 0 ? mb : 100;
}

enum class Shape { Lines, OneLongLine };

// A text file of about the wanted size, written once per shape.
QString fileFor(Shape shape) {
  QString name = folder().filePath(QStringLiteral("text%1.txt").arg(static_cast<int>(shape)));
  if (QFile::exists(name)) return name;
  const qint64 size = (shape == Shape::OneLongLine ? 10 : megabytes()) * 1024 * 1024;
  QByteArray bytes;
  bytes.reserve(size + 128);
  for (int n = 0; bytes.size() < size; ++n) {
    bytes += "Line " + QByteArray::number(n) + " of the sample text, with some words to lay out";
    bytes += shape == Shape::OneLongLine ? " " : "\r\n";
  }
  QFile f(name);
  if (f.open(QIODevice::WriteOnly)) f.write(bytes);
  return name;
}

// The window's load step: read, pick the encoding, index the lines, show.
std::unique_ptr<ostrel::TextBox> openTextBox(const QString& name) {
  auto box = std::make_unique<ostrel::TextBox>(nullptr, QStringLiteral("Text1"));
  box->setFontSize(10);
  box->resize(640, 400);
  QByteArray bytes = ostrel::TextFileReader::readAll(name);
  const ostrel::TextCodec codec = ostrel::TextCodec::detectFile(bytes, name);
  box->setDocument(ostrel::TextDocument::fromBytes(std::move(bytes), codec));
  box->show();
  box->viewport()->repaint();
  QCoreApplication::processEvents();
  return box;
}

// A bare Qt editor opening the same file: read it, decode it as UTF-8, set
// it into a QPlainTextEdit, show it.
std::unique_ptr<QPlainTextEdit> openBare(const QString& name) {
  auto edit = std::make_unique<QPlainTextEdit>();
  edit->setLineWrapMode(QPlainTextEdit::NoWrap);
  edit->resize(640, 400);
  QFile file(name);
  if (file.open(QIODevice::ReadOnly)) edit->setPlainText(QString::fromUtf8(file.readAll()));
  edit->show();
  edit->viewport()->repaint();
  QCoreApplication::processEvents();
  return edit;
}

template <typename Open>
void measureOpen(benchmark::State& state, Shape shape, Open open) {
  const QString name = fileFor(shape);
  double peak = 0;
  for (auto _ : state) {
    ostrel::bench::PeakMemory::reset();
    auto widget = open(name);
    benchmark::DoNotOptimize(widget.get());
    peak = qMax(peak, ostrel::bench::PeakMemory::mebibytes());
  }
  state.counters["peak_MiB"] = peak;
}

void BM_BareOpen(benchmark::State& state) {
  measureOpen(state, Shape::Lines, openBare);
}
void BM_TextBoxOpen(benchmark::State& state) {
  measureOpen(state, Shape::Lines, openTextBox);
}
void BM_BareOpenOneLongLine(benchmark::State& state) {
  measureOpen(state, Shape::OneLongLine, openBare);
}
void BM_TextBoxOpenOneLongLine(benchmark::State& state) {
  measureOpen(state, Shape::OneLongLine, openTextBox);
}

void sendKey(QWidget* target, Qt::Key key, const QString& text) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
  QCoreApplication::sendEvent(target, &press);
  QCoreApplication::sendEvent(target, &release);
}

// One typed letter at the start of a 10 MB line, from the key press to the
// repainted view.
void BM_BareKeystrokeOneLongLine(benchmark::State& state) {
  auto edit = openBare(fileFor(Shape::OneLongLine));
  edit->moveCursor(QTextCursor::Start);
  for (auto _ : state) {
    sendKey(edit.get(), Qt::Key_X, QStringLiteral("x"));
    edit->viewport()->repaint();
  }
}
void BM_TextBoxKeystrokeOneLongLine(benchmark::State& state) {
  auto box = openTextBox(fileFor(Shape::OneLongLine));
  box->setCursorPosition(0);
  for (auto _ : state) {
    sendKey(box.get(), Qt::Key_X, QStringLiteral("x"));
    box->viewport()->repaint();
  }
}

// One page down from the middle of the large file, to the repainted view.
void BM_TextBoxPageDown(benchmark::State& state) {
  auto box = openTextBox(fileFor(Shape::Lines));
  box->setCursorPosition(box->document().length() / 2);
  box->ensureCursorVisible();
  for (auto _ : state) {
    sendKey(box.get(), Qt::Key_PageDown, QString());
    box->viewport()->repaint();
  }
}

// Save as the text window does it: a snapshot streamed in its encoding
// straight into the writer, the line end added, the file replaced (or, for
// a file with another hard link, rewritten in place after its old content
// was copied aside). A letter typed at the start first, so the text is no
// longer the loaded bytes alone. peak_above_open_MiB is what the save adds
// to the memory of the open document.
enum class Target { Beside, InPlace };
enum class Buffer { Streamed, Whole };

void measureSave(benchmark::State& state, Shape shape, Target where, Buffer buffer) {
  auto box = openTextBox(fileFor(shape));
  box->setCursorPosition(0);
  sendKey(box.get(), Qt::Key_X, QStringLiteral("x"));
  const QString target = folder().filePath(QStringLiteral("saved.txt"));
  QFile::remove(target);
  QFile::remove(target + QStringLiteral(".hard"));
  if (where == Target::InPlace) {
    QFile::copy(fileFor(shape), target);
    ::link(QFile::encodeName(target).constData(),
           QFile::encodeName(target + QStringLiteral(".hard")).constData());
  }
  const ostrel::TextDocument& document = box->document();
  const ostrel::TextCodec codec = document.codec();
  const QByteArray lineEnd = codec.encodeFragment(QStringLiteral("\r\n")).value_or(QByteArray());
  ostrel::bench::PeakMemory::reset();
  const qint64 before = ostrel::bench::PeakMemory::statusKilobytes("VmRSS");
  for (auto _ : state) {
    if (buffer == Buffer::Whole) {
      // The way it was: the whole encoding collected first.
      QByteArray bytes;
      document.write(codec, [&bytes](QByteArrayView part) { bytes.append(part); });
      bytes += lineEnd;
      ostrel::SafeFileWriter::write(target, bytes);
      continue;
    }
    ostrel::SafeFileWriter::write(target, [&](const ostrel::SafeFileWriter::Sink& sink) {
      if (!ostrel::TextWriter(document.snapshot(), sink).write(codec)) return false;
      sink(lineEnd);
      return true;
    });
  }
  state.counters["peak_above_open_MiB"] =
      double(ostrel::bench::PeakMemory::statusKilobytes("VmHWM") - before) / 1024;
  QFile::remove(target + QStringLiteral(".hard"));
}
void BM_TextBoxSave(benchmark::State& state) {
  measureSave(state, Shape::Lines, Target::Beside, Buffer::Streamed);
}
void BM_TextBoxSaveWholeBuffer(benchmark::State& state) {
  measureSave(state, Shape::Lines, Target::Beside, Buffer::Whole);
}
void BM_TextBoxSaveInPlace(benchmark::State& state) {
  measureSave(state, Shape::Lines, Target::InPlace, Buffer::Streamed);
}
void BM_TextBoxSaveOneLongLine(benchmark::State& state) {
  measureSave(state, Shape::OneLongLine, Target::Beside, Buffer::Streamed);
}

BENCHMARK(BM_BareOpen)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(2);
BENCHMARK(BM_TextBoxOpen)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);
BENCHMARK(BM_BareOpenOneLongLine)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_TextBoxOpenOneLongLine)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);
BENCHMARK(BM_BareKeystrokeOneLongLine)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_TextBoxKeystrokeOneLongLine)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_TextBoxPageDown)->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK(BM_TextBoxSave)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);
BENCHMARK(BM_TextBoxSaveWholeBuffer)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);
BENCHMARK(BM_TextBoxSaveInPlace)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);
BENCHMARK(BM_TextBoxSaveOneLongLine)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

}  // namespace
