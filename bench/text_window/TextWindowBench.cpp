// How long the text window takes to open a large file, against the time a
// bare QPlainTextEdit needs for setPlainText of the same text. Run with
// --benchmark_min_time=0 ; OSTREL_BENCH_MB sets the file size (default 100).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include "toolkit/controls/TextBox.h"
#include "toolkit/files/LineEnds.h"
#include "toolkit/files/TextCodec.h"
#include "toolkit/files/TextFileReader.h"

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

enum class Shape { Lines, MixedLineEnds, OneLongLine };

// A text file of about the wanted size, written once per shape.
QString fileFor(Shape shape) {
  QString name = folder().filePath(QStringLiteral("text%1.txt").arg(static_cast<int>(shape)));
  if (QFile::exists(name)) return name;
  const qint64 size = (shape == Shape::OneLongLine ? 10 : megabytes()) * 1024 * 1024;
  QByteArray bytes;
  bytes.reserve(size + 128);
  int n = 0;
  while (bytes.size() < size) {
    bytes += "Line " + QByteArray::number(n) + " of the sample text, with some words to lay out";
    if (shape == Shape::OneLongLine) {
      bytes += ' ';
    } else {
      bytes += (shape == Shape::MixedLineEnds && n % 3 == 0) ? "\n" : "\r\n";
    }
    ++n;
  }
  QFile f(name);
  if (f.open(QIODevice::WriteOnly)) f.write(bytes);
  return name;
}

// A bare Qt editor opening the same file: read it, decode it as UTF-8, set
// it into a QPlainTextEdit.
void BM_BarePlainTextEdit(benchmark::State& state) {
  const QString name = fileFor(Shape::Lines);
  for (auto _ : state) {
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) state.SkipWithError("cannot read the sample");
    QPlainTextEdit edit;
    edit.setLineWrapMode(QPlainTextEdit::NoWrap);
    edit.setPlainText(QString::fromUtf8(file.readAll()));
    benchmark::DoNotOptimize(edit.document()->blockCount());
  }
}

// What the window's load step does: read, pick the character set, decode,
// fill the text box (which records the line ends).
void openInTextBox(benchmark::State& state, Shape shape) {
  const QString name = fileFor(shape);
  for (auto _ : state) {
    ostrel::TextBox box(nullptr, QStringLiteral("Text1"));
    box.setFontSize(10);
    QString text;
    {
      const QByteArray bytes = ostrel::TextFileReader::readAll(name);
      ostrel::TextCodec::detect(bytes, text);
    }
    box.setText(text);
    benchmark::DoNotOptimize(box.document()->blockCount());
  }
}

void BM_TextWindowOpen(benchmark::State& state) {
  openInTextBox(state, Shape::Lines);
}
void BM_TextWindowOpenMixedLineEnds(benchmark::State& state) {
  openInTextBox(state, Shape::MixedLineEnds);
}
void BM_TextWindowOpenOneLongLine(benchmark::State& state) {
  openInTextBox(state, Shape::OneLongLine);
}

// The steps before the text box, on their own.
void BM_ReadAndDecode(benchmark::State& state) {
  const QString name = fileFor(Shape::Lines);
  for (auto _ : state) {
    const QByteArray bytes = ostrel::TextFileReader::readAll(name);
    QString text;
    benchmark::DoNotOptimize(ostrel::TextCodec::detect(bytes, text));
    benchmark::DoNotOptimize(ostrel::LineEnds::scan(text).count());
  }
}

void BM_TextWindowSaveText(benchmark::State& state) {
  ostrel::TextBox box(nullptr, QStringLiteral("Text1"));
  const QByteArray bytes = ostrel::TextFileReader::readAll(fileFor(Shape::MixedLineEnds));
  const ostrel::TextCodec codec = ostrel::TextCodec::detect(bytes);
  box.setText(codec.decode(bytes));
  for (auto _ : state) benchmark::DoNotOptimize(codec.encode(box.Text() + QStringLiteral("\r\n")));
}

BENCHMARK(BM_BarePlainTextEdit)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(2);
BENCHMARK(BM_TextWindowOpen)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(2);
BENCHMARK(BM_TextWindowOpenMixedLineEnds)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_TextWindowOpenOneLongLine)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ReadAndDecode)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_TextWindowSaveText)->Unit(benchmark::kMillisecond)->Iterations(1);

// One typed letter, from the key press to the repainted view, in the middle
// of a 10 MB line: every keystroke lays the whole line out again.
void typeInOneLongLine(benchmark::State& state, QPlainTextEdit& edit) {
  QString text;
  ostrel::TextCodec::detect(ostrel::TextFileReader::readAll(fileFor(Shape::OneLongLine)), text);
  edit.resize(640, 400);
  edit.show();
  edit.setPlainText(text);
  QTextCursor cursor = edit.textCursor();
  cursor.setPosition(static_cast<int>(text.size() / 2));
  edit.setTextCursor(cursor);
  QCoreApplication::processEvents();
  for (auto _ : state) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
    QCoreApplication::sendEvent(&edit, &press);
    QCoreApplication::sendEvent(&edit, &release);
    edit.viewport()->repaint();
  }
}

void BM_BareKeystrokeOneLongLine(benchmark::State& state) {
  QPlainTextEdit edit;
  edit.setLineWrapMode(QPlainTextEdit::NoWrap);
  typeInOneLongLine(state, edit);
}
void BM_TextBoxKeystrokeOneLongLine(benchmark::State& state) {
  ostrel::TextBox box(nullptr, QStringLiteral("Text1"));
  box.setFontSize(10);
  typeInOneLongLine(state, box);
}

BENCHMARK(BM_BareKeystrokeOneLongLine)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TextBoxKeystrokeOneLongLine)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
