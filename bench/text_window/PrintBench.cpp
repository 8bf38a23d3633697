// Printing a large text file into a PDF, as the text window does: the print
// job on its worker thread beside the way it used to be printed in the same
// run, a copy of the whole text painted on the interface thread. Reports the
// time to the first page done, the whole print, the longest the interface
// thread was held meanwhile (held_ms, from a 5 ms timer), the peak memory
// above what the open file took (over_open_MiB), and the pages. A third
// benchmark cancels the job after two seconds and measures until its worker
// has gone (the strip hides at once), and BM_IdleHeld the same timer with
// nothing to do, the machine's own floor. OSTREL_BENCH_MB sets the file's
// size (default 100).
#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTimer>
#include <optional>

#include "bench/support/PeakMemory.h"
#include "toolkit/Services.h"
#include "toolkit/files/TextCodec.h"
#include "toolkit/files/TextFileReader.h"
#include "toolkit/jobs/JobService.h"
#include "toolkit/jobs/ThreadJobRunner.h"
#include "toolkit/printing/Printer.h"
#include "toolkit/printing/QtPrinterService.h"
#include "toolkit/printing/TextPrintLayout.h"
#include "toolkit/text/TextDocument.h"

namespace {

using ostrel::bench::PeakMemory;

QTemporaryDir& folder() {
  static QTemporaryDir dir;
  return dir;
}

QString textFile() {
  QString name = folder().filePath(QStringLiteral("text.txt"));
  if (QFile::exists(name)) return name;
  bool ok = false;
  const int mb = qEnvironmentVariableIntValue("OSTREL_BENCH_MB", &ok);
  const qint64 size = qint64(ok && mb > 0 ? mb : 100) * 1024 * 1024;
  QByteArray bytes;
  bytes.reserve(size + 128);
  for (int n = 0; bytes.size() < size; ++n) {
    bytes +=
        "Line " + QByteArray::number(n) + " of the sample text, with some words to lay out\r\n";
  }
  QFile f(name);
  if (f.open(QIODevice::WriteOnly)) f.write(bytes);
  return name;
}

std::unique_ptr<ostrel::TextDocument> openDocument() {
  const QString name = textFile();
  QByteArray bytes = ostrel::TextFileReader::readAll(name);
  const ostrel::TextCodec codec = ostrel::TextCodec::detectFile(bytes, name);
  return ostrel::TextDocument::fromBytes(std::move(bytes), codec);
}

QString pdfName() {
  return folder().filePath(QStringLiteral("out.pdf"));
}

// The printer and job services the program installs, printing to a PDF file.
struct PrintServices {
  PrintServices() {
    printer.setup().setOutputFormat(QPrinter::PdfFormat);
    printer.setup().setOutputFileName(pdfName());
    printer.setup().setPageLayout(
        QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
    ostrel::Services set = ostrel::services();
    set.printer = &printer;
    set.jobs = &jobs;
    ostrel::installServices(set);
  }
  ostrel::QtPrinterService printer;
  ostrel::JobService jobs{std::make_unique<ostrel::ThreadJobRunner>(),
                          [](const ostrel::ToolkitError&) {}};
};

// The longest gap between the ticks of a 5 ms timer: how long the
// interface thread was held.
class HeldTimer {
 public:
  HeldTimer() {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      longest_ = qMax(longest_, since_.restart());
      if (onTick) onTick();
    });
    since_.start();
    timer_.start();
  }
  qint64 longest() const { return longest_; }
  std::function<void()> onTick;

 private:
  QTimer timer_;
  QElapsedTimer since_;
  qint64 longest_ = 0;
};

double mib(qint64 kilobytes) {
  return static_cast<double>(kilobytes) / 1024;
}

void BM_PrintJob(benchmark::State& state) {
  PrintServices services;
  auto document = openDocument();
  double firstPage = 0, held = 0, over = 0;
  for (auto _ : state) {
    PeakMemory::reset();
    const qint64 open = PeakMemory::statusKilobytes("VmRSS");
    QObject context;
    QEventLoop loop;
    QElapsedTimer clock;
    clock.start();
    ostrel::printer().Print(document->snapshot());
    const ostrel::JobHandle job = ostrel::printer().EndDoc(
        &context, [&loop](const ostrel::JobOutcome<QString>&) { loop.quit(); });
    HeldTimer timer;
    std::optional<qint64> first;
    timer.onTick = [&] {
      if (!first && job.done() > 0) first = clock.elapsed();
    };
    loop.exec();
    firstPage = static_cast<double>(first.value_or(clock.elapsed()));
    held = static_cast<double>(timer.longest());
    over = mib(PeakMemory::statusKilobytes("VmHWM") - open);
  }
  state.counters["first_page_ms"] = firstPage;
  state.counters["held_ms"] = held;
  state.counters["over_open_MiB"] = over;
}

// As it used to be: the whole text copied out of the document, and again
// into the printer's document, then painted on the interface thread.
void BM_PrintWholeCopyOnInterfaceThread(benchmark::State& state) {
  auto document = openDocument();
  double over = 0, pages = 0;
  for (auto _ : state) {
    PeakMemory::reset();
    const qint64 open = PeakMemory::statusKilobytes("VmRSS");
    const QString text = document->toString();
    QString copy = text;
    copy += QLatin1Char('\n');  // the printer's own copy, as Print() made it
    ostrel::PrintDocument printed;
    printed.add(copy);
    QPdfWriter writer(pdfName());
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
    writer.setResolution(1200);
    QPainter painter(&writer);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(10);
    pages = ostrel::TextPrintLayout(font).paint(painter, writer, printed);
    painter.end();
    over = mib(PeakMemory::statusKilobytes("VmHWM") - open);
  }
  state.counters["over_open_MiB"] = over;
  state.counters["pages"] = pages;
}

// The same timer with nothing running for ten seconds: how long this
// machine keeps a ready thread waiting anyway, the floor under held_ms.
void BM_IdleHeld(benchmark::State& state) {
  double held = 0;
  for (auto _ : state) {
    HeldTimer timer;
    QEventLoop loop;
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    held = static_cast<double>(timer.longest());
  }
  state.counters["held_ms"] = held;
}

// Cancel two seconds in: how long until the worker has stopped.
void BM_PrintCancel(benchmark::State& state) {
  PrintServices services;
  auto document = openDocument();
  for (auto _ : state) {
    state.PauseTiming();
    QObject context;
    ostrel::printer().Print(document->snapshot());
    const ostrel::JobHandle job =
        ostrel::printer().EndDoc(&context, [](const ostrel::JobOutcome<QString>&) {});
    QEventLoop loop;
    QTimer::singleShot(2000, &loop, &QEventLoop::quit);
    loop.exec();
    state.ResumeTiming();
    job.cancel();
    // The worker's last page, then its file removed; looked at every 5 ms.
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&loop] {
      if (ostrel::ThreadJobRunner::threadsRunning() == 0) loop.quit();
    });
    look.start(5);
    loop.exec();
  }
  state.counters["pdf_left"] = QFile::exists(pdfName()) ? 1 : 0;
}

BENCHMARK(BM_PrintJob)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(2)->UseRealTime();
BENCHMARK(BM_PrintWholeCopyOnInterfaceThread)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(2);
BENCHMARK(BM_IdleHeld)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_PrintCancel)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace
