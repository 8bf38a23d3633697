#include "toolkit/picture/JpegDecoder.h"

#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <QFile>
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "tests/toolkit/picture/PictureFixtures.h"
#include "toolkit/ToolkitError.h"
#include "toolkit/picture/DecodeFailure.h"
#include "toolkit/picture/ImageAllocator.h"
#include "toolkit/picture/JpegHeaderInfo.h"
#include "toolkit/picture/JpegRowReader.h"

namespace ostrel {
namespace {

using test::colourAt;

// The pixels compressed by libturbojpeg; empty when it fails.
QByteArray compress(const QByteArray& pixels, int width, int height, int format, int subsampling,
                    int flags, int quality) {
  tjhandle tj = tjInitCompress();
  unsigned char* out = nullptr;
  unsigned long size = 0;
  const int rc = tjCompress2(tj, reinterpret_cast<const unsigned char*>(pixels.constData()), width,
                             0, height, format, &out, &size, subsampling, quality, flags);
  QByteArray jpeg =
      rc == 0 ? QByteArray(reinterpret_cast<const char*>(out), qsizetype(size)) : QByteArray();
  tjFree(out);
  tjDestroy(tj);
  return jpeg;
}

// A noisy picture compressed by libturbojpeg with the given subsampling and
// flags (progressive or not).
QByteArray turboJpeg(int width, int height, int subsampling, int flags, int quality = 90) {
  QByteArray rgb(qsizetype(width) * height * 3, '\0');
  quint32 seed = 12345;
  for (qsizetype i = 0; i < rgb.size(); ++i) {
    seed = seed * 1664525u + 1013904223u;
    rgb[i] = char((i % 3 == 0) ? (seed >> 24) : ((i / 3) % width) & 0xFF);
  }
  return compress(rgb, width, height, TJPF_RGB, subsampling, flags, quality);
}

// Where the stored picture's top-left (red) quadrant and top-right (green)
// quadrant end up once each EXIF orientation is applied (quadrants: red
// top-left, green top-right, blue bottom-right, white bottom-left).
TEST(JpegDecoder, EachOrientationIsTurnedUprightNaturalSizeFollowsAndAdobeCmykIsReadInverted) {
  const QByteArray stored = test::makeJpeg(test::quadrants(64, 32));
  const struct {
    int orientation;
    const char *topLeft, *topRight;
  } cases[] = {{1, "red", "green"},  {2, "green", "red"}, {3, "blue", "white"},
               {4, "white", "blue"}, {5, "red", "white"}, {6, "white", "red"},
               {7, "blue", "green"}, {8, "green", "blue"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.orientation);
    const Picture picture = JpegDecoder::decode(
        test::withExifOrientation(stored, c.orientation, c.orientation % 2 == 0), QSize());
    const QImage image = picture.image();
    const QSize expected = c.orientation >= 5 ? QSize(32, 64) : QSize(64, 32);
    EXPECT_EQ(image.size(), expected);
    EXPECT_EQ(picture.naturalSize(), expected);
    EXPECT_EQ(colourAt(image, 2, 2), QString::fromLatin1(c.topLeft));
    EXPECT_EQ(colourAt(image, image.width() - 3, 2), QString::fromLatin1(c.topRight));
  }
  // Grayscale goes through the row decode's table; Adobe CMYK is stored
  // inverted: 255 - ink. Pure red is C=0 M=Y=255 K=0.
  const QByteArray cmyk = QByteArray::fromHex("ff0000ff").repeated(16 * 16);
  const QByteArray jpeg = compress(cmyk, 16, 16, TJPF_CMYK, TJSAMP_444, 0, 95);
  ASSERT_FALSE(jpeg.isEmpty());
  EXPECT_EQ(colourAt(JpegDecoder::decode(jpeg, QSize()).image(), 8, 8), QStringLiteral("red"));
}

TEST(JpegDecoder, PreviewDecodesAtTheSmallestScaleCoveringTheRequest) {
  const QByteArray jpeg = test::makeJpeg(test::quadrants(800, 600), 90);
  Picture p = JpegDecoder::decode(jpeg, QSize(100, 75));
  EXPECT_EQ(p.image().size(), QSize(100, 75));
  EXPECT_EQ(p.naturalSize(), QSize(800, 600));
  p = JpegDecoder::decode(jpeg, QSize(101, 75));
  EXPECT_EQ(p.image().size(), QSize(200, 150)) << "1/8 would be a pixel short";
  p = JpegDecoder::decode(jpeg, QSize(2000, 10));
  EXPECT_EQ(p.image().size(), QSize(800, 600)) << "never decoded larger than stored";

  // A turned photo: the preview size is upright, the decode is not.
  p = JpegDecoder::decode(test::withExifOrientation(jpeg, 6), QSize(75, 100));
  EXPECT_EQ(p.image().size(), QSize(75, 100));
  EXPECT_EQ(p.naturalSize(), QSize(600, 800));
}

// The row decode sets libjpeg up as one libturbojpeg call did: the same DCT,
// upsampling and scaling, so the same pixels, for every layout.
TEST(JpegDecoder, RowDecodeGivesTheSamePixelsAsOneLibturbojpegCall) {
  const struct {
    const char* name;
    int subsampling;
    int flags;
    QSize preview;  // empty: natural size
  } cases[] = {{"full 4:4:4", TJSAMP_444, 0, {}},
               {"half 4:2:2", TJSAMP_422, 0, {100, 70}},
               {"eighth 4:2:0", TJSAMP_420, 0, {25, 18}},
               {"progressive quarter", TJSAMP_420, TJFLAG_PROGRESSIVE, {50, 37}},
               {"gray half", TJSAMP_GRAY, 0, {100, 70}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const QByteArray jpeg = turboJpeg(203, 149, c.subsampling, c.flags);
    ASSERT_FALSE(jpeg.isEmpty());
    const QImage ours = JpegDecoder::decode(jpeg, c.preview).image();
    const JpegDecoder::Scale s =
        c.preview.isEmpty() ? JpegDecoder::Scale{} : JpegDecoder::scaleFor({203, 149}, c.preview);
    const tjscalingfactor f{s.num, s.denom};
    const bool gray = c.subsampling == TJSAMP_GRAY;
    QImage theirs(TJSCALED(203, f), TJSCALED(149, f),
                  gray ? QImage::Format_Grayscale8 : QImage::Format_RGB32);
    tjhandle tj = tjInitDecompress();
    ASSERT_EQ(
        tjDecompress2(tj, reinterpret_cast<const unsigned char*>(jpeg.constData()),
                      static_cast<unsigned long>(jpeg.size()), theirs.bits(), theirs.width(),
                      int(theirs.bytesPerLine()), theirs.height(), gray ? TJPF_GRAY : TJPF_BGRX, 0),
        0);
    tjDestroy(tj);
    ASSERT_EQ(ours.size(), theirs.size());
    ASSERT_EQ(ours.format(), theirs.format());
    EXPECT_TRUE(ours == theirs);
  }
}

TEST(JpegDecoder, TruncatedFileShowsWhatDecodesAndGarbageIsRefused) {
  const QByteArray jpeg = test::makeJpeg(test::quadrants(256, 256), 90);
  const Picture p = JpegDecoder::decode(jpeg.left(jpeg.size() / 2), QSize());
  EXPECT_EQ(p.naturalSize(), QSize(256, 256));
  EXPECT_EQ(colourAt(p.image(), 5, 5), QStringLiteral("red"));
  // Below the end of the data: black, not the flat grey of empty blocks.
  for (int x : {5, 128, 250}) EXPECT_EQ(p.image().pixel(x, 250) & 0xFFFFFFu, 0u) << x;

  try {
    JpegDecoder::decode(QByteArray("\xFF\xD8\xFF\xE0 this is no picture at all", 31), QSize());
    FAIL() << "garbage decoded";
  } catch (const DecodeFailure& f) {
    EXPECT_EQ(f.number(), err::InvalidPicture);
  }
}

// Leaves a freed block of the given size full of a pattern, so that a buffer
// handed out next without being cleared would show it.
void dirtyTheHeap(size_t bytes) {
  void* block = std::malloc(bytes);
  ASSERT_NE(block, nullptr);
  std::memset(block, 0xA5, bytes);
  std::free(block);
}

bool allBlack(const QImage& image) {
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if ((image.pixel(x, y) & 0xFFFFFFu) != 0) return false;
  return true;
}

// A damaged progressive file that libjpeg-turbo gives up on before its first
// row: the picture showed whatever the heap held before, different each time.
TEST(JpegDecoder, RowsTheDataNeverReachesAreBlackNotLeftoverMemory) {
  const QString root = qEnvironmentVariable("OSTREL_CORPUS");
  QFile file(root + QStringLiteral("/jpeg/libreoffice-graphicfilter/pass/EDB-24743-2.jpg"));
  if (root.isEmpty() || !file.open(QIODevice::ReadOnly)) GTEST_SKIP() << "OSTREL_CORPUS not set";
  const QByteArray bytes = file.readAll();
  dirtyTheHeap(size_t(192) * 75 * 4);
  const QImage image = JpegDecoder::decode(bytes, QSize()).image();
  ASSERT_EQ(image.size(), QSize(192, 75));
  EXPECT_TRUE(allBlack(image));

  dirtyTheHeap(size_t(64) * 64 * 4);
  EXPECT_TRUE(allBlack(ImageAllocator::create(64, 64, QImage::Format_RGB32)));
}

// Every orientation read from sound data is the decoder's test; here, data that is not sound.
TEST(JpegHeaderInfo, OrientationIsReadOnlyFromSoundExifData) {
  const QByteArray jpeg = test::makeJpeg(test::quadrants(16, 16));
  EXPECT_EQ(JpegHeaderInfo::scan(test::withExifOrientation(jpeg, 9)).orientation, 1);
  const QByteArray exif("Exif\0\0II\x2A\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0\x03\0\0\0", 28);
  EXPECT_EQ(JpegHeaderInfo::orientationFromExif(exif), 3);
  EXPECT_EQ(JpegHeaderInfo::orientationFromExif(exif.left(20)), 1) << "entry cut short";
  // An IFD offset far past the end; 65535 entries claimed, one present and
  // that one not the orientation.
  EXPECT_EQ(JpegHeaderInfo::orientationFromExif(QByteArray(exif).replace(10, 1, "\x7F")), 1);
  EXPECT_EQ(JpegHeaderInfo::orientationFromExif(QByteArray(exif).replace(14, 3, "\xFF\xFF\x11")),
            1);
}

}  // namespace
}  // namespace ostrel
