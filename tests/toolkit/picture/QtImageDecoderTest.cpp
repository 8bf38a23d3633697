#include "toolkit/picture/QtImageDecoder.h"

#include <gtest/gtest.h>

#include "tests/toolkit/picture/PictureFixtures.h"
#include "toolkit/ToolkitError.h"
#include "toolkit/picture/DecodeFailure.h"

namespace ostrel {
namespace {

QByteArray png(QSize size) {
  QImage image(size, QImage::Format_Mono);
  image.fill(0);
  return test::encode(image, "png");
}

// A 354-byte icon whose PNG had a text chunk claiming 2 GB: libpng reserved
// and cleared 2 GB for it, taking 5 s, before it found the data missing.
// Found by fuzz_ico.
TEST(QtImageDecoder, PngChunkClaimingMoreThanTheFileHoldsIsRefusedFirst) {
  const QByteArray good = png(QSize(8, 8));
  EXPECT_TRUE(QtImageDecoder::pngChunksFit(good));
  EXPECT_TRUE(QtImageDecoder::pngChunksFit(good + "trailing bytes of an icon file"));
  EXPECT_FALSE(QtImageDecoder::pngChunksFit(good.chopped(12)));  // no IEND

  QByteArray text("\x7E\0\0\x25tEXtdate:create\0", 19);
  QByteArray hostile = good;
  hostile.insert(33, text);  // after IHDR
  EXPECT_FALSE(QtImageDecoder::pngChunksFit(hostile));
  try {
    QtImageDecoder::decode(hostile, "png");
    FAIL() << "a PNG whose text chunk runs past its end decoded";
  } catch (const DecodeFailure& f) {
    EXPECT_EQ(f.number(), err::InvalidPicture);
  }
}

}  // namespace
}  // namespace ostrel
