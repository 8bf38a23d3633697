#include "toolkit/picture/GifDecoder.h"

#include <gtest/gtest.h>

#include "tests/toolkit/picture/PictureFixtures.h"
#include "toolkit/ToolkitError.h"
#include "toolkit/picture/DecodeFailure.h"

namespace ostrel {
namespace {

using test::GifBuilder;
using Image = GifBuilder::Image;

constexpr QRgb kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF, kWhite = 0xFFFFFFFF,
               kClear = 0x00000000;

// The reason of the failure, or "" when the GIF decoded.
QString failure(const QByteArray& bytes, int* number = nullptr) {
  try {
    GifDecoder::decode(bytes);
  } catch (const DecodeFailure& f) {
    if (number) *number = f.number();
    return f.reason();
  }
  return {};
}

TEST(GifDecoder, TheScreenStartsTransparentAndImagesLandWhereTheySay) {
  GifBuilder gif{3, 2, {kRed, kGreen}};
  gif.images.append({.left = 1, .top = 1, .width = 2, .height = 1, .indexes = {"\x00\x01", 2}});
  const QImage image = GifDecoder::decode(gif.build());
  ASSERT_EQ(image.size(), QSize(3, 2));
  EXPECT_EQ(image.pixel(0, 0), kClear);
  EXPECT_EQ(image.pixel(0, 1), kClear);
  EXPECT_EQ(image.pixel(1, 1), kRed);
  EXPECT_EQ(image.pixel(2, 1), kGreen);
}

// A picture of more colours than one table holds is several images with no
// delay between them: all of them make the first frame, which ends with the
// first image shown for a while.
TEST(GifDecoder, TheFirstFrameIsEveryImageUpToTheFirstShownForAWhile) {
  GifBuilder gif{2, 1};
  gif.images.append({.width = 1, .local = {kRed}, .indexes = {"\x00", 1}});
  gif.images.append({.left = 1, .local = {kBlue}, .indexes = {"\x00", 1}, .delay = 0});
  const QImage image = GifDecoder::decode(gif.build());
  EXPECT_EQ(image.pixel(0, 0), kRed);
  EXPECT_EQ(image.pixel(1, 0), kBlue);
  GifBuilder animated{1, 1, {kRed, kGreen}};
  animated.images.append({.indexes = {"\x00", 1}, .delay = 10});
  animated.images.append({.indexes = {"\x01", 1}, .delay = 10});
  EXPECT_EQ(GifDecoder::decode(animated.build()).pixel(0, 0), kRed);
}

TEST(GifDecoder, DisposalActsBeforeTheNextImageNotOnTheLastOne) {
  // Restore to background clears the area before the next image...
  GifBuilder cleared{2, 1, {kRed, kGreen}};
  cleared.images.append({.width = 2, .indexes = {"\x00\x00", 2}, .delay = 0, .disposal = 2});
  cleared.images.append({.left = 1, .indexes = {"\x01", 1}});
  QImage image = GifDecoder::decode(cleared.build());
  EXPECT_EQ(image.pixel(0, 0), kClear);
  EXPECT_EQ(image.pixel(1, 0), kGreen);
  // ...restore to previous puts back what the image covered...
  GifBuilder restored{2, 1, {kRed, kGreen}};
  restored.images.append({.width = 2, .indexes = {"\x00\x00", 2}});
  restored.images.append({.indexes = {"\x01", 1}, .delay = 0, .disposal = 3});
  restored.images.append({.left = 1, .indexes = {"\x01", 1}});
  image = GifDecoder::decode(restored.build());
  EXPECT_EQ(image.pixel(0, 0), kRed);
  EXPECT_EQ(image.pixel(1, 0), kGreen);
  // ...and an image that asks to be cleared after it is still shown.
  GifBuilder single{1, 1, {kRed}};
  single.images.append({.indexes = {"\x00", 1}, .delay = 0, .disposal = 2});
  EXPECT_EQ(GifDecoder::decode(single.build()).pixel(0, 0), kRed);
}

TEST(GifDecoder, TransparentIndexesAndShortDataLeaveTheScreenShowing) {
  GifBuilder gif{3, 1, {kRed, kGreen}};
  gif.images.append({.width = 3, .indexes = {"\x01\x00", 2}, .transparent = 1});
  const QImage image = GifDecoder::decode(gif.build());
  EXPECT_EQ(image.pixel(0, 0), kClear);  // transparent index
  EXPECT_EQ(image.pixel(1, 0), kRed);
  EXPECT_EQ(image.pixel(2, 0), kClear);  // the data ended before this pixel
}

TEST(GifDecoder, InterlacedRowsComeInTheirFourPasses) {
  // Rows in data order for 5 rows: 0, 4, 2, 1, 3.
  GifBuilder gif{1, 5, {kRed, kGreen, kBlue, kWhite}};
  gif.images.append({.height = 5, .indexes = {"\x00\x01\x02\x03\x03", 5}, .interlaced = true});
  const QImage image = GifDecoder::decode(gif.build());
  EXPECT_EQ(image.pixel(0, 0), kRed);
  EXPECT_EQ(image.pixel(0, 4), kGreen);
  EXPECT_EQ(image.pixel(0, 2), kBlue);
  EXPECT_EQ(image.pixel(0, 1), kWhite);
  EXPECT_EQ(image.pixel(0, 3), kWhite);
}

TEST(GifDecoder, ImagesPastTheScreenAreClippedAndAnEmptyScreenTakesTheImageSize) {
  GifBuilder gif{1, 1, {kRed, kGreen}};
  gif.images.append({.width = 3, .height = 2, .indexes = {"\x01\x00\x00\x00\x00\x00", 6}});
  QImage image = GifDecoder::decode(gif.build());
  ASSERT_EQ(image.size(), QSize(1, 1));
  EXPECT_EQ(image.pixel(0, 0), kGreen);

  GifBuilder unsized{0, 0, {kRed}};
  unsized.images.append({.left = 1, .width = 1, .indexes = {"\x00", 1}});
  image = GifDecoder::decode(unsized.build());
  ASSERT_EQ(image.size(), QSize(2, 1));
  EXPECT_EQ(image.pixel(1, 0), kRed);
}

TEST(GifDecoder, AGifThatEndsProperlyWithNoImageIsAnEmptyScreen) {
  GifBuilder gif{2, 2, {kRed}};
  QImage image = GifDecoder::decode(gif.build());
  ASSERT_EQ(image.size(), QSize(2, 2));
  EXPECT_EQ(image.pixel(1, 1), kClear);
  // An image of no size, even one written with no data at all.
  GifBuilder empty{2, 2, {kRed}};
  empty.images.append({.width = 0, .height = 0});
  QByteArray bytes = empty.build();
  bytes.remove(bytes.indexOf(",") + 10, 4);  // its data: code size, one block, terminator
  image = GifDecoder::decode(bytes);
  EXPECT_EQ(image.size(), QSize(2, 2));
}

TEST(GifDecoder, DamagedGifsAreRefusedWithAReason) {
  GifBuilder good{1, 1, {kRed}};
  good.images.append({.indexes = {"\x00", 1}});
  const QByteArray bytes = good.build();

  int number = 0;
  EXPECT_EQ(failure(bytes.left(10)), "the GIF header ends early");
  // Cut inside the image data, and cut before any image.
  EXPECT_EQ(failure(bytes.left(bytes.size() - 3), &number), "the GIF data ends early");
  EXPECT_EQ(number, err::InvalidPicture);
  EXPECT_EQ(failure(bytes.left(bytes.indexOf(",") + 4)), "the GIF data ends early");
  // A colour index with no colour table to look it up in.
  GifBuilder tableless{1, 1};
  tableless.images.append({.indexes = {"\x00", 1}});
  EXPECT_EQ(failure(tableless.build()), "the GIF data is damaged");
  // A code the table does not hold yet: 7 right after a clear.
  QByteArray badCode = bytes;
  const qsizetype data = badCode.indexOf(",") + 10;  // code size, then the block
  badCode[data + 2] = char(0x3C);                    // clear (4), then 7
  EXPECT_EQ(failure(badCode), "the GIF data is damaged");
  // A code size no encoder writes.
  QByteArray badSize = bytes;
  badSize[data] = char(0x40);
  EXPECT_EQ(failure(badSize), "the GIF data is damaged");
}

TEST(GifDecoder, AnImageTooLargeForItsBytesIsRefusedAsTooLarge) {
  GifBuilder gif{1, 1, {kRed}};
  gif.images.append({.width = 65535, .height = 65535, .indexes = {"\x00", 1}});
  int number = 0;
  EXPECT_FALSE(failure(gif.build(), &number).isEmpty());
  EXPECT_EQ(number, err::OutOfMemory);
}

}  // namespace
}  // namespace ostrel
