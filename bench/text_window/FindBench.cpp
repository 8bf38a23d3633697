// Finding in a large text beside GNU grep counting the same fixed string in
// the same file, in the same run: Find next of a literal 90 % into the file,
// counting a common word with and without case, a regular expression over
// the whole text, Replace All of a word with 500,000 matches (and its undo,
// with the program's peak memory beside the open's), and Go to line
// 1,000,000 to the repaint. The regular expression and Replace All are run
// through the find window too, with the longest wait of the interface
// thread meanwhile. grep reads the file from the page cache each
// time; the text window has it loaded already. Run with
// --benchmark_min_time=0 ; OSTREL_BENCH_MB sets the file's size (default 100).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <random>

#include "bench/support/PeakMemory.h"
#include "toolkit/Services.h"
#include "toolkit/controls/FindDialog.h"
#include "toolkit/controls/TextBox.h"
#include "toolkit/files/TextCodec.h"
#include "toolkit/files/TextFileReader.h"
#include "toolkit/jobs/JobService.h"
#include "toolkit/jobs/ThreadJobRunner.h"
#include "toolkit/text/TextDocument.h"
#include "toolkit/text/TextSearch.h"

namespace {

using ostrel::TextSearch;

const QString kRare = QStringLiteral("zebracorn");
const QString kCommon = QStringLiteral("the");
const QString kReplaced = QStringLiteral("whale");

QTemporaryDir& folder() {
  static QTemporaryDir dir;
  return dir;
}

qint64 megabytes() {
  bool ok = false;
  const int mb = qEnvironmentVariableIntValue("OSTREL_BENCH_MB", &ok);
  return ok && mb > 0 ? mb : 100;
}

// Lines of words of English prose, "whale" in three lines of ten (500,000
// times in all) and "zebracorn" once, 90 % of the way in.
QString fileName() {
  QString name = folder().filePath(QStringLiteral("prose.txt"));
  if (QFile::exists(name)) return name;
  static const char* const words[] = {
      "the",   "sea",     "ship",  "and",     "of",      "a",    "captain", "to",   "in",
      "that",  "his",     "The",   "it",      "was",     "with", "sailors", "upon", "deck",
      "wind",  "harbour", "long",  "voyage",  "THE",     "rope", "mast",    "boat", "whaling",
      "storm", "oil",     "night", "morning", "Ishmael", "by",   "from",    "at",   "all"};
  std::mt19937 random(42);
  const qint64 size = megabytes() * 1024 * 1024;
  QByteArray bytes;
  bytes.reserve(size + 256);
  bool rarePlaced = false;
  qint64 whales = 0;
  for (qint64 line = 0; bytes.size() < size; ++line) {
    for (int w = 0; w < 12; ++w) {
      if (w == 6 && line % 10 < 3 && whales < 500000) {
        bytes += "whale ";
        ++whales;
      } else {
        bytes += words[random() % std::size(words)];
        bytes += ' ';
      }
    }
    if (!rarePlaced && bytes.size() >= size * 9 / 10) {
      bytes += "zebracorn ";
      rarePlaced = true;
    }
    bytes += "\r\n";
  }
  QFile f(name);
  if (f.open(QIODevice::WriteOnly)) f.write(bytes);
  return name;
}

// The same size in one line: a sentence said again and again, no line end.
QString singleLineName() {
  QString name = folder().filePath(QStringLiteral("one-line.txt"));
  if (QFile::exists(name)) return name;
  const QByteArray sentence("the whale swims near the wharf and the harbour at night ");
  QFile f(name);
  if (f.open(QIODevice::WriteOnly)) {
    f.write(sentence.repeated(static_cast<qsizetype>(megabytes() * 1024 * 1024 / sentence.size())));
  }
  return name;
}

std::unique_ptr<ostrel::TextDocument> open(const QString& name = fileName()) {
  QByteArray bytes = ostrel::TextFileReader::readAll(name);
  const ostrel::TextCodec codec = ostrel::TextCodec::detectFile(bytes, name);
  return ostrel::TextDocument::fromBytes(std::move(bytes), codec);
}

ostrel::TextDocument& document() {
  static std::unique_ptr<ostrel::TextDocument> loaded = open();
  return *loaded;
}

// grep -c -F (and more options) on the file, the whole process.
void grepCount(benchmark::State& state, const QStringList& options, const QString& needle) {
  const QString name = fileName();
  for (auto _ : state) {
    QProcess grep;
    grep.start(QStringLiteral("grep"), QStringList{QStringLiteral("-c")} + options +
                                           QStringList{QStringLiteral("--"), needle, name});
    grep.waitForFinished(-1);
    state.counters["lines"] = grep.readAllStandardOutput().trimmed().toDouble();
  }
}

qint64 countMatches(const TextSearch& search) {
  const ostrel::TextDocument& d = document();
  qint64 found = 0;
  search.forEach(d.snapshot(), 0, d.length(), [&found](const TextSearch::Match&) {
    ++found;
    return true;
  });
  return found;
}

void BM_Open(benchmark::State& state) {
  fileName();
  for (auto _ : state) {
    ostrel::bench::PeakMemory::reset();
    const auto d = open();
    state.counters["peak_MiB"] = ostrel::bench::PeakMemory::mebibytes();
    benchmark::DoNotOptimize(d->length());
  }
}

void BM_GrepFindRare(benchmark::State& state) {
  grepCount(state, {QStringLiteral("-F")}, kRare);
}

void BM_FindNextRare(benchmark::State& state) {
  const ostrel::TextDocument& d = document();
  const TextSearch search(kRare, {true, false, false});
  for (auto _ : state) {
    const TextSearch::Result found = search.findNext(d.snapshot(), 0, d.length());
    state.counters["at_MB"] = found.match ? found.match->position / 1e6 : -1;
  }
}

void BM_GrepCountCommon(benchmark::State& state) {
  grepCount(state, {QStringLiteral("-F")}, kCommon);
}

void BM_CountCommon(benchmark::State& state) {
  const TextSearch search(kCommon, {true, false, false});
  for (auto _ : state) state.counters["matches"] = static_cast<double>(countMatches(search));
}

void BM_GrepCountCommonAnyCase(benchmark::State& state) {
  grepCount(state, {QStringLiteral("-F"), QStringLiteral("-i")}, kCommon);
}

void BM_CountCommonAnyCase(benchmark::State& state) {
  const TextSearch search(kCommon, {false, false, false});
  for (auto _ : state) state.counters["matches"] = static_cast<double>(countMatches(search));
}

void BM_CountExpression(benchmark::State& state) {
  const TextSearch search(QStringLiteral("\\bwh[a-z]+e\\b"), {true, false, true});
  for (auto _ : state) state.counters["matches"] = static_cast<double>(countMatches(search));
}

// Replace All: the matches found, the pieces built, the lines found again.
void BM_ReplaceAll(benchmark::State& state) {
  ostrel::TextDocument& d = document();
  const TextSearch search(kReplaced, {true, true, false});
  for (auto _ : state) {
    ostrel::bench::PeakMemory::reset();
    std::vector<ostrel::TextDocument::Range> ranges;
    search.forEach(d.snapshot(), 0, d.length(), [&ranges](const TextSearch::Match& m) {
      ranges.push_back({m.position, m.length});
      return true;
    });
    d.replaceAll(ranges, QStringLiteral("orca"));
    state.counters["matches"] = static_cast<double>(ranges.size());
    state.counters["peak_MiB"] = ostrel::bench::PeakMemory::mebibytes();
    state.PauseTiming();
    // Back to the text as loaded, with nothing held for redo.
    d.undo();
    d.clearUndo();
    state.ResumeTiming();
  }
}

void BM_ReplaceAllUndo(benchmark::State& state) {
  ostrel::TextDocument& d = document();
  const TextSearch search(kReplaced, {true, true, false});
  std::vector<ostrel::TextDocument::Range> ranges;
  search.forEach(d.snapshot(), 0, d.length(), [&ranges](const TextSearch::Match& m) {
    ranges.push_back({m.position, m.length});
    return true;
  });
  for (auto _ : state) {
    state.PauseTiming();
    d.replaceAll(ranges, QStringLiteral("orca"));
    state.ResumeTiming();
    d.undo();
  }
}

// Go to line 1,000,000 (and back to line 10, untimed), to the repainted view.
void BM_GoToLine(benchmark::State& state) {
  ostrel::TextBox box(nullptr, QStringLiteral("Text1"));
  box.setFontSize(10);
  box.resize(640, 400);
  box.setDocument(open());
  box.show();
  box.viewport()->repaint();
  QCoreApplication::processEvents();
  const ostrel::TextDocument& d = box.document();
  for (auto _ : state) {
    box.setCursorPosition(d.lineStart(999999));
    box.ensureCursorVisible();
    box.viewport()->repaint();
    state.PauseTiming();
    box.setCursorPosition(d.lineStart(9));
    box.ensureCursorVisible();
    box.viewport()->repaint();
    state.ResumeTiming();
  }
}

// The find window beside a box holding the text; the box shown, as the user
// sees it, and the window's own count of matches running as it would.
struct Window {
  QWidget owner;
  ostrel::TextBox* box = new ostrel::TextBox(&owner, QStringLiteral("Text1"));
  ostrel::FindDialog dialog{box, &owner};

  explicit Window(const QString& name = fileName()) {
    owner.resize(640, 400);
    box->resize(640, 400);
    box->setDocument(open(name));
    owner.show();
    QCoreApplication::processEvents();
  }
  void set(ostrel::FindDialog::Mode mode, const QString& find, bool regularExpression) {
    dialog.open(mode);
    dialog.findEdit()->setText(find);
    dialog.matchCase()->setChecked(true);
    dialog.wholeWords()->setChecked(!regularExpression);
    dialog.regularExpression()->setChecked(regularExpression);
    dialog.wrapAround()->setChecked(false);
  }
  // Runs start, then the events until the window's search is over, and
  // 300 ms more (the repaint, then the count the window starts again 150 ms
  // after a change). Returns the milliseconds to the end of the search; gap
  // gets the longest wait of a 5 ms timer on this thread until 100 ms after
  // it, later the longest wait after it.
  double run(const std::function<void()>& start, double* gap, double* later) {
    QElapsedTimer total;
    QElapsedTimer tick;
    qint64 longest[2] = {0, 0};
    double ms = -1;
    const auto note = [&] {
      const qint64 wait = tick.restart();
      qint64& into = longest[ms >= 0 && total.elapsed() > ms + 100 ? 1 : 0];
      into = qMax(into, wait);
    };
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(5);
    QObject::connect(&timer, &QTimer::timeout, note);
    QEventLoop loop;
    QObject::connect(&dialog, &ostrel::FindDialog::searchFinished, &loop, [&] {
      ms = static_cast<double>(total.nsecsElapsed()) / 1e6;
      QTimer::singleShot(300, &loop, &QEventLoop::quit);
    });
    total.start();
    tick.start();
    timer.start();
    start();
    loop.exec();
    note();
    *gap = static_cast<double>(longest[0]);
    *later = static_cast<double>(longest[1]);
    return ms;
  }
  // Find next from the start of the text; the milliseconds to the answer,
  // and the longest wait meanwhile in gap.
  double findFromStart(double* gap) {
    box->setCursorPosition(0);
    double later = 0;
    return run([&] { dialog.findNext(); }, gap, &later);
  }
};

// Find next of a regular expression that holds nothing, over the whole
// text, from the window's button to its answer.
void BM_WindowExpression(benchmark::State& state) {
  Window w;
  w.set(ostrel::FindDialog::Mode::Find, QStringLiteral("\\bwh[a-z]+e[0-9]\\b"), true);
  for (auto _ : state) {
    double gap = 0;
    state.SetIterationTime(w.findFromStart(&gap) / 1000);
    state.counters["max_gap_ms"] = gap;
  }
}

// Replace All from the window's button, then its undo in the box (Ctrl+Z).
void BM_WindowReplaceAll(benchmark::State& state) {
  Window w;
  w.set(ostrel::FindDialog::Mode::Replace, kReplaced, false);
  w.dialog.replaceEdit()->setText(QStringLiteral("orca"));
  const qint64 length = w.box->document().length();
  for (auto _ : state) {
    double gap = 0;
    double later = 0;
    ostrel::bench::PeakMemory::reset();
    const double ms = w.run([&] { w.dialog.replaceAll(); }, &gap, &later);
    state.counters["peak_MiB"] = ostrel::bench::PeakMemory::mebibytes();
    state.SetIterationTime(ms / 1000);
    state.counters["max_gap_ms"] = gap;
    state.counters["recount_gap_ms"] = later;
    state.counters["matches"] = static_cast<double>(length - w.box->document().length());
    QElapsedTimer undo;
    undo.start();
    w.box->undo();
    w.box->viewport()->repaint();
    state.counters["undo_ms"] = static_cast<double>(undo.nsecsElapsed()) / 1e6;
    w.box->document().clearUndo();
  }
}

// The longest wait of a 5 ms timer on this thread while step runs from the
// event loop and for ms after it.
double longestGap(const std::function<void()>& step, int ms) {
  QElapsedTimer tick;
  qint64 longest = 0;
  QTimer timer;
  timer.setTimerType(Qt::PreciseTimer);
  timer.setInterval(5);
  QObject::connect(&timer, &QTimer::timeout, [&] { longest = qMax(longest, tick.restart()); });
  QEventLoop loop;
  tick.start();
  timer.start();
  QTimer::singleShot(0, &loop, step);
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
  return static_cast<double>(qMax(longest, tick.restart()));
}

// One line of 100 MB, a regular expression: Find next over all of it, a
// Find next cancelled 100 ms in, the count started again by a change of
// options while it runs, and the window hidden while its count runs. The
// longest wait of the interface thread in each, and the search's time.
void BM_WindowSingleLine(benchmark::State& state) {
  Window w(singleLineName());
  w.set(ostrel::FindDialog::Mode::Find, QStringLiteral("\\bwh[a-z]+e[0-9]\\b"), true);
  for (auto _ : state) {
    double gap = 0;
    state.SetIterationTime(w.findFromStart(&gap) / 1000);
    state.counters["find_gap_ms"] = gap;
    state.counters["cancel_gap_ms"] = longestGap(
        [&] {
          w.box->setCursorPosition(0);
          w.dialog.findNext();
          QTimer::singleShot(100, &w.dialog, [&] { w.dialog.cancel(); });
        },
        400);
    state.counters["restart_gap_ms"] = longestGap(
        [&] {
          w.dialog.matchCase()->toggle();
          QTimer::singleShot(250, &w.dialog, [&] { w.dialog.matchCase()->toggle(); });
        },
        600);
    state.counters["hide_gap_ms"] = longestGap(
        [&] {
          w.dialog.hide();
          w.dialog.open(ostrel::FindDialog::Mode::Find);
        },
        300);
  }
}

// The baseline: what a search over whole lines did with that one line, and
// what stopping it waited for: the whole line decoded into one string and
// the expression run over all of it.
void BM_WholeLineAtOnce(benchmark::State& state) {
  const auto d = open(singleLineName());
  const QRegularExpression expression(QStringLiteral("\\bwh[a-z]+e[0-9]\\b"),
                                      QRegularExpression::MultilineOption);
  for (auto _ : state) {
    const QString line = d->snapshot().text(0, d->length());
    benchmark::DoNotOptimize(expression.match(line).hasMatch());
  }
}

// After a Replace All of 500,000 matches with the window open, letters
// typed into the box 50 ms apart, the count starting again between them:
// each key to its repaint, and the longest wait of the interface thread
// meanwhile. Undone afterwards.
void BM_WindowTypingAfterReplaceAll(benchmark::State& state) {
  Window w;
  w.set(ostrel::FindDialog::Mode::Replace, kReplaced, false);
  w.dialog.replaceEdit()->setText(QStringLiteral("orca"));
  for (auto _ : state) {
    double gap = 0;
    double later = 0;
    w.run([&] { w.dialog.replaceAll(); }, &gap, &later);
    w.box->setFocus();
    std::vector<double> keys;
    const double typingGap = longestGap(
        [&] {
          for (int k = 0; k < 20; ++k) {
            QTimer::singleShot(50 * k, w.box, [&] {
              QElapsedTimer key;
              key.start();
              QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
              QCoreApplication::sendEvent(w.box, &press);
              w.box->viewport()->repaint();
              keys.push_back(static_cast<double>(key.nsecsElapsed()) / 1e6);
            });
          }
        },
        50 * 20 + 400);
    std::sort(keys.begin(), keys.end());
    state.SetIterationTime(keys.empty() ? 0 : keys[keys.size() / 2] / 1000);
    state.counters["key_median_ms"] = keys.empty() ? -1 : keys[keys.size() / 2];
    state.counters["key_max_ms"] = keys.empty() ? -1 : keys.back();
    state.counters["typing_gap_ms"] = typingGap;
    while (w.box->document().canUndo()) w.box->undo();
    w.box->document().clearUndo();
  }
}

BENCHMARK(BM_Open)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(2);
BENCHMARK(BM_GrepFindRare)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);
BENCHMARK(BM_FindNextRare)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);
BENCHMARK(BM_GrepCountCommon)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);
BENCHMARK(BM_CountCommon)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);
BENCHMARK(BM_GrepCountCommonAnyCase)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);
BENCHMARK(BM_CountCommonAnyCase)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);
BENCHMARK(BM_CountExpression)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);
BENCHMARK(BM_ReplaceAll)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);
BENCHMARK(BM_ReplaceAllUndo)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);
BENCHMARK(BM_GoToLine)->Unit(benchmark::kMillisecond)->Iterations(10)->Repetitions(2);
BENCHMARK(BM_WindowExpression)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(3);
BENCHMARK(BM_WindowReplaceAll)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(3);
BENCHMARK(BM_WholeLineAtOnce)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);
BENCHMARK(BM_WindowSingleLine)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(3);
BENCHMARK(BM_WindowTypingAfterReplaceAll)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(3);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  // The find window's searches run as the program's jobs do.
  ostrel::JobService jobs(std::make_unique<ostrel::ThreadJobRunner>(),
                          [](const ostrel::ToolkitError&) {});
  ostrel::services().jobs = &jobs;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
