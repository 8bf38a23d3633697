// Loading (record checks) and painting (playback) of a generated EMF with
// 30,000 drawing records — lines, filled shapes and text — at the preview
// box's size and at natural size, and of a WMF with the same content; and
// of a corpus EMF whose drawing is EMF+ records with their GDI stand-ins
// (OSTREL_CORPUS names the corpus when it is not beside the sources).
//
// Run: metafile_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "toolkit/metafile/MetafileReader.h"

namespace {

const QSize kPreview(137, 113);  // the main window's preview box, in pixels
constexpr int kShapes = 10000;

void put16(QByteArray& out, uint16_t v) {
  out.append(char(v & 0xFF));
  out.append(char(v >> 8));
}
void put32(QByteArray& out, uint32_t v) {
  put16(out, uint16_t(v));
  put16(out, uint16_t(v >> 16));
}

void emfRecord(QByteArray& out, uint32_t type, std::initializer_list<uint32_t> params) {
  put32(out, type);
  put32(out, uint32_t(8 + 4 * params.size()));
  for (uint32_t v : params) put32(out, v);
}

// 800 x 600 pixels at 96 dpi; each step draws a polyline, a rectangle and a word.
QByteArray makeEmf() {
  QByteArray body;
  emfRecord(body, 39, {1, 0, 0x3366CC, 0});  // brush
  emfRecord(body, 37, {1});
  QByteArray font;
  put32(font, 82);
  put32(font, 104);
  put32(font, 2);
  put32(font, uint32_t(-14));
  font += QByteArray(24, '\0');
  for (QChar c : QStringLiteral("Arial")) put16(font, c.unicode());
  font.resize(104, '\0');
  body += font;
  emfRecord(body, 37, {2});
  emfRecord(body, 18, {1});
  for (int i = 0; i < kShapes; ++i) {
    const uint32_t x = uint32_t(i * 37 % 760), y = uint32_t(i * 53 % 560);
    emfRecord(body, 4, {0, 0, 0, 0, 3, x, y, x + 30, y + 10, x + 5, y + 35});
    emfRecord(body, 43, {x, y, x + 20, y + 15});
    QByteArray text;
    put32(text, 84);
    put32(text, 84);
    for (uint32_t v : {0u, 0u, 0u, 0u, 1u, 0u, 0u, x, y + 20, 4u, 60u, 0x100u, 0u}) put32(text, v);
    for (QChar c : QStringLiteral("Ostr")) put16(text, c.unicode());
    text += QByteArray(84 - text.size(), '\0');
    body += text;
  }
  emfRecord(body, 14, {0, 16, 20});
  QByteArray header;
  for (uint32_t v : {1u,
                     88u,
                     0u,
                     0u,
                     799u,
                     599u,
                     0u,
                     0u,
                     21166u,
                     15875u,
                     0x464D4520u,
                     0x10000u,
                     uint32_t(88 + body.size()),
                     uint32_t(4 + 3 * kShapes + 5),
                     16u,
                     0u,
                     0u,
                     0u,
                     960u,
                     960u,
                     254u,
                     254u})
    put32(header, v);
  return header + body;
}

void wmfRecord(QByteArray& out, uint16_t function, std::initializer_list<int> params) {
  put32(out, uint32_t(3 + params.size()));
  put16(out, function);
  for (int v : params) put16(out, uint16_t(v));
}

QByteArray makeWmf() {
  QByteArray body;
  wmfRecord(body, 0x02FC, {0, 0x66CC, 0x33, 0});
  wmfRecord(body, 0x012D, {0});
  for (int i = 0; i < kShapes; ++i) {
    const int x = i * 37 % 760, y = i * 53 % 560;
    wmfRecord(body, 0x0325, {3, x, y, x + 30, y + 10, x + 5, y + 35});
    wmfRecord(body, 0x041B, {y + 15, x + 20, y, x});
  }
  wmfRecord(body, 0, {});
  QByteArray out;
  put32(out, 0x9AC6CDD7);
  for (int v : {0, 0, 0, 800, 600, 96, 0, 0, 0}) put16(out, uint16_t(v));
  for (int v : {1, 9, 0x300}) put16(out, uint16_t(v));
  put32(out, uint32_t(9 + body.size() / 2));
  put16(out, 2);
  put32(out, 10);
  put16(out, 0);
  return out + body;
}

// A chart as an office program writes it: 700 EMF+ records (transforms,
// paths, fills, clips) and the GDI records standing in for them.
const QByteArray& plusEmf() {
  static const QByteArray data = [] {
    const QByteArray dir = qgetenv("OSTREL_CORPUS");
    QFile file((dir.isEmpty() ? QStringLiteral(OSTREL_CORPUS_DIR) : QString::fromLocal8Bit(dir)) +
               QStringLiteral("/emf/libemf2svg/emf-ea/EA-test-file-102.emf"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }();
  return data;
}

const QByteArray& emf() {
  static const QByteArray data = makeEmf();
  return data;
}
const QByteArray& wmf() {
  static const QByteArray data = makeWmf();
  return data;
}

void load(benchmark::State& state, const QByteArray& data) {
  for (auto _ : state)
    benchmark::DoNotOptimize(ostrel::readMetafile(data, QStringLiteral("bench")));
}

void paint(benchmark::State& state, const QByteArray& data, QSize size) {
  const auto drawing = ostrel::readMetafile(data, QStringLiteral("bench"));
  if (size.isEmpty()) size = drawing->naturalSize().toSize();
  QImage image(size, QImage::Format_RGB32);
  for (auto _ : state) {
    image.fill(Qt::white);
    QPainter painter(&image);
    drawing->paint(painter, QRectF(QPointF(0, 0), QSizeF(size)));
  }
}

void BM_EmfLoad(benchmark::State& s) {
  load(s, emf());
}
void BM_EmfPaintPreview(benchmark::State& s) {
  paint(s, emf(), kPreview);
}
void BM_EmfPaintNatural(benchmark::State& s) {
  paint(s, emf(), {});
}
void BM_EmfPlusPaintPreview(benchmark::State& s) {
  if (plusEmf().isEmpty()) return s.SkipWithError("corpus file missing");
  paint(s, plusEmf(), kPreview);
}
void BM_EmfPlusPaintNatural(benchmark::State& s) {
  if (plusEmf().isEmpty()) return s.SkipWithError("corpus file missing");
  paint(s, plusEmf(), {});
}
void BM_WmfLoad(benchmark::State& s) {
  load(s, wmf());
}
void BM_WmfPaintPreview(benchmark::State& s) {
  paint(s, wmf(), kPreview);
}
void BM_WmfPaintNatural(benchmark::State& s) {
  paint(s, wmf(), {});
}

BENCHMARK(BM_EmfLoad)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EmfPaintPreview)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EmfPaintNatural)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EmfPlusPaintPreview)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EmfPlusPaintNatural)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WmfLoad)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WmfPaintPreview)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WmfPaintNatural)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
