// Sniffing, load-time errors and hostile input.
#include "toolkit/metafile/MetafileReader.h"

#include <gtest/gtest.h>
#include <uemf.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>

#include "tests/toolkit/metafile/MetafileBuilder.h"
#include "toolkit/ToolkitError.h"
#include "toolkit/metafile/MetafileDrawing.h"

namespace ostrel::test {
namespace {

using B = MetafileBuilder;

QByteArray simpleEmf() {
  EmfBuilder b;
  b.add(U_EMR_RECTANGLE, {10, 10, 50, 50});
  return b.finish();
}

QByteArray simpleWmf(bool placeable) {
  WmfBuilder b(placeable);
  b.add(0x041B, {50, 50, 10, 10});
  return b.finish();
}

// Every way of failing gives the picture error, naming the file.
void expectRejected(const QByteArray& data, const char* why) {
  const QString name = QStringLiteral("/tmp/some dir/bad.emf");
  EXPECT_TRUE(refusalOf(data, name).contains(QDir::toNativeSeparators(name))) << why;
}

// The bytes with the 32-bit words at the offset replaced.
QByteArray patched(QByteArray data, int at, std::initializer_list<uint32_t> words) {
  return data.replace(at, int(words.size() * 4), B::words32(words));
}

TEST(MetafileReader, RejectsBrokenFiles) {
  const QByteArray emf = simpleEmf(), wmf = simpleWmf(true);
  expectRejected(QByteArray(), "empty");
  expectRejected(QByteArray(300, 'x'), "not a metafile");
  expectRejected(emf.left(60), "EMF header cut short");
  expectRejected(emf.left(emf.size() - 30), "EMF cut inside a record");
  expectRejected(wmf.left(wmf.size() - 7), "WMF cut inside a record");
  // The first record after the header.
  expectRejected(patched(emf, 92, {0}), "zero-size EMF record");
  expectRejected(patched(wmf, 22 + 18, {0}), "zero-size WMF record");
  expectRejected(patched(emf, 92, {0x7FFFFFF0}), "record past the end");
  expectRejected(patched(emf, 8, {10, 10, 0, 0, 10, 10, 0, 0}), "no size");
}

TEST(MetafileReader, EmfHeaderPlacesThePictureAndAGiantFrameIsCapped) {
  const auto drawing = readMetafile(patched(simpleEmf(), 24, {0, 0, 0x7FFFFFF0, 0x3FFFFFF0}),
                                    QStringLiteral("giant.emf"));
  EXPECT_LE(drawing->naturalSize().width(), 16384);
  EXPECT_LE(drawing->naturalSize().height(), 16384);
  EXPECT_GT(drawing->naturalSize().height(), 100);
  QImage img(64, 64, QImage::Format_RGB32);
  QPainter painter(&img);
  drawing->paint(painter, QRectF(0, 0, 64, 64));
  // The header's frame (hundredths of a millimetre) and reference device
  // (pixels over millimetres) place the device's pixels in the picture.
  // 100 x 100 pixels at 96 dpi; device pixels at..at + 49 red.
  const auto square = [](uint32_t at) {
    EmfBuilder b;
    b.add(U_EMR_CREATEBRUSHINDIRECT, {1, 0, 0xFF, 0}).add(U_EMR_SELECTOBJECT, {1});
    b.add(U_EMR_SELECTOBJECT, {U_NULL_PEN}).add(U_EMR_RECTANGLE, {at, at, at + 51, at + 51});
    return b.finish();
  };
  const QByteArray quarter = square(0);
  const struct {
    const char* name;
    QByteArray data;
    std::vector<Probe> probes;
  } cases[] = {
      // clang-format off
      {"as written", quarter, {{25, 49, kRedPx}, {25, 51, kWhitePx}}},
      {"twice the device resolution", patched(quarter, 72, {1920, 1920}), {{12, 24, kRedPx}, {25, 26, kWhitePx}}},
      {"no device size: 96 dpi", patched(quarter, 72, {0, 0, 0, 0}), {{25, 49, kRedPx}, {25, 51, kWhitePx}}},
      {"the frame starts 1000 pixels in", patched(square(1000), 24, {26458, 26458, 29103, 29103}),
       {{3, 49, kRedPx}, {53, 25, kWhitePx}, {25, 51, kWhitePx}}},
      {"no frame: the bounds", patched(quarter, 24, {0, 0, 0, 0}), {{25, 49, kRedPx}, {25, 51, kWhitePx}}},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(expectPixels(c.data, c.probes).size(), QSize(100, 100));
  }
}

// Records that once cost unbounded memory or time: deep SaveDC with stray
// restores, a million tiny records, counts inside records that claim a
// billion points or polygons. The rectangle after them still draws, quickly.
TEST(MetafileReader, HostileRecordsStayBoundedAndWhatFollowsDraws) {
  EmfBuilder deep, many, counts;
  for (int i = 0; i < 20000; ++i) deep.add(U_EMR_SAVEDC, QByteArray());
  for (int i = 0; i < 100; ++i) deep.add(U_EMR_RESTOREDC, {uint32_t(-300)});
  for (int i = 0; i < 1000000; ++i) many.add(U_EMR_SETBKMODE, {1});
  counts.add(U_EMR_POLYLINE, {0, 0, 10, 10, 0x40000000, 1, 1});
  counts.add(U_EMR_POLYPOLYGON, {0, 0, 10, 10, 0x10000000, 3, 3, 1, 1});
  counts.add(U_EMR_STRETCHDIBITS,
             {0, 0,          0,  0,  0,  0,      0,      0,          2, 2, 80, 40, 120, 16,
              0, 0x00CC0020, 10, 10, 40, 0x7FFF, 0x7FFF, 0x00180001, 0, 0, 0,  0,  0,   0});
  for (EmfBuilder* b : {&deep, &many, &counts}) {
    b->add(U_EMR_RECTANGLE, {10, 10, 50, 50});
    QElapsedTimer timer;
    timer.start();
    const QImage img = B::render(b->finish());
    EXPECT_LT(timer.elapsed(), 3000);
    EXPECT_EQ(qGray(img.pixel(10, 30)), 0);
  }
}

// Loads and paints the file, or refuses it, within two seconds.
void expectLoadsOrFailsQuickly(const QString& path) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
  QElapsedTimer timer;
  timer.start();
  try {
    const auto drawing = readMetafile(file.readAll(), path);
    QImage img(48, 40, QImage::Format_RGB32);
    QPainter painter(&img);
    drawing->paint(painter, QRectF(2, 3, 43, 31));
  } catch (const ToolkitError&) {
  }
  EXPECT_LT(timer.elapsed(), 2000) << path.toStdString();
}

// Inputs the fuzzers found, kept so they stay fixed: a clip path with
// coordinates near the 32-bit limits (turning it into a region once took
// minutes and gigabytes), and text under a transform so extreme that Qt's
// glyph cache crashed.
TEST(MetafileReader, FuzzFindingsLoadAndPaintQuickly) {
  for (const char* name : {"clip_path_near_limits", "text_under_extreme_transform"})
    expectLoadsOrFailsQuickly(
        QStringLiteral(OSTREL_SOURCE_DIR "/tests/toolkit/metafile/data/fuzz_") +
        QLatin1String(name) + QStringLiteral(".emf"));
}

}  // namespace
}  // namespace ostrel::test
