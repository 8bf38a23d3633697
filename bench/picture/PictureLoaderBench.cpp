// Preview-size and natural-size loads of a 24-megapixel JPEG through
// PictureLoader, each beside a bare libjpeg-turbo decode of the same file
// (read from disk, header, decompress into a buffer) at the same scale; and
// a 12-megapixel GIF beside Qt's own GIF reader.
//
// Run: picture_bench --benchmark_repetitions=7 --benchmark_report_aggregates_only=true

#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>
#include <vector>

#include "bench/support/PeakMemory.h"
#include "toolkit/picture/BmpDecoder.h"
#include "toolkit/picture/PictureLoader.h"

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;
// The main window's preview box: 2055 x 1695 twips at 15 twips a pixel.
const QSize kPreview(137, 113);

// A photo-like picture: smooth gradients plus sensor-like noise, so the
// entropy coder has real work (a flat picture would flatter every decoder).
std::vector<unsigned char> makePixels() {
  std::vector<unsigned char> rgb(size_t(kWidth) * kHeight * 3);
  quint32 seed = 12345;
  for (int y = 0; y < kHeight; ++y) {
    unsigned char* row = rgb.data() + size_t(y) * kWidth * 3;
    for (int x = 0; x < kWidth; ++x) {
      seed = seed * 1664525u + 1013904223u;
      const int noise = int(seed >> 27) - 16;
      row[3 * x] = static_cast<unsigned char>(qBound(0, x * 255 / kWidth + noise, 255));
      row[3 * x + 1] = static_cast<unsigned char>(qBound(0, y * 255 / kHeight + noise, 255));
      row[3 * x + 2] = static_cast<unsigned char>(qBound(0, ((x + y) / 16 % 256) + noise, 255));
    }
  }
  return rgb;
}

class Fixture {
 public:
  static Fixture& get() {
    static Fixture fixture;
    return fixture;
  }
  const QString& fileName() const { return fileName_; }

 private:
  Fixture() {
    const std::vector<unsigned char> rgb = makePixels();
    tjhandle tj = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    tjCompress2(tj, rgb.data(), kWidth, 0, kHeight, TJPF_RGB, &jpeg, &size, TJSAMP_420, 90, 0);
    fileName_ = dir_.filePath("photo-24mp.jpg");
    QFile f(fileName_);
    if (f.open(QIODevice::WriteOnly)) f.write(reinterpret_cast<const char*>(jpeg), qint64(size));
    tjFree(jpeg);
    tjDestroy(tj);
    std::fprintf(stderr, "generated %s: %dx%d, %lu bytes\n", qPrintable(fileName_), kWidth, kHeight,
                 size);
  }
  QTemporaryDir dir_;
  QString fileName_;
};

// What a program would do with libjpeg-turbo alone.
void bareDecode(const QString& fileName, int num, int denom) {
  QFile f(fileName);
  f.open(QIODevice::ReadOnly);
  const QByteArray bytes = f.readAll();
  tjhandle tj = tjInitDecompress();
  int w = 0, h = 0, sub = 0, cs = 0;
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.constData());
  tjDecompressHeader3(tj, data, static_cast<unsigned long>(bytes.size()), &w, &h, &sub, &cs);
  const tjscalingfactor factor{num, denom};
  const int sw = TJSCALED(w, factor), sh = TJSCALED(h, factor);
  // Uninitialised, as a decoder's output buffer would be.
  std::unique_ptr<unsigned char[]> out(new unsigned char[size_t(sw) * sh * 4]);
  tjDecompress2(tj, data, static_cast<unsigned long>(bytes.size()), out.get(), sw, sw * 4, sh,
                TJPF_BGRX, 0);
  tjDestroy(tj);
  benchmark::DoNotOptimize(out.get());
}

void BM_LoaderPreview(benchmark::State& state) {
  const QString name = Fixture::get().fileName();
  for (auto _ : state) {
    const ostrel::Picture p = ostrel::PictureLoader::loadForPreview(name, kPreview);
    benchmark::DoNotOptimize(p.image().constBits());
  }
}

void BM_BareTurboEighth(benchmark::State& state) {
  const QString name = Fixture::get().fileName();
  for (auto _ : state) bareDecode(name, 1, 8);
}

void BM_LoaderNatural(benchmark::State& state) {
  const QString name = Fixture::get().fileName();
  for (auto _ : state) {
    const ostrel::Picture p = ostrel::PictureLoader::load(name);
    benchmark::DoNotOptimize(p.image().constBits());
  }
}

void BM_BareTurboFull(benchmark::State& state) {
  const QString name = Fixture::get().fileName();
  for (auto _ : state) bareDecode(name, 1, 1);
}

// The photo as a 4000 x 3000 GIF, made by ImageMagick; empty without it.
const QString& gifFile() {
  static const QString name = [] {
    QString gif = Fixture::get().fileName();
    gif.replace(QStringLiteral(".jpg"), QStringLiteral(".gif"));
    const int status = QProcess::execute(
        QStringLiteral("convert"),
        {Fixture::get().fileName(), QStringLiteral("-resize"), QStringLiteral("4000x3000!"), gif});
    return status == 0 ? gif : QString();
  }();
  return name;
}

void BM_LoaderGif(benchmark::State& state) {
  if (gifFile().isEmpty()) state.SkipWithError("ImageMagick's convert is not installed");
  for (auto _ : state) {
    const ostrel::Picture p = ostrel::PictureLoader::load(gifFile());
    benchmark::DoNotOptimize(p.image().constBits());
  }
}

void BM_QtGifReader(benchmark::State& state) {
  if (gifFile().isEmpty()) state.SkipWithError("ImageMagick's convert is not installed");
  QImageReader::setAllocationLimit(1024);
  for (auto _ : state) {
    QFile file(gifFile());
    file.open(QIODevice::ReadOnly);
    QByteArray bytes = file.readAll();
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "gif");
    benchmark::DoNotOptimize(reader.read().constBits());
  }
}

// A 16384 x 16384 8-bit RLE bitmap of four colour bands, about 2 MB.
QString hugeRleFile() {
  static QTemporaryDir dir;
  static const QString name = [] {
    const int side = 16384;
    QByteArray rows;
    for (int y = 0; y < side; ++y) {
      for (int left = side; left > 0; left -= 255) {
        rows.append(char(std::min(left, 255)));
        rows.append(char(y * 4 / side));
      }
      rows.append("\0\0", 2);
    }
    rows.append("\0\1", 2);
    QByteArray file("BM");
    auto put32 = [&file](quint32 v) { file.append(reinterpret_cast<const char*>(&v), 4); };
    auto put16 = [&file](quint16 v) { file.append(reinterpret_cast<const char*>(&v), 2); };
    const quint32 offset = 14 + 40 + 16;
    put32(offset + quint32(rows.size()));
    put32(0);
    put32(offset);
    for (quint32 v : {40u, quint32(side), quint32(side)}) put32(v);
    put16(1);
    put16(8);
    for (quint32 v : {1u, quint32(rows.size()), 2835u, 2835u, 4u, 0u}) put32(v);
    for (quint32 c : {0xFF0000u, 0x00FF00u, 0x0000FFu, 0xFFFFFFu}) put32(c);
    file.append(rows);
    QString path = dir.filePath(QStringLiteral("huge-rle.bmp"));
    QFile f(path);
    if (f.open(QIODevice::WriteOnly)) f.write(file);
    return path;
  }();
  return name;
}

// Peak memory above the resident set before the step, in MiB.
template <typename Step>
void measurePeak(benchmark::State& state, Step step) {
  double peak = 0;
  for (auto _ : state) {
    state.PauseTiming();
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly)) clear.write("5");
    clear.close();
    const long before = ostrel::bench::PeakMemory::statusKilobytes("VmRSS");
    state.ResumeTiming();
    step();
    state.PauseTiming();
    peak = std::max(peak, (ostrel::bench::PeakMemory::statusKilobytes("VmHWM") - before) / 1024.0);
    state.ResumeTiming();
  }
  state.counters["peak_MiB"] = peak;
}

// The preview of the huge bitmap: averaged row by row into a small picture.
void BM_LoaderPreviewHugeRle(benchmark::State& state) {
  const QString name = hugeRleFile();
  measurePeak(state, [&] {
    benchmark::DoNotOptimize(ostrel::PictureLoader::loadForPreview(name, kPreview));
  });
}

// The same bitmap decoded whole, as every preview was before.
void BM_WholeDecodeHugeRle(benchmark::State& state) {
  QFile f(hugeRleFile());
  f.open(QIODevice::ReadOnly);
  const QByteArray bytes = f.readAll();
  measurePeak(state, [&] {
    benchmark::DoNotOptimize(ostrel::BmpDecoder::decode(bytes, ostrel::BmpDecoder::Layout::File));
  });
}

BENCHMARK(BM_LoaderPreviewHugeRle)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WholeDecodeHugeRle)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoaderPreview)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BareTurboEighth)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoaderNatural)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BareTurboFull)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoaderGif)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_QtGifReader)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
