#include "toolkit/metafile/DibDecoder.h"

#include <gtest/gtest.h>

#include "tests/toolkit/metafile/MetafileBuilder.h"
#include "toolkit/picture/BmpDecoder.h"
#include "toolkit/picture/DecodeFailure.h"

namespace ostrel::test {
namespace {

using B = MetafileBuilder;

QByteArray header(int w, int h, int bits, uint32_t compression = 0, uint32_t used = 0) {
  return B::words32(
      {40, uint32_t(w), uint32_t(h), 1 | uint32_t(bits) << 16, compression, 0, 0, 0, used, 0});
}

QImage decode(const QByteArray& dib, DibAlpha alpha = DibAlpha::Ignore) {
  return DibDecoder::decodePacked(dib.constData(), uint32_t(dib.size()), false, {}, alpha);
}

// What a packed DIB adds to the bitmap decoder's layouts (whose own test
// reads every depth and compression): palette indexes, white for missing
// rows, a file's size limits and refusals; an empty size: no image.
TEST(DibDecoder, PackedBitmapsDecodeOrGiveNoImage) {
  struct Probe {
    int x, y;
    QRgb want;
  };
  const QRgb red = qRgb(255, 0, 0);
  // clang-format off
  const struct {
    const char* name;
    QByteArray dib;
    QSize size;
    std::vector<Probe> probes;
    std::vector<QRgb> palette = {};  // given: DIB_PAL_COLORS
  } cases[] = {
      {"top down, palette indexes", header(1, -2, 8, 0, 2) + B::words16({1, 0}) + B::words32({0, 1}),
       {1, 2}, {{0, 0, qRgb(9, 8, 7)}, {0, 1, qRgb(1, 2, 3)}}, {qRgb(1, 2, 3), qRgb(9, 8, 7)}},
      {"short pixel data leaves rows white", header(1, 2, 24) + QByteArray::fromHex("0000ff00"),
       {1, 2}, {{0, 1, red}, {0, 0, qRgb(255, 255, 255)}}},
      // Wider than the metafile decoder's old 32768-pixel side, within a file's.
      {"a bitmap file's limits", header(40000, 1, 24) + QByteArray(120000, '\x7f'), {40000, 1}, {}},
      {"empty", QByteArray(), {}, {}},
      {"huge", header(100000, 100000, 24), {}, {}},
      {"unknown header size", B::words32({77, 4, 4, 0x180001}), {}, {}},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const QImage img = DibDecoder::decodePacked(c.dib.constData(), uint32_t(c.dib.size()),
                                                !c.palette.empty(), c.palette, DibAlpha::Ignore);
    EXPECT_EQ(img.isNull(), c.size.isEmpty());
    if (!c.size.isEmpty()) {
      ASSERT_EQ(img.size(), c.size);
    }
    for (const Probe& p : c.probes) EXPECT_EQ(img.pixel(p.x, p.y), p.want) << p.x << "," << p.y;
  }
  // 32 megapixels from a few bytes of RLE: a bomb for files and records alike.
  const QByteArray bomb = header(8192, 4096, 8, 1, 1) + B::words32({0, 0x01000000});
  EXPECT_TRUE(decode(bomb).isNull());
  EXPECT_THROW(BmpDecoder::decode(bomb, BmpDecoder::Layout::Headerless), DecodeFailure);
}

TEST(DibDecoder, AlphaOnlyWhereAskedAndBitmap16RowsRunTopDown) {
  // One 32-bit pixel, half-transparent red whose colour exceeds its alpha.
  const QByteArray dib = header(1, 1, 32) + B::words32({0x80FF0000});
  const QImage kept = decode(dib, DibAlpha::Keep);
  ASSERT_EQ(kept.format(), QImage::Format_ARGB32_Premultiplied);
  // Premultiplied, as the record holds it, the colour kept within the alpha.
  EXPECT_EQ(reinterpret_cast<const QRgb*>(kept.constScanLine(0))[0], qRgba(128, 0, 0, 128));
  const QImage ignored = decode(dib);
  EXPECT_EQ(ignored.pixel(0, 0), qRgb(255, 0, 0));
  // Three pixels wide, two rows of two bytes: 1 0 1 over 0 1 0.
  const QByteArray header = B::words16({0, 3, 2, 2, 0x0101});
  const QByteArray bits = QByteArray::fromHex("a0004000");
  const QImage img = DibDecoder::decodeBitmap16(header, bits);
  ASSERT_EQ(img.size(), QSize(3, 2));
  EXPECT_EQ(img.pixel(0, 0), qRgb(255, 255, 255));
  EXPECT_EQ(img.pixel(1, 0), qRgb(0, 0, 0));
  EXPECT_EQ(img.pixel(1, 1), qRgb(255, 255, 255));
  EXPECT_TRUE(DibDecoder::decodeBitmap16(header.left(9), bits).isNull());
  // Four bytes a pixel, blue, green, red and one unused: blue then red.
  const QImage deep = DibDecoder::decodeBitmap16(B::words16({0, 2, 1, 8, 0x2001}),
                                                 QByteArray::fromHex("ff0000000000ff00"));
  ASSERT_EQ(deep.size(), QSize(2, 1));
  EXPECT_EQ(deep.pixel(0, 0), qRgb(0, 0, 255));
  EXPECT_EQ(deep.pixel(1, 0), qRgb(255, 0, 0));
}

}  // namespace
}  // namespace ostrel::test
