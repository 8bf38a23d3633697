// The picture viewer on a 48-megapixel JPEG: the decode alone, one djpeg
// process decoding the same file in full, the whole open (a click on the
// preview, the decode on the loader's worker) up to the first paint of the
// window and up to the whole picture in it, the same through the viewer's own load step only
// (decoded on the interface thread), and one step of a thumb drag with its repaint.
//
// Run: QT_QPA_PLATFORM=offscreen picture_viewer_bench --benchmark_repetitions=5
// The open reports peak_MB: how far the resident set rose above where it
// stood before the click (the kernel's high-water mark, reset per run).

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>

#include "app/QtServices.h"
#include "bench/support/PeakMemory.h"
#include "main_window/Ostrel_View.h"
#include "picture_viewer/Form1.h"
#include "toolkit/Services.h"
#include "toolkit/forms/FormSet.h"
#include "toolkit/picture/PictureLoader.h"

namespace ostrel {
namespace {

constexpr int kWidth = 8000;
constexpr int kHeight = 6000;

class Fixture {
 public:
  static Fixture& get() {
    static Fixture fixture;
    return fixture;
  }
  QString dir() const { return dir_.path(); }
  QString fileName() const { return dir_.filePath(QStringLiteral("photo-48mp.jpg")); }

 private:
  Fixture() {
    // Gradients and noise, so the decoder has real entropy to work through.
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    quint32 seed = 12345;
    for (int y = 0; y < kHeight; ++y) {
      auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
      for (int x = 0; x < kWidth; ++x) {
        seed = seed * 1664525u + 1013904223u;
        const int noise = int(seed >> 27) - 16;
        row[x] = qRgb(qBound(0, x * 255 / kWidth + noise, 255),
                      qBound(0, y * 255 / kHeight + noise, 255),
                      qBound(0, ((x + y) / 16 % 256) + noise, 255));
      }
    }
    image.save(fileName(), "JPG", 90);
  }
  QTemporaryDir dir_;
};

void resetPeak() {
  QFile f(QStringLiteral("/proc/self/clear_refs"));
  if (f.open(QIODevice::WriteOnly)) f.write("5");
}

void selectPhoto() {
  Ostrel_View& main = form<Ostrel_View>();
  if (main.Label1->Caption() == QStringLiteral("photo-48mp.jpg")) return;
  main.Dir1->setPath(Fixture::get().dir());
  main.File1->clickName(QStringLiteral("photo-48mp.jpg"));
  // The preview arrives from the loader's worker.
  while (main.Image1->picture().naturalSize() != QSize(kWidth, kHeight)) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
}

// Counts the paints the picture control receives, so a run shows it drew.
class PaintCounter : public QObject {
 public:
  int paints = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

void closeViewer() {
  Unload<Form1>();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void BM_DecodeOnly(benchmark::State& state) {
  const QString name = Fixture::get().fileName();
  for (auto _ : state) benchmark::DoNotOptimize(PictureLoader::load(name));
}
BENCHMARK(BM_DecodeOnly)->Unit(benchmark::kMillisecond);

// What the open is measured against: one full decode of the same file by
// libjpeg-turbo's own command-line decoder, process start included.
void BM_DjpegFull(benchmark::State& state) {
  const QString name = Fixture::get().fileName();
  for (auto _ : state) {
    QProcess djpeg;
    djpeg.start(QStringLiteral("djpeg"),
                {QStringLiteral("-outfile"), QStringLiteral("/dev/null"), name});
    if (!djpeg.waitForFinished(60000) || djpeg.exitCode() != 0) {
      state.SkipWithError("djpeg did not run (Debian: libjpeg-turbo-progs)");
      break;
    }
  }
}
BENCHMARK(BM_DjpegFull)->Unit(benchmark::kMillisecond)->UseRealTime();

// The viewer is drawn once it opens, with the rows of its first screen.
void waitForFirstPaint() {
  // The viewer opens when the worker's first screen (or whole decode)
  // arrives. Waiting for events, not polling: the worker needs the other core.
  while (!FormSet::instance().isLoaded<Form1>() || !form<Form1>().isVisible()) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  PaintCounter counter;
  form<Form1>().Image1->installEventFilter(&counter);
  form<Form1>().Image1->update();
  while (counter.paints == 0) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  form<Form1>().Image1->removeEventFilter(&counter);
}

// Then the rest of the picture arrives and replaces the one still filling.
void waitForWholePicture() {
  while (form<Form1>().Image1->picture().progress() != nullptr) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
}

enum class Until { FirstPaint, WholePicture };

void openViewer(benchmark::State& state, Until until) {
  selectPhoto();
  double peakMb = 0;
  for (auto _ : state) {
    state.PauseTiming();
    closeViewer();
    const long before = bench::PeakMemory::statusKilobytes("VmRSS");
    resetPeak();
    state.ResumeTiming();

    form<Ostrel_View>().Image1_Click();
    waitForFirstPaint();
    if (until == Until::WholePicture) waitForWholePicture();

    state.PauseTiming();
    if (until == Until::FirstPaint) waitForWholePicture();
    peakMb = qMax(peakMb, (bench::PeakMemory::statusKilobytes("VmHWM") - before) / 1024.0);
    state.ResumeTiming();
  }
  state.counters["peak_MB"] = peakMb;
  closeViewer();
}

void BM_OpenToFirstPaint(benchmark::State& state) {
  openViewer(state, Until::FirstPaint);
}
BENCHMARK(BM_OpenToFirstPaint)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same open until the whole picture has arrived in the viewer.
void BM_OpenToWholePicture(benchmark::State& state) {
  openViewer(state, Until::WholePicture);
}
BENCHMARK(BM_OpenToWholePicture)->Unit(benchmark::kMillisecond)->UseRealTime();

// The synchronous path: the viewer's load step decodes on the interface
// thread, then the window is shown and drawn.
void BM_LoadStepToFirstPaint(benchmark::State& state) {
  selectPhoto();
  double peakMb = 0;
  for (auto _ : state) {
    state.PauseTiming();
    closeViewer();
    const long before = bench::PeakMemory::statusKilobytes("VmRSS");
    resetPeak();
    state.ResumeTiming();

    Form1& viewer = form<Form1>();
    viewer.Show();
    PaintCounter counter;
    viewer.Image1->installEventFilter(&counter);
    while (counter.paints == 0) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);

    state.PauseTiming();
    peakMb = qMax(peakMb, (bench::PeakMemory::statusKilobytes("VmHWM") - before) / 1024.0);
    state.ResumeTiming();
  }
  state.counters["peak_MB"] = peakMb;
  closeViewer();
}
BENCHMARK(BM_LoadStepToFirstPaint)->Unit(benchmark::kMillisecond)->UseRealTime();

// One thumb step on a maximised-size window (1280 x 800) and its repaint.
void BM_ThumbDragStep(benchmark::State& state) {
  selectPhoto();
  form<Ostrel_View>().Image1_Click();
  while (!FormSet::instance().isLoaded<Form1>()) QCoreApplication::processEvents();
  Form1& viewer = form<Form1>();
  viewer.resize(1280, 800);
  QCoreApplication::processEvents();
  PaintCounter counter;
  viewer.Image1->installEventFilter(&counter);
  ScrollBar* bar = viewer.HScroll1;
  int value = -100;
  bar->setSliderDown(true);
  for (auto _ : state) {
    value = value == -100 ? -101 : -100;
    bar->setSliderPosition(-value);
    viewer.repaint();
  }
  bar->setSliderDown(false);
  state.counters["paints_per_step"] =
      static_cast<double>(counter.paints) / static_cast<double>(state.iterations());
  closeViewer();
}
BENCHMARK(BM_ThumbDragStep)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace ostrel

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  ostrel::QtServices services;
  services.install();
  ostrel::services().process = nullptr;  // a benchmark run must not end on an unload
  ostrel::Fixture::get();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  ostrel::FormSet::instance().reset();
  return 0;
}
