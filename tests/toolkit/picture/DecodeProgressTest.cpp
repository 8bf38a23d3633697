#include "toolkit/picture/DecodeProgress.h"

#include <gtest/gtest.h>

#include <QImage>
#include <memory>

#include "tests/toolkit/picture/PictureFixtures.h"
#include "toolkit/picture/BmpDecoder.h"
#include "toolkit/picture/JpegDecoder.h"

namespace ostrel {
namespace {

// The rows the interface was shown must be the finished picture's own, in
// the right place: shown from the buffer the decoder went on writing, not
// from a copy it left behind, and never rows it wrote again afterwards.
TEST(DecodeProgress, TheRowsShownAreThoseOfTheFinishedPictureAndOnlyRowsFinishedAreShown) {
  const QImage source = test::quadrants(64, 48);
  const QByteArray bottomUp = test::encode(source, "bmp");
  const QByteArray jpeg = test::makeJpeg(source);
  const struct {
    const char* name;
    QByteArray bytes;
  } cases[] = {
      {"bottom-up bitmap", bottomUp},
      // Its top rows are the last in the file; they are black, and shown so.
      {"bottom-up bitmap ending half-way", bottomUp.first(bottomUp.size() / 2)},
      {"run-length bitmap", test::rleBitmap(40, 30)},
      {"JPEG", jpeg},
      {"JPEG ending early", jpeg.first(jpeg.size() - 40)},
  };
  for (const auto& c : cases) {
    auto progress = std::make_shared<DecodeProgress>();
    QImage whole;
    {
      const DecodeProgress::Scope scope(progress);
      whole = c.bytes.startsWith("BM") ? BmpDecoder::decode(c.bytes, BmpDecoder::Layout::File)
                                       : JpegDecoder::decode(c.bytes, {}).image();
    }
    ASSERT_TRUE(progress->published()) << c.name;
    EXPECT_TRUE(progress->ended()) << c.name;
    EXPECT_TRUE(progress->complete()) << c.name;
    const DecodeProgress::Ready ready = progress->ready();
    ASSERT_EQ(ready.rows.height(), whole.height()) << c.name;
    EXPECT_EQ(ready.rows.constBits(), whole.constBits()) << c.name;
    EXPECT_EQ(ready.rows, whole) << c.name;
  }
  // Pictures finished after their rows are not shown while decoding.
  const QByteArray turned = test::withExifOrientation(test::makeJpeg(test::quadrants(32, 16)), 6);
  const test::BmpBuilder alpha{.headerSize = 124,
                               .bitsPerPixel = 32,
                               .compression = 3,
                               .masks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000},
                               .pixels = QByteArray(16, '\x40')};
  auto progress = std::make_shared<DecodeProgress>();
  {
    const DecodeProgress::Scope scope(progress);
    EXPECT_EQ(JpegDecoder::decode(turned, {}).naturalSize(), QSize(16, 32));
    EXPECT_FALSE(progress->published());
    EXPECT_EQ(BmpDecoder::decode(alpha.build(), BmpDecoder::Layout::File).size(), QSize(2, 2));
    EXPECT_FALSE(progress->published());
  }
}

}  // namespace
}  // namespace ostrel
