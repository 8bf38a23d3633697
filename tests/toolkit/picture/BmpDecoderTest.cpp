#include "toolkit/picture/BmpDecoder.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImageWriter>

#include "tests/toolkit/picture/PictureFixtures.h"
#include "toolkit/ToolkitError.h"
#include "toolkit/picture/DecodeFailure.h"

namespace ostrel {
namespace {

using test::BmpBuilder;
using Layout = BmpDecoder::Layout;

constexpr QRgb kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF, kBlack = 0xFF000000,
               kWhite = 0xFFFFFFFF;

QImage decode(const BmpBuilder& b, Layout layout = Layout::File) {
  return BmpDecoder::decode(b.build(), layout);
}

int failureNumber(const QByteArray& bytes, Layout layout = Layout::File) {
  try {
    BmpDecoder::decode(bytes, layout);
  } catch (const DecodeFailure& f) {
    EXPECT_FALSE(f.reason().isEmpty());
    return f.number();
  }
  return 0;
}

// Rows are stored bottom-up unless the height is negative; every row is
// padded to four bytes. Each case: a 2 x 2 bitmap whose top-left, top-right,
// bottom-left and bottom-right pixels are checked.
struct Uncompressed {
  const char* name;
  BmpBuilder bmp;
  QRgb topLeft, topRight, bottomLeft, bottomRight;
};

class UncompressedBitmaps : public ::testing::TestWithParam<Uncompressed> {};

TEST_P(UncompressedBitmaps, PixelsLandWhereTheyBelong) {
  const Uncompressed& c = GetParam();
  const QImage image = decode(c.bmp);
  ASSERT_EQ(image.size(), QSize(2, 2));
  EXPECT_EQ(image.pixel(0, 0), c.topLeft);
  EXPECT_EQ(image.pixel(1, 0), c.topRight);
  EXPECT_EQ(image.pixel(0, 1), c.bottomLeft);
  EXPECT_EQ(image.pixel(1, 1), c.bottomRight);
}

BmpBuilder make(quint16 bpp, QByteArray pixels, QList<QRgb> palette = {}, qint32 height = 2) {
  BmpBuilder b;
  b.bitsPerPixel = bpp;
  b.height = height;
  b.pixels = std::move(pixels);
  b.palette = std::move(palette);
  return b;
}

BmpBuilder withHeader(BmpBuilder b, quint32 headerSize, quint32 compression = 0,
                      QList<quint32> masks = {}) {
  b.headerSize = headerSize;
  b.compression = compression;
  b.masks = std::move(masks);
  return b;
}

INSTANTIATE_TEST_SUITE_P(
    Variants, UncompressedBitmaps,
    ::testing::Values(
        // bottom row first: (0,1)=1 (1,1)=0, then top row (0,0)=0 (1,0)=1
        Uncompressed{"OneBit", make(1, QByteArray("\x40\0\0\0\x80\0\0\0", 8), {kRed, kBlue}), kBlue,
                     kRed, kRed, kBlue},
        Uncompressed{
            "FourBitTopDown",
            make(4, QByteArray("\x01\0\0\0\x23\0\0\0", 8), {kRed, kGreen, kBlue, kWhite}, -2), kRed,
            kGreen, kBlue, kWhite},
        Uncompressed{"EightBitIndexBeyondPaletteIsBlack",
                     make(8, QByteArray("\x00\x01\0\0\x01\x07\0\0", 8), {kRed, kGreen}), kGreen,
                     kBlack, kRed, kGreen},
        Uncompressed{"TwentyFourBit",
                     make(24, QByteArray("\xFF\0\0\0\xFF\0\0\0\0\0\xFF\xFF\xFF\xFF\0\0", 16)), kRed,
                     kWhite, kBlue, kGreen},
        Uncompressed{"SixteenBitDefaultIs555",
                     make(16, QByteArray("\x00\x7C\xE0\x03\x1F\x00\xFF\x7F", 8)), kBlue, kWhite,
                     kRed, kGreen},
        Uncompressed{"SixteenBit565BitFields",
                     withHeader(make(16, QByteArray("\x00\xF8\xE0\x07\x1F\x00\xFF\xFF", 8)), 40, 3,
                                {0xF800, 0x07E0, 0x001F}),
                     kBlue, kWhite, kRed, kGreen},
        Uncompressed{"ThirtyTwoBitIgnoresJunkAlpha",
                     make(32, QByteArray("\0\0\xFF\x12\0\xFF\0\x34\xFF\0\0\0\xFF\xFF\xFF\x56", 16)),
                     kBlue, kWhite, kRed, kGreen},
        Uncompressed{"ThirtyTwoBitSwappedMasks",
                     withHeader(make(32, QByteArray("\xFF\0\0\0\0\xFF\0\0\0\0\xFF\0\0\0\0\0", 16)),
                                40, 3, {0x000000FF, 0x0000FF00, 0x00FF0000}),
                     kBlue, kBlack, kRed, kGreen}),
    [](const ::testing::TestParamInfo<Uncompressed>& info) { return info.param.name; });

TEST(BmpDecoder, AlphaBitFieldsKeepAlphaButAllZeroAlphaMeansOpaque) {
  BmpBuilder b =
      withHeader(make(32, QByteArray("\0\0\xFF\x80\0\0\xFF\x00\0\0\xFF\xFF\0\0\xFF\x40", 16)), 124,
                 3, {0xFF0000, 0xFF00, 0xFF, 0xFF000000});
  QImage image = decode(b);
  EXPECT_TRUE(image.hasAlphaChannel());
  EXPECT_EQ(qAlpha(image.pixel(0, 1)), 0x80);
  EXPECT_EQ(qAlpha(image.pixel(1, 1)), 0x00);
  EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0xFF);

  b.pixels = QByteArray("\0\0\xFF\0\0\0\xFF\0\0\0\xFF\0\0\0\xFF\0", 16);
  image = decode(b);
  EXPECT_EQ(image.pixel(1, 1), kRed);
}

TEST(BmpDecoder, Os2HeadersUseTheirOwnLayouts) {
  // Core header: 16-bit sizes and three-byte palette entries.
  BmpBuilder core = make(8, QByteArray("\x01\x00\0\0\x00\x01\0\0", 8), {kRed, kGreen});
  core.headerSize = 12;
  QImage image = decode(core);
  ASSERT_EQ(image.size(), QSize(2, 2));
  EXPECT_EQ(image.pixel(0, 0), kRed);
  EXPECT_EQ(image.pixel(0, 1), kGreen);

  // An OS/2 2.x header cut short after the bit count.
  BmpBuilder shortV2 = make(8, QByteArray("\x01\x00\0\0\x00\x01\0\0", 8), {kRed, kGreen});
  shortV2.headerSize = 16;
  image = decode(shortV2);
  EXPECT_EQ(image.pixel(1, 0), kGreen);
}

TEST(BmpDecoder, Rle8RunsAbsoluteRunsAndDeltas) {
  // Row 0 (bottom): run of 3 x index 1 then end of line; row 1: absolute
  // run (1, 0, 1) padded, then a delta that skips the rest and the bitmap.
  const QByteArray rle(
      "\x03\x01\x00\x00"
      "\x00\x03\x01\x00\x01\x00"
      "\x00\x02\x01\x01"
      "\x00\x01",
      16);
  BmpBuilder b = make(8, rle, {kRed, kGreen});
  b.width = 4;
  b.height = 3;
  b.compression = 1;
  const QImage image = decode(b);
  ASSERT_EQ(image.size(), QSize(4, 3));
  const int bottom = 2, middle = 1, top = 0;
  EXPECT_EQ(image.pixel(0, bottom), kGreen);
  EXPECT_EQ(image.pixel(2, bottom), kGreen);
  EXPECT_EQ(image.pixel(3, bottom), kBlack) << "past the run: never written";
  EXPECT_EQ(image.pixel(0, middle), kGreen);
  EXPECT_EQ(image.pixel(1, middle), kRed);
  EXPECT_EQ(image.pixel(2, middle), kGreen);
  EXPECT_EQ(image.pixel(3, top), kBlack) << "skipped by the delta";
}

TEST(BmpDecoder, Rle4OddAbsoluteRunIsPaddedAndRunsAlternate) {
  const QByteArray rle(
      "\x00\x03\x12\x30"  // absolute 1,2,3 (2 bytes, even: no pad)
      "\x00\x00"
      "\x03\x01"  // run 0,1,0
      "\x00\x01",
      10);
  BmpBuilder b = make(4, rle, {kRed, kGreen, kBlue, kWhite});
  b.width = 3;
  b.compression = 2;
  const QImage image = decode(b);
  EXPECT_EQ(image.pixel(0, 1), kGreen);
  EXPECT_EQ(image.pixel(1, 1), kBlue);
  EXPECT_EQ(image.pixel(2, 1), kWhite);
  EXPECT_EQ(image.pixel(0, 0), kRed);
  EXPECT_EQ(image.pixel(1, 0), kGreen);
  EXPECT_EQ(image.pixel(2, 0), kRed);
}

TEST(BmpDecoder, RleThatOverrunsTheBitmapIsClipped) {
  const QByteArray rle("\xFF\x01\x00\x02\xFF\xFF\xFF\x01\x00\x00\xFF\x01\x00\x00\xFF\x01", 16);
  BmpBuilder b = make(8, rle, {kRed, kGreen});
  b.compression = 1;
  const QImage image = decode(b);
  EXPECT_EQ(image.size(), QSize(2, 2));
}

TEST(BmpDecoder, TruncatedPixelDataShowsWhatIsThere) {
  // Only the bottom row and half of the top row are present.
  BmpBuilder b = make(24, QByteArray("\xFF\0\0\0\xFF\0\0\0\0\0\xFF", 11));
  const QImage image = decode(b);
  EXPECT_EQ(image.pixel(0, 1), kBlue);
  EXPECT_EQ(image.pixel(1, 1), kGreen);
  EXPECT_EQ(image.pixel(0, 0), kRed);
  EXPECT_EQ(image.pixel(1, 0), kBlack);
}

TEST(BmpDecoder, RefusesBrokenHeadersWithTheRightNumber) {
  BmpBuilder huge = make(24, QByteArray(16, '\0'));
  huge.width = 100000;
  huge.height = 100000;
  EXPECT_EQ(failureNumber(huge.build()), err::OutOfMemory);

  BmpBuilder bomb = make(8, QByteArray("\x00\x01", 2), {kRed});
  bomb.compression = 1;
  bomb.width = 16000;
  bomb.height = 16000;
  EXPECT_EQ(failureNumber(bomb.build()), err::InvalidPicture) << "1 GB from 2 bytes";

  BmpBuilder oddHeader = make(24, QByteArray(16, '\0'));
  oddHeader.headerSize = 66;
  EXPECT_EQ(failureNumber(oddHeader.build()), err::InvalidPicture);

  BmpBuilder badBpp = make(24, QByteArray(16, '\0'));
  badBpp.bitsPerPixel = 30000;
  EXPECT_EQ(failureNumber(badBpp.build()), err::InvalidPicture);

  BmpBuilder negativeWidth = make(24, QByteArray(16, '\0'));
  negativeWidth.width = -2;
  EXPECT_EQ(failureNumber(negativeWidth.build()), err::InvalidPicture);

  BmpBuilder rleAt24 = make(24, QByteArray(16, '\0'));
  rleAt24.compression = 1;
  EXPECT_EQ(failureNumber(rleAt24.build()), err::InvalidPicture);

  EXPECT_EQ(failureNumber(QByteArray("BM\0\0\0\0\0\0\0\0\x36\0\0\0\x28\0", 16)),
            err::InvalidPicture)
      << "header cut short";
}

TEST(BmpDecoder, PixelOffsetInsideTheHeaderFallsBackToAfterThePalette) {
  BmpBuilder b = make(8, QByteArray("\x01\x01\0\0\x01\x01\0\0", 8), {kRed, kGreen});
  b.bitsOffsetOverride = 2;
  EXPECT_EQ(decode(b).pixel(0, 0), kGreen);
}

TEST(BmpDecoder, HeaderlessDibStartsWithTheInfoHeader) {
  BmpBuilder b = make(24, QByteArray("\xFF\0\0\0\xFF\0\0\0\0\0\xFF\xFF\xFF\xFF\0\0", 16));
  b.fileHeader = false;
  const QImage image = decode(b, Layout::Headerless);
  EXPECT_EQ(image.pixel(0, 0), kRed);
  EXPECT_EQ(image.pixel(0, 1), kBlue);
}

TEST(BmpDecoder, SixtyFourBitIsLinearLightFixedPoint) {
  // B, G, R, A as 2.13 fixed point: 1.0 = 8192; 0.5 linear is sRGB 188.
  QByteArray px;
  for (quint16 v : {quint16(0), quint16(4096), quint16(8192), quint16(8192)}) {
    px.append(char(v & 0xFF)).append(char(v >> 8));
  }
  BmpBuilder b = make(64, px + px + px + px);
  const QImage image = decode(b);
  EXPECT_EQ(qRed(image.pixel(0, 0)), 255);
  EXPECT_NEAR(qGreen(image.pixel(0, 0)), 188, 1);
  EXPECT_EQ(qBlue(image.pixel(0, 0)), 0);
}

TEST(BmpDecoder, EmbeddedPngIsDecoded) {
  QImage inner(3, 2, QImage::Format_RGB32);
  inner.fill(kGreen);
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter(&buffer, "png").write(inner);
  BmpBuilder b = make(0, png);
  b.headerSize = 124;
  b.compression = 5;
  const QImage image = decode(b);
  EXPECT_EQ(image.size(), QSize(3, 2));
  EXPECT_EQ(image.pixel(2, 1), kGreen);
}

TEST(BmpDecoder, IconEntryUsesTheAndMaskForTransparency) {
  // 2 x 2 at 24 bits (stored height 4), mask bit set for the bottom-left pixel.
  BmpBuilder b = make(24, QByteArray(16, '\xFF') + QByteArray("\x80\0\0\0\x00\0\0\0", 8));
  b.fileHeader = false;
  b.height = 4;
  const QImage image = decode(b, Layout::IconEntry);
  ASSERT_EQ(image.size(), QSize(2, 2));
  EXPECT_EQ(qAlpha(image.pixel(0, 1)), 0);
  EXPECT_EQ(image.pixel(1, 1), kWhite);
  EXPECT_EQ(image.pixel(0, 0), kWhite);
}

}  // namespace
}  // namespace ostrel
