#include "toolkit/metafile/DibDecoder.h"

#include <gtest/gtest.h>

#include <QBuffer>

#include "tests/toolkit/metafile/MetafileBuilder.h"
#include "toolkit/picture/BmpDecoder.h"
#include "toolkit/picture/DecodeFailure.h"

namespace ostrel::test {
namespace {

using B = MetafileBuilder;

QByteArray header(int w, int h, int bits, uint32_t compression = 0, uint32_t used = 0) {
  QByteArray out = B::words32({40, uint32_t(w), uint32_t(h)});
  B::put16(out, 1);
  B::put16(out, uint16_t(bits));
  out += B::words32({compression, 0, 0, 0, used, 0});
  return out;
}

QImage decode(const QByteArray& dib, DibAlpha alpha = DibAlpha::Ignore) {
  return DibDecoder::decodePacked(dib.constData(), uint32_t(dib.size()), false, {}, alpha);
}

TEST(DibDecoder, OneBitUsesTheColourTableBottomUp) {
  QByteArray dib = header(2, 2, 1) + B::words32({0x000000FF, 0x0000FF00});  // red, green (BGRA)
  dib += B::words32({0x80, 0x40});  // bottom row: 1 0 ; top row: 0 1
  const QImage img = decode(dib);
  ASSERT_EQ(img.size(), QSize(2, 2));
  EXPECT_EQ(img.pixel(0, 1), qRgb(0, 255, 0));
  EXPECT_EQ(img.pixel(1, 1), qRgb(0, 0, 255));
  EXPECT_EQ(img.pixel(0, 0), qRgb(0, 0, 255));
  EXPECT_EQ(img.pixel(1, 0), qRgb(0, 255, 0));
}

TEST(DibDecoder, TopDownAndPaletteIndexes) {
  QByteArray dib = header(1, -2, 8, 0, 2) + B::words16({1, 0});  // DIB_PAL_COLORS indexes
  dib += B::words32({0, 1});
  const QImage img = DibDecoder::decodePacked(dib.constData(), uint32_t(dib.size()), true,
                                              {qRgb(1, 2, 3), qRgb(9, 8, 7)}, DibAlpha::Ignore);
  ASSERT_EQ(img.size(), QSize(1, 2));
  EXPECT_EQ(img.pixel(0, 0), qRgb(9, 8, 7));
  EXPECT_EQ(img.pixel(0, 1), qRgb(1, 2, 3));
}

TEST(DibDecoder, SixteenBitDefaultsToFiveFiveFive) {
  EXPECT_EQ(decode(header(1, 1, 16) + B::words32({0x7C00})).pixel(0, 0), qRgb(255, 0, 0));
}

TEST(DibDecoder, Rle8Expands) {
  QByteArray dib = header(4, 1, 8, 1, 2) + B::words32({0x00FF0000, 0x000000FF});
  dib += QByteArray::fromHex("030101000001");  // 3 x index 1, 1 x index 0, end
  const QImage img = decode(dib);
  ASSERT_EQ(img.width(), 4);
  EXPECT_EQ(img.pixel(2, 0), qRgb(0, 0, 255));
  EXPECT_EQ(img.pixel(3, 0), qRgb(255, 0, 0));
}

struct BadDib {
  const char* name;
  QByteArray data;
};

TEST(DibDecoder, BadHeadersGiveNoImage) {
  const BadDib cases[] = {
      {"empty", QByteArray()},
      {"short header", header(4, 4, 24).left(20)},
      {"huge", header(100000, 100000, 24)},
      {"zero width", header(0, 4, 24)},
      {"odd depth", header(4, 4, 7)},
      {"unknown header size", B::words32({77, 4, 4, 0x180001})},
  };
  for (const auto& c : cases) {
    const QImage img = decode(c.data);
    EXPECT_TRUE(img.isNull()) << c.name;
  }
}

TEST(DibDecoder, ShortPixelDataLeavesRowsWhite) {
  QByteArray dib = header(1, 2, 24) + QByteArray::fromHex("0000ff00");  // only the bottom row
  const QImage img = decode(dib);
  ASSERT_EQ(img.size(), QSize(1, 2));
  EXPECT_EQ(img.pixel(0, 1), qRgb(255, 0, 0));
  EXPECT_EQ(img.pixel(0, 0), qRgb(255, 255, 255));
}

TEST(DibDecoder, LimitsAreThoseOfBitmapFiles) {
  // Wider than the metafile decoder's old 32768-pixel side, within a file's.
  QByteArray wide = header(40000, 1, 24) + QByteArray(120000, '\x7f');
  const QImage img = decode(wide);
  EXPECT_EQ(img.size(), QSize(40000, 1));
  // 32 megapixels from a few bytes of RLE: a bomb for files and records alike.
  QByteArray bomb = header(8192, 4096, 8, 1, 1) + B::words32({0, 0x01000000});
  EXPECT_TRUE(decode(bomb).isNull());
  EXPECT_THROW(BmpDecoder::decode(bomb, BmpDecoder::Layout::Headerless), DecodeFailure);
}

TEST(DibDecoder, AlphaOnlyWhereTheRecordAsksForIt) {
  // One 32-bit pixel, half-transparent premultiplied red.
  const QByteArray dib = header(1, 1, 32) + B::words32({0x80800000});
  const QImage kept = decode(dib, DibAlpha::Keep);
  ASSERT_EQ(kept.format(), QImage::Format_ARGB32_Premultiplied);
  // Stored as the record holds it: premultiplied.
  EXPECT_EQ(reinterpret_cast<const QRgb*>(kept.constScanLine(0))[0], qRgba(128, 0, 0, 128));
  const QImage ignored = decode(dib);
  EXPECT_EQ(ignored.pixel(0, 0), qRgb(128, 0, 0));
}

TEST(DibDecoder, Bitmap16RowsRunTopDown) {
  // Three pixels wide, two rows of two bytes: 1 0 1 over 0 1 0.
  const QByteArray header = B::words16({0, 3, 2, 2, 0x0101});
  const QByteArray bits = QByteArray::fromHex("a0004000");
  const QImage img = DibDecoder::decodeBitmap16(header, bits);
  ASSERT_EQ(img.size(), QSize(3, 2));
  EXPECT_EQ(img.pixel(0, 0), qRgb(255, 255, 255));
  EXPECT_EQ(img.pixel(1, 0), qRgb(0, 0, 0));
  EXPECT_EQ(img.pixel(1, 1), qRgb(255, 255, 255));
  EXPECT_TRUE(DibDecoder::decodeBitmap16(header.left(9), bits).isNull());
}

TEST(DibDecoder, EmbeddedPngIsDecodedFromItsData) {
  QImage picture(2, 1, QImage::Format_RGB32);
  picture.fill(qRgb(0, 0, 255));
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  picture.save(&buffer, "PNG");
  const QByteArray dib = header(2, 1, 0, 5) + png;  // BI_PNG
  const QImage img = decode(dib);
  ASSERT_EQ(img.size(), QSize(2, 1));
  EXPECT_EQ(img.pixel(1, 0), qRgb(0, 0, 255));
}

}  // namespace
}  // namespace ostrel::test
