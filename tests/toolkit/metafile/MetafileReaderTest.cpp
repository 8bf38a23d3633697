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

TEST(MetafileReader, SniffsByContent) {
  EXPECT_EQ(sniffMetafile(simpleEmf()), MetafileKind::Emf);
  EXPECT_EQ(sniffMetafile(simpleWmf(true)), MetafileKind::PlaceableWmf);
  EXPECT_EQ(sniffMetafile(simpleWmf(false)), MetafileKind::Wmf);
  EXPECT_EQ(sniffMetafile(QByteArray()), MetafileKind::None);
  EXPECT_EQ(sniffMetafile(QByteArray("\x89PNG\r\n\x1a\n0000000000000000")), MetafileKind::None);
  EXPECT_EQ(sniffMetafile(QByteArray("\x01\x00\x09\x00", 4)), MetafileKind::None);
}

// Every way of failing gives the picture error, naming the file.
void expectRejected(const QByteArray& data, const char* why) {
  const QString name = QStringLiteral("/tmp/some dir/bad.emf");
  try {
    readMetafile(data, name);
    ADD_FAILURE() << why << ": loaded";
  } catch (const ToolkitError& e) {
    EXPECT_EQ(e.Number(), err::InvalidPicture) << why;
    EXPECT_TRUE(e.Description().contains(QDir::toNativeSeparators(name))) << why;
  }
}

TEST(MetafileReader, RejectsBrokenFiles) {
  const QByteArray emf = simpleEmf();
  const QByteArray wmf = simpleWmf(true);
  expectRejected(QByteArray(), "empty");
  expectRejected(QByteArray(300, 'x'), "not a metafile");
  expectRejected(emf.left(60), "EMF header cut short");
  expectRejected(emf.left(emf.size() - 30), "EMF cut inside a record");
  expectRejected(wmf.left(wmf.size() - 7), "WMF cut inside a record");

  QByteArray zero = emf;
  zero.replace(92, 4, B::words32({0}));  // first record after the header: size 0
  expectRejected(zero, "zero-size EMF record");
  QByteArray wmfZero = wmf;
  wmfZero.replace(22 + 18, 4, B::words32({0}));
  expectRejected(wmfZero, "zero-size WMF record");
  QByteArray huge = emf;
  huge.replace(92, 4, B::words32({0x7FFFFFF0}));
  expectRejected(huge, "record past the end");
  QByteArray noFrame = emf;
  noFrame.replace(8, 32, B::words32({10, 10, 0, 0, 10, 10, 0, 0}));
  expectRejected(noFrame, "no size");
}

TEST(MetafileReader, EmfPlusOnlyFilesSaySo) {
  EmfBuilder b;
  // EMF+ header record (type 0x4001) with the dual flag clear, in a comment.
  QByteArray plus = B::words32({28, 0x2B464D45});
  B::put16(plus, 0x4001);
  B::put16(plus, 0);
  plus += B::words32({28, 16, 0xDBC01002, 0, 96, 96});
  b.add(U_EMR_COMMENT, plus);
  try {
    readMetafile(b.finish(), QStringLiteral("plus.emf"));
    ADD_FAILURE() << "loaded";
  } catch (const ToolkitError& e) {
    EXPECT_TRUE(e.Description().contains(QStringLiteral("EMF+")));
  }
}

TEST(MetafileReader, GiantFrameIsCapped) {
  QByteArray emf = simpleEmf();
  emf.replace(24, 16, B::words32({0, 0, 0x7FFFFFF0, 0x3FFFFFF0}));
  const auto drawing = readMetafile(emf, QStringLiteral("giant.emf"));
  EXPECT_LE(drawing->naturalSize().width(), 16384);
  EXPECT_LE(drawing->naturalSize().height(), 16384);
  EXPECT_GT(drawing->naturalSize().height(), 100);
  QImage img(64, 64, QImage::Format_RGB32);
  QPainter painter(&img);
  drawing->paint(painter, QRectF(0, 0, 64, 64));
}

TEST(MetafileReader, DeepSaveDcAndStrayRestoresStayBounded) {
  EmfBuilder b;
  for (int i = 0; i < 20000; ++i) b.add(U_EMR_SAVEDC, QByteArray());
  for (int i = 0; i < 100; ++i) b.add(U_EMR_RESTOREDC, {uint32_t(-300)});
  b.add(U_EMR_RECTANGLE, {10, 10, 50, 50});
  const QImage img = B::render(b.finish());
  EXPECT_EQ(img.size(), QSize(100, 100));
}

TEST(MetafileReader, AMillionTinyRecordsLoadAndPaintQuickly) {
  EmfBuilder b;
  for (int i = 0; i < 1000000; ++i) b.add(U_EMR_SETBKMODE, {1});
  b.add(U_EMR_RECTANGLE, {10, 10, 50, 50});
  const QByteArray data = b.finish();
  QElapsedTimer timer;
  timer.start();
  const QImage img = B::render(data);
  EXPECT_LT(timer.elapsed(), 3000);
  EXPECT_EQ(qGray(img.pixel(10, 30)), 0);  // the rectangle after them still draws
}

TEST(MetafileReader, HugeCountsInsideRecordsAreRefused) {
  EmfBuilder b;
  b.add(U_EMR_POLYLINE, {0, 0, 10, 10, 0x40000000, 1, 1});           // claims a billion points
  b.add(U_EMR_POLYPOLYGON, {0, 0, 10, 10, 0x10000000, 3, 3, 1, 1});  // and polygons
  b.add(U_EMR_STRETCHDIBITS,
        {0, 0,          0,  0,  0,  0,      0,      0,          2, 2, 80, 40, 120, 16,
         0, 0x00CC0020, 10, 10, 40, 0x7FFF, 0x7FFF, 0x00180001, 0, 0, 0,  0,  0,   0});
  b.add(U_EMR_RECTANGLE, {10, 10, 50, 50});
  const QImage img = B::render(b.finish());
  EXPECT_EQ(qGray(img.pixel(10, 30)), 0);
}

// Inputs the fuzzers found, kept so they stay fixed.
TEST(MetafileReader, FuzzFindingsLoadAndPaintQuickly) {
  // A clip path with coordinates near the 32-bit limits: turning it into a
  // region once took minutes and gigabytes.
  const QByteArray clipPath = QByteArray::fromHex(
      "010000006c000000000000000000000095000000950000000000000000000000670f0000630f0000"
      "20454d4600000100400400002d0000000300000000000000000000000000000038070000bd030000"
      "e9010000fd000000000000000000000000000000f675070016dd0300210000000800000062000000"
      "0c0000000100000027000000180000000100000000000000b4ffff00000000004700000070000000"
      "00000000000000009500000095000000500000000100000020000000010000000300000030000000"
      "00000000000000009600000096000000320000000000000064000000320000000000000032000000"
      "9600000064000000320000006400000064000000960000003a0000000c0000000a00000021000000"
      "080000003b00000008000000130000000c00000001000000560000004c0000000000000000000000"
      "ffffffffffffffff0c00000032000000320032000000320000006400320064003200960064009600"
      "64006400960064009600320064003200640000003c00000008000000430000000c00000001000000"
      "130000000c0000000100000024000000240000000000803d00000000000000000000803d00000000"
      "00000000020000005f00000038000000020000003800000000000000380000000000000000220100"
      "5000000000000000ff000000000000000000000000000000250000000c0000000200000025000000"
      "0c00000005000080570000002400000000000000000000009500000095000000020000000000e001"
      "6009000a250000000c00000007000080250000000c00000000000080240000002400000000008041"
      "000000000000000000008041000000000000000002000000220000000c000000ffffffff28000000"
      "0c000000020000003a0000000c0000000a0000003a0000000c0000000a0000002100000008000000"
      "3b00000008000000130000000c00000001000000560000004c0000000000000000000000ffffffff"
      "ffffffff0c0000003200000032003200000032000000640032006400320096006400960064006400"
      "9600644d696e674c69343300640000003c00000008000000430000000c0000000100000013000000"
      "0c0000000100000024000000240000000000803d00000000000000000000803d0000000000000000"
      "020000005f0000003800000002000000380000000000000038000000000000000022010050000000"
      "00000000ff000000000000000000000000000000250000000c00000002000000250000000c000000"
      "050000805700000024000000050000000000000095000000950000000200000080024001e00b6009"
      "250000000c00000007000080250000000c0000000000008024000000240000000000804100000000"
      "0000000000626466000000000000000002000000220000000c000000ffffffff280000000c000000"
      "020000003a0000000c0000000a000000220000000c000000ffffffff0e0000001400000000000000"
      "1000000014000000");
  // Text under a transform so extreme that Qt's glyph cache crashed.
  const QByteArray hugeGlyphs = QByteArray::fromHex(
      "010000006c00000002000000030000006b0000002400000000000000000000008011000040050000"
      "20454d46000001006c0600001b000000040000000000000000000000000000008007000038040000"
      "560200014b010000000000000000000000000000f01f090080200500460000004001000034010000"
      "4744494301000080000300002ca20fc8000000001c0100000100090000038e00000004001c000000"
      "0000050000002e0119000000050000000b0200000000050000000c024005801108000000fa020000"
      "1800000000000002040000002d01000005000000090200000002050000001402000439001c000000"
      "fb0220fe0000000000009001010000000002001054696d6573204e657720526f6d616e0058b1f377"
      "61b1f3772040f577e007663f040000002d01010004000000f00102000c000000320a000000000200"
      "0020686900010001750a00011c000000fb0220fe0000000000009001010000cc0002001054696d65"
      "73204e657720526f6d616e0058b1f37761b1f3772040f577e007663f040000002d01020004000000"
      "f001010009000000320a000000000100000068885901030000000000110000000c00000008000000"
      "0900000010000000900000002b0000000900000010000000900000002b000000160000000c000000"
      "190000000a0000001000000000000000000000000900000010000000801100004005000026000000"
      "1c0000000100000000000000180000000000000000000002250000000c0000000100000018000000"
      "0c000000000000021b00000010000000390000000004000052000000700100000200000020feffff"
      "000000000000000000000000900100000100000000020010540069006d006500730020004e006500"
      "7700200052006f006d0061006e000000000000000000000000000000000000000000000000000000"
      "00000000000000000000000078e5b30500000000000000001f49bb73000000000000000000000000"
      "00000000783a01b3000000000100000000000000000000007000000000004f000104000000004f00"
      "00004f00a0e5b305e2ce04779ce5b3050000a4007000000000004f00a8194f0000e7b305b4ce0477"
      "b275a400477403775f694cc7a13721a40000b305c5f5c973a1370000d0e5b3056f39309600003000"
      "6f399600ffffffff482800006f399600a13721a414e6b305c5f5c973a1370000fce5b30539000000"
      "00000000787f3a05ffffffff4828000021a40100000de00028e6b30516a9bd7310000000a13721a4"
      "0a0000005ce6b30520a8bd73a137000040e6b3050a0000006476000800000000250000000c000000"
      "020000005400000060000000020000000b0000006100000024000000010000009324803f98d07e3f"
      "0000000000000000020000004c000000002000000000000000000000ffffffffffffffff50000000"
      "680069000001000000010000750a000000010000520000007001000003000000fe20ffff00000000"
      "000000000000000090010000010000cc00020010540069006d006500730020004e00650077002000"
      "52006f006d0061006e00000000000000000000000000000000000000000000000000000000000000"
      "0000000000009600a13721a414e6b305c5f5c973a1370000fce5b3053900000000000000787f3a05"
      "ffffffff4828000021a40100000de00028e6b30516a9bd7310000000a13721a40a00000018000000"
      "0000a4001000000040e6b3050a0000006476000800000000a8194f00d0074f001800000000000000"
      "c04eac0054003a05a13721a400004f0000004f0030003a05110000004c003a05530000006c094f00"
      "00000000c4014f002000000068094f002b20bb7320e6b3050c5c0377100000000000140000000000"
      "f8013a050000000018000000b04eac0030003a051100000000000000c04eac006400000004001100"
      "002000000000000042793a0502000000f8013a056476000800000000250000000c00000003000000"
      "280000000c00000002000000540000005400000060000000030000006b0000001300000001000000"
      "9324803f98d07e3f0000000000000000010000004c000000000000000000000000000000ffffffff"
      "ffffffff5000756e6945464533010000250000000c00000007000080250000000c00000000000080"
      "300000000c0000000f000080250000000c0000000d0000804b000000100000000000000005000000"
      "280000000c00000001000000280000000c000000030000000e000000140000000000000010000000"
      "14000000");
  for (const QByteArray& data : {clipPath, hugeGlyphs}) {
    QElapsedTimer timer;
    timer.start();
    try {
      const auto drawing = readMetafile(data, QStringLiteral("fuzz.emf"));
      QImage img(48, 40, QImage::Format_RGB32);
      QPainter painter(&img);
      drawing->paint(painter, QRectF(2, 3, 43, 31));
    } catch (const ToolkitError&) {
    }
    EXPECT_LT(timer.elapsed(), 2000);
  }
}

// The shared corpus, when present: nothing there may crash or take long.
TEST(MetafileReader, CorpusFilesLoadOrFailCleanly) {
  const QString root = qEnvironmentVariable("OSTREL_CORPUS");
  if (root.isEmpty() || !QDir(root).exists()) GTEST_SKIP() << "OSTREL_CORPUS not set";
  int seen = 0;
  for (const char* fmt : {"wmf", "emf"}) {
    QDir dir(root + '/' + fmt);
    const auto files = dir.entryInfoList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& sub : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
      QDir source(dir.filePath(sub));
      for (const QString& group : source.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (group.contains(QStringLiteral("ref"))) continue;
        QDir g(source.filePath(group));
        for (const QFileInfo& fi : g.entryInfoList(QDir::Files)) {
          QFile f(fi.filePath());
          if (!f.open(QIODevice::ReadOnly)) continue;
          QElapsedTimer timer;
          timer.start();
          try {
            const auto drawing = readMetafile(f.readAll(), fi.filePath());
            QImage img(96, 96, QImage::Format_RGB32);
            QPainter painter(&img);
            drawing->paint(painter, QRectF(0, 0, 96, 96));
          } catch (const ToolkitError&) {
          }
          EXPECT_LT(timer.elapsed(), 2000) << fi.filePath().toStdString();
          ++seen;
        }
      }
    }
    (void)files;
  }
  EXPECT_GT(seen, 100);
}

}  // namespace
}  // namespace ostrel::test
