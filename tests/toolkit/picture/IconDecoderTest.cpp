#include "toolkit/picture/IconDecoder.h"

#include <gtest/gtest.h>

#include <QtEndian>

#include "tests/toolkit/picture/PictureFixtures.h"
#include "toolkit/ToolkitError.h"
#include "toolkit/picture/DecodeFailure.h"

namespace ostrel {
namespace {

QByteArray le32(quint32 v) {
  v = qToLittleEndian(v);
  return QByteArray(reinterpret_cast<const char*>(&v), 4);
}

// A square bitmap icon entry of one colour, at 8 or 32 bits per pixel, its
// AND mask showing every pixel.
QByteArray dibEntry(int side, int bpp, QRgb colour) {
  const QByteArray pixels = bpp == 8 ? QByteArray(((side * 8 + 31) / 32) * 4 * side, '\0')
                                     : le32(colour).repeated(side * side);
  return test::BmpBuilder{.width = side,
                          .height = side * 2,
                          .bitsPerPixel = quint16(bpp),
                          .palette = bpp == 8 ? QList<QRgb>{colour} : QList<QRgb>{},
                          .pixels = pixels + QByteArray(((side + 31) / 32) * 4 * side, '\0'),
                          .fileHeader = false}
      .build();
}

QByteArray pngEntry(int side, QRgb colour) {
  QImage image(side, side, QImage::Format_ARGB32);
  image.fill(colour);
  return test::encode(image, "png");
}

// An ICO (type 1) or CUR (type 2) file holding the entries in order, the
// first listed firstListed times in the directory.
QByteArray iconFile(const QList<QByteArray>& entries, quint16 type = 1,
                    bool understateSizes = false, int firstListed = 1) {
  const int count = int(entries.size()) + firstListed - 1;
  QByteArray dir = QByteArray("\0\0", 2) + le32(type | (count << 16)), body;
  for (const QByteArray& e : entries) {
    const QByteArray listing = QByteArray(8, '\0') + le32(understateSizes ? 8 : quint32(e.size())) +
                               le32(quint32(6 + 16 * count + body.size()));
    dir += body.isEmpty() ? listing.repeated(firstListed) : listing;
    body += e;
  }
  return dir + body;
}

TEST(IconDecoder, PngEntriesCursorsUnderstatedSizesAlphaAndTheLargestThenDeepestEntry) {
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
  // The largest entry is picked, then the deepest.
  image =
      IconDecoder::decode(iconFile({dibEntry(16, 32, 0xFFFF0000), dibEntry(32, 8, 0xFF00FF00),
                                    dibEntry(32, 32, 0xFF0000FF), dibEntry(24, 32, 0xFFFFFFFF)}));
  EXPECT_EQ(image.size(), QSize(32, 32));
  EXPECT_EQ(image.pixel(5, 5), 0xFF0000FFu);
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

}  // namespace
}  // namespace ostrel
