#include "toolkit/picture/IconDecoder.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImageWriter>

#include "tests/toolkit/picture/PictureFixtures.h"
#include "toolkit/ToolkitError.h"
#include "toolkit/picture/DecodeFailure.h"

namespace ostrel {
namespace {

// A square bitmap icon entry of one colour, at 8 or 32 bits per pixel.
QByteArray dibEntry(int side, int bpp, QRgb colour) {
  test::BmpBuilder b{
      .width = side, .height = side * 2, .bitsPerPixel = quint16(bpp), .fileHeader = false};
  const int stride = ((side * bpp + 31) / 32) * 4;
  if (bpp == 8) {
    b.palette = {colour};
    b.pixels = QByteArray(stride * side, '\0');
  } else {
    QByteArray px;
    for (int i = 0; i < side * side; ++i) {
      px.append(char(qBlue(colour))).append(char(qGreen(colour))).append(char(qRed(colour)));
      px.append(char(qAlpha(colour)));
    }
    b.pixels = px;
  }
  b.pixels += QByteArray(((side + 31) / 32) * 4 * side, '\0');  // AND mask: all shown
  return b.build();
}

QByteArray pngEntry(int side, QRgb colour) {
  QImage image(side, side, QImage::Format_ARGB32);
  image.fill(colour);
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter(&buffer, "png").write(image);
  return png;
}

// An ICO (type 1) or CUR (type 2) file holding the entries in order.
QByteArray iconFile(const QList<QByteArray>& entries, quint16 type = 1,
                    bool understateSizes = false) {
  QByteArray dir("\0\0", 2);
  dir.append(char(type)).append('\0').append(char(entries.size())).append('\0');
  QByteArray body;
  int offset = 6 + 16 * int(entries.size());
  for (const QByteArray& e : entries) {
    QByteArray entry(16, '\0');
    const quint32 size = understateSizes ? 8 : quint32(e.size());
    for (int i = 0; i < 4; ++i) {
      entry[8 + i] = char((size >> (8 * i)) & 0xFF);
      entry[12 + i] = char((offset >> (8 * i)) & 0xFF);
    }
    dir += entry;
    body += e;
    offset += int(e.size());
  }
  return dir + body;
}

TEST(IconDecoder, PicksTheLargestThenTheDeepestEntry) {
  const QImage image =
      IconDecoder::decode(iconFile({dibEntry(16, 32, 0xFFFF0000), dibEntry(32, 8, 0xFF00FF00),
                                    dibEntry(32, 32, 0xFF0000FF), dibEntry(24, 32, 0xFFFFFFFF)}));
  EXPECT_EQ(image.size(), QSize(32, 32));
  EXPECT_EQ(image.pixel(5, 5), 0xFF0000FFu);
}

TEST(IconDecoder, PngEntriesCursorsUnderstatedSizesAndAlpha) {
  QImage image =
      IconDecoder::decode(iconFile({dibEntry(16, 32, 0xFFFF0000), pngEntry(48, 0x8000FF00)}));
  EXPECT_EQ(image.size(), QSize(48, 48));
  EXPECT_EQ(qAlpha(image.pixel(1, 1)), 0x80);

  image = IconDecoder::decode(iconFile({dibEntry(8, 8, 0xFF123456)}, 2, true));
  EXPECT_EQ(image.size(), QSize(8, 8));
  EXPECT_EQ(image.pixel(0, 7), 0xFF123456u);
  // A 32-bit bitmap entry keeps its own alpha.
  image = IconDecoder::decode(iconFile({dibEntry(4, 32, 0x40FF0000)}));
  EXPECT_EQ(qAlpha(image.pixel(2, 2)), 0x40);
}

TEST(IconDecoder, BrokenEntryGivesWayToTheNextBest) {
  QByteArray broken = dibEntry(64, 32, 0xFFFF0000);
  broken[14] = '\x1E';  // 30 bits per pixel: unreadable, yet listed first
  broken[15] = '\0';
  const QImage image = IconDecoder::decode(iconFile({broken, dibEntry(16, 8, 0xFF00FF00)}));
  EXPECT_EQ(image.size(), QSize(16, 16));

  try {
    IconDecoder::decode(QByteArray("\0\0\1\0\1\0", 6));
    FAIL() << "an icon without entries decoded";
  } catch (const DecodeFailure& f) {
    EXPECT_EQ(f.number(), err::InvalidPicture);
  }
}

// An icon whose directory lists one damaged image many times: a 39 KB file
// naming a cut-short 3000 x 3000 PNG a hundred times held the loader for
// 15 s, each listing decoded and refused anew. Found writing the ICO fuzz
// target.
TEST(IconDecoder, ImageListedManyTimesIsTriedOnce) {
  const QByteArray damaged = pngEntry(64, 0xFF00FF00).left(60);
  const QByteArray good = dibEntry(16, 8, 0xFF0000FF);
  QByteArray file = iconFile({damaged, good});
  const qsizetype damagedAt = 6 + 2 * 16;
  // Make it 200 listings: the first entry's 16 bytes again and again, the
  // image offsets moved past the longer directory.
  const QByteArray listing = file.mid(6, 16);
  QByteArray dir("\0\0\1\0", 4);
  const int count = 200;
  dir.append(char(count & 0xFF)).append(char(count >> 8));
  const qsizetype shift = (count - 2) * 16;
  auto listed = [&](QByteArray entry, qsizetype at) {
    const quint32 offset = quint32(at + shift);
    for (int i = 0; i < 4; ++i) entry[12 + i] = char((offset >> (8 * i)) & 0xFF);
    return entry;
  };
  for (int i = 0; i < count - 1; ++i) dir += listed(listing, damagedAt);
  dir += listed(file.mid(6 + 16, 16), damagedAt + damaged.size());
  file = dir + file.mid(damagedAt);

  const std::vector<qsizetype> tried = IconDecoder::candidates(file);
  ASSERT_EQ(tried.size(), 2U);
  EXPECT_EQ(tried[0], damagedAt + shift);  // the larger, tried first
  const QImage image = IconDecoder::decode(file);
  EXPECT_EQ(image.size(), QSize(16, 16));
}

// A PNG entry whose header claims 2^32 - 1 pixels a side: the entry's area
// overflowed while the entries were ranked (UBSan). Found by fuzz_ico.
TEST(IconDecoder, PngEntryWithImpossibleSidesIsPassedOver) {
  QByteArray huge = pngEntry(4, 0xFFFF0000);
  huge.replace(16, 8, QByteArray(8, '\xFF'));
  const QImage image = IconDecoder::decode(iconFile({huge, dibEntry(16, 8, 0xFF00FF00)}));
  EXPECT_EQ(image.size(), QSize(16, 16));
  EXPECT_EQ(IconDecoder::candidates(iconFile({huge, dibEntry(8, 8, 0xFF00FF00)})).size(), 1U);
}

}  // namespace
}  // namespace ostrel
