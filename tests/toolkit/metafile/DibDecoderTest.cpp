#include "toolkit/metafile/DibDecoder.h"

#include <gtest/gtest.h>

#include "tests/toolkit/metafile/MetafileBuilder.h"

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

TEST(DibDecoder, OneBitUsesTheColourTableBottomUp) {
  QByteArray dib = header(2, 2, 1) + B::words32({0x000000FF, 0x0000FF00});  // red, green (BGRA)
  dib += B::words32({0x80, 0x40});  // bottom row: 1 0 ; top row: 0 1
  const QImage img =
      DibDecoder::decodePacked(dib.constData(), uint32_t(dib.size()), false, {}, DibAlpha::Ignore);
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
  QByteArray dib = header(1, 1, 16) + B::words32({0x7C00});
  const QImage img =
      DibDecoder::decodePacked(dib.constData(), uint32_t(dib.size()), false, {}, DibAlpha::Ignore);
  EXPECT_EQ(img.pixel(0, 0), qRgb(255, 0, 0));
}

TEST(DibDecoder, Rle8Expands) {
  QByteArray dib = header(4, 1, 8, 1, 2) + B::words32({0x00FF0000, 0x000000FF});
  dib += QByteArray::fromHex(
      "0301"
      "0100"
      "0001");  // 3 x index 1, 1 x index 0, end
  const QImage img =
      DibDecoder::decodePacked(dib.constData(), uint32_t(dib.size()), false, {}, DibAlpha::Ignore);
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
    const QImage img = DibDecoder::decodePacked(c.data.constData(), uint32_t(c.data.size()), false,
                                                {}, DibAlpha::Ignore);
    EXPECT_TRUE(img.isNull()) << c.name;
  }
}

TEST(DibDecoder, ShortPixelDataLeavesRowsWhite) {
  QByteArray dib = header(1, 2, 24) + QByteArray::fromHex("0000ff00");  // only the bottom row
  const QImage img =
      DibDecoder::decodePacked(dib.constData(), uint32_t(dib.size()), false, {}, DibAlpha::Ignore);
  ASSERT_EQ(img.size(), QSize(1, 2));
  EXPECT_EQ(img.pixel(0, 1), qRgb(255, 0, 0));
  EXPECT_EQ(img.pixel(0, 0), qRgb(255, 255, 255));
}

}  // namespace
}  // namespace ostrel::test
