// Down held over 30 JPEGs of 6000 x 4000 in the main window's file list, one
// key every 100 ms, with a thread spinning beside the program as other work
// on the machine would. Reports the longest gap between two events the
// interface thread handled while the keys came (`max_gap_ms`) and the time
// from the last key to the preview showing the file it selected
// (`settle_ms`). The arg chooses the loader: 0 decodes on its worker
// threads, 1 decodes on the interface thread, as every preview once did.
//
// Run: QT_QPA_PLATFORM=offscreen browse_bench --benchmark_repetitions=3

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <thread>

#include "app/QtServices.h"
#include "main_window/Ostrel_View.h"
#include "toolkit/Services.h"
#include "toolkit/forms/FormSet.h"
#include "toolkit/jobs/JobRunner.h"
#include "toolkit/jobs/JobService.h"
#include "toolkit/picture/PictureLoader.h"

namespace ostrel {
namespace {

constexpr int kFiles = 30;

// Runs jobs on the calling thread, at once: the synchronous path.
class InlineRunner : public JobRunner {
 public:
  void launch(std::shared_ptr<JobTask> task) override {
    task->run();
    task->deliver();
  }
};

const QTemporaryDir& folder() {
  static QTemporaryDir dir;
  static const bool made = [] {
    QImage image(6000, 4000, QImage::Format_RGB32);
    for (int i = 0; i < kFiles; ++i) {
      quint32 seed = 777u + quint32(i);
      for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
          seed = seed * 1664525u + 1013904223u;
          row[x] = qRgb((x + i * 40) % 256, y % 256, int(seed >> 24));
        }
      }
      image.save(dir.filePath(QStringLiteral("photo-%1.jpg").arg(i, 2, 10, QLatin1Char('0'))),
                 "JPG", 85);
    }
    return true;
  }();
  Q_UNUSED(made);
  return dir;
}

void BM_HoldDown(benchmark::State& state) {
  const QString dir = folder().path();
  JobService onThisThread(std::make_unique<InlineRunner>(), [](const ToolkitError&) {});
  PictureLoader synchronous(onThisThread);
  PictureLoader* threaded = services().pictures;
  if (state.range(0) == 1) services().pictures = &synchronous;
  std::atomic<bool> spinning{true};
  std::thread busy([&] {
    volatile quint64 n = 0;
    while (spinning.load(std::memory_order_relaxed)) n = n + 1;
  });
  double maxGap = 0;
  double settle = 0;
  for (auto _ : state) {
    Ostrel_View& main = form<Ostrel_View>();
    main.Show();
    main.Dir1->setPath(dir);
    main.File1->clickName(QStringLiteral("photo-00.jpg"));
    main.File1->setFocus();
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    double gap = 0;
    // A tick every few milliseconds: the gaps between them are how long the
    // interface thread was held.
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
      const qint64 now = clock.elapsed();
      gap = std::max(gap, double(now - last));
      last = now;
    });
    ticker.start(2);
    for (int i = 1; i < kFiles; ++i) {
      QTest::keyClick(main.File1, Qt::Key_Down);
      QTest::qWait(100);
    }
    // The last file's preview is told by its red, 40 steps from each other's.
    const int wantedRed = ((kFiles - 1) * 40) % 256;
    auto shown = [&] {
      const QImage& image = main.Image1->picture().image();
      return !image.isNull() && std::abs(image.pixelColor(0, 0).red() - wantedRed) < 16;
    };
    QElapsedTimer released;
    released.start();
    while (!shown() && released.elapsed() < 10000) {
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    settle = std::max(settle, double(released.elapsed()));
    maxGap = std::max(maxGap, gap);
    ticker.stop();
    FormSet::instance().reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  spinning = false;
  busy.join();
  services().pictures = threaded;
  state.counters["max_gap_ms"] = maxGap;
  state.counters["settle_ms"] = settle;
}
BENCHMARK(BM_HoldDown)->Arg(0)->Arg(1)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

}  // namespace
}  // namespace ostrel

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  ostrel::QtServices services;
  services.install();
  ostrel::services().process = nullptr;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  ostrel::FormSet::instance().reset();
  return 0;
}
