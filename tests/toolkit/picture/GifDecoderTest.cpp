#include "toolkit/picture/GifDecoder.h"

#include <gtest/gtest.h>

#include "tests/toolkit/picture/PictureFixtures.h"
#include "toolkit/ToolkitError.h"
#include "toolkit/picture/DecodeFailure.h"
#include "toolkit/picture/GifAnimation.h"
#include "toolkit/picture/Picture.h"

namespace ostrel {
namespace {

using test::GifBuilder;
using Image = GifBuilder::Image;

constexpr QRgb R = 0xFFFF0000, G = 0xFF00FF00, B = 0xFF0000FF, W = 0xFFFFFFFF, _ = 0;

// A frame's pixels, row by row.
QList<QRgb> pixelsOf(const QImage& image) {
  QList<QRgb> pixels;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) pixels << image.pixel(x, y);
  return pixels;
}

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

TEST(GifDecoder, DamagedGifsAreRefusedWithAReasonAndOnesWithNoImageAreAnEmptyScreen) {
  const QByteArray bytes = GifBuilder{1, 1, {R}, {{.indexes = {"\x00", 1}}}}.build();
  int number = 0;
  EXPECT_EQ(failure(bytes.left(10)), "the GIF header ends early");
  // Cut inside the image data, and cut before any image.
  EXPECT_EQ(failure(bytes.left(bytes.size() - 3), &number), "the GIF data ends early");
  EXPECT_EQ(number, err::InvalidPicture);
  EXPECT_EQ(failure(bytes.left(bytes.indexOf(",") + 4)), "the GIF data ends early");
  // A colour index with no colour table to look it up in.
  EXPECT_EQ(failure(GifBuilder{1, 1, {}, {{.indexes = {"\x00", 1}}}}.build()),
            "the GIF data is damaged");
  // A code the table does not hold yet: 7 right after a clear.
  QByteArray badCode = bytes;
  const qsizetype data = badCode.indexOf(",") + 10;  // code size, then the block
  badCode[data + 2] = char(0x3C);                    // clear (4), then 7
  EXPECT_EQ(failure(badCode), "the GIF data is damaged");
  // A code size no encoder writes.
  QByteArray badSize = bytes;
  badSize[data] = char(0x40);
  EXPECT_EQ(failure(badSize), "the GIF data is damaged");
  // An image too large for its bytes.
  const GifBuilder huge{1, 1, {R}, {{.width = 65535, .height = 65535, .indexes = {"\x00", 1}}}};
  EXPECT_FALSE(failure(huge.build(), &number).isEmpty());
  EXPECT_EQ(number, err::OutOfMemory);
  // A GIF with no image, or an empty one, is an empty screen.
  const QImage image = GifDecoder::decode(GifBuilder{2, 2, {R}}.build());
  EXPECT_EQ(image.size(), QSize(2, 2));
  EXPECT_EQ(pixelsOf(image), QList<QRgb>({_, _, _, _}));
  // An image of no size, even one written with no data at all.
  QByteArray noSize = GifBuilder{2, 2, {R}, {{.width = 0, .height = 0}}}.build();
  noSize.remove(noSize.indexOf(",") + 10, 4);  // its data: code size, one block, terminator
  EXPECT_EQ(GifDecoder::decode(noSize).size(), QSize(2, 2));
}

// Three frames on a 2 x 1 screen: blue, then red on the left with the
// disposal asked for, then green on the right.
GifBuilder disposedAs(int disposal) {
  return {2,
          1,
          {R, G, B},
          {{.width = 2, .indexes = {"\x02\x02", 2}, .delay = 10},
           {.indexes = {"\x00", 1}, .delay = 10, .disposal = disposal},
           {.left = 1, .indexes = {"\x01", 1}, .delay = 10}}};
}

// Frames start on a transparent screen. The still picture is the first frame:
// every image up to the first shown for a while (a picture of more colours
// than one table holds is several images with no delay between them).
// Disposal acts before the next image, not on the last one.
TEST(GifAnimation, FramesAreComposedAsTheFileAsks) {
  // clang-format off
  const struct {
    const char* name;
    GifBuilder gif;
    QList<QList<QRgb>> frames;
    int width = 0;  // 0: the screen's
  } cases[] = {
      {"images land where they say", {3, 2, {R, G}, {{.left = 1, .top = 1, .width = 2, .indexes = {"\x00\x01", 2}}}},
       {{_, _, _, _, R, G}}},
      {"the last image is shown though it asks to be cleared",
       {1, 1, {R}, {{.indexes = {"\x00", 1}, .delay = 0, .disposal = 2}}}, {{R}}},
      {"transparent index, then data ending early",
       {3, 1, {R, G}, {{.width = 3, .indexes = {"\x01\x00", 2}, .transparent = 1}}}, {{_, R, _}}},
      {"interlaced rows in four passes: 0, 4, 2, 1, 3",
       {1, 5, {R, G, B, W}, {{.height = 5, .indexes = {"\x00\x01\x02\x03\x03", 5}, .interlaced = true}}},
       {{R, W, B, W, G}}},
      {"clipped to the screen",
       {1, 1, {R, G}, {{.width = 3, .height = 2, .indexes = {"\x01\x00\x00\x00\x00\x00", 6}}}}, {{G}}},
      {"an empty screen takes the image size",
       {0, 0, {R}, {{.left = 1, .width = 1, .indexes = {"\x00", 1}}}}, {{_, R}}, 2},
      {"keep", disposedAs(0), {{B, B}, {R, B}, {R, G}}},
      {"keep, said so", disposedAs(1), {{B, B}, {R, B}, {R, G}}},
      {"restore to background", disposedAs(2), {{B, B}, {R, B}, {_, G}}},
      {"restore to previous", disposedAs(3), {{B, B}, {R, B}, {B, G}}},
      {"tiles: an image without a delay is part of the next frame",
       {2, 1, {}, {{.local = {R}, .indexes = {"\x00", 1}},
                   {.left = 1, .local = {B}, .indexes = {"\x00", 1}, .delay = 5},
                   {.local = {W}, .indexes = {"\x00", 1}, .delay = 0},
                   {.left = 1, .local = {G}, .indexes = {"\x00", 1}, .delay = 5}}},
       {{R, B}, {W, G}}},
      {"the transparent index shows the frame before",
       {2, 1, {R, G}, {{.width = 2, .indexes = {"\x00\x00", 2}, .delay = 10},
                       {.width = 2, .indexes = {"\x01\x00", 2}, .transparent = 0, .delay = 10}}},
       {{R, R}, {G, R}}},
      {"without a delay, but taken away after it",
       {1, 1, {R, G, B}, {{.indexes = {"\x00", 1}, .delay = 10},
                          {.indexes = {"\x01", 1}, .delay = 0, .disposal = 2},
                          {.indexes = {"\x02", 1}, .delay = 0, .disposal = 3},
                          {.indexes = {"\x00", 1}, .delay = 0, .disposal = 1},
                          {.indexes = {"\x01", 1}, .delay = 10}}},
       {{R}, {G}, {B}, {G}}},
  };
  // clang-format on
  for (const auto& c : cases) {
    const QByteArray bytes = c.gif.build();
    const auto animation = GifAnimation::decode(bytes);
    ASSERT_EQ(animation->frames.size(), c.frames.size()) << c.name;
    for (qsizetype i = 0; i < c.frames.size(); ++i) {
      EXPECT_EQ(animation->frames[i].image.width(), c.width ? c.width : c.gif.width) << c.name;
      EXPECT_EQ(pixelsOf(animation->frames[i].image), c.frames[i]) << c.name << ", frame " << i;
    }
    // The viewer starts on what the preview shows.
    EXPECT_EQ(animation->frames[0].image, GifDecoder::decode(bytes)) << c.name;
  }
}

TEST(GifAnimation, DelaysHaveAMinimumTheLoopExtensionCountsRepeatsAndAFaultEndsTheAnimationThere) {
  GifBuilder gif{1, 1, {R, G}};
  for (int delay : {1, 2, 3, 50}) gif.images.append({.indexes = {"\x00", 1}, .delay = delay});
  gif.images.append({.indexes = {"\x01", 1}});  // after the last delay: a frame of its own
  const auto animation = GifAnimation::decode(gif.build());
  QList<int> delays;
  for (const Animation::Frame& frame : animation->frames) delays << frame.delayMs;
  EXPECT_EQ(delays, QList<int>({20, 20, 30, 500, 20}));
  EXPECT_FALSE(animation->cut);
  for (const auto& [loops, plays] : {std::pair{-1, 1}, {0, 0}, {1, 2}, {65535, 65536}}) {
    gif.loops = loops;
    EXPECT_EQ(GifAnimation::decode(gif.build())->plays, plays) << loops;
  }
  // A fault after the first frame ends the animation there.
  const QByteArray bytes =
      GifBuilder{
          1, 1, {R}, {{.indexes = {"\x00", 1}, .delay = 10}, {.indexes = {"\x00", 1}, .delay = 10}}}
          .build();
  QByteArray damaged = bytes;
  damaged[damaged.lastIndexOf(',') + 12] = char(0x3C);  // a code the table does not hold
  const auto faulty = GifAnimation::decode(damaged);
  EXPECT_EQ(faulty->frames.size(), 1);
  EXPECT_TRUE(faulty->cut);
  // A file cut inside a later image keeps that frame as far as it came.
  const auto cut = GifAnimation::decode(bytes.left(bytes.lastIndexOf(',') + 12));
  EXPECT_EQ(cut->frames.size(), 2);
  EXPECT_TRUE(cut->cut);
  // In the first frame it is the preview's failure.
  EXPECT_THROW(GifAnimation::decode(bytes.left(bytes.indexOf(',') + 12)), DecodeFailure);
}

TEST(GifAnimation, WhatTheBudgetDoesNotHoldIsLeftOut) {
  GifBuilder gif{2, 1, {R, G}};
  for (int i = 0; i < 6; ++i)
    gif.images.append({.width = 2, .indexes = QByteArray(2, char(i % 2)), .delay = 10});
  const QByteArray bytes = gif.build();
  const qint64 frameBytes = GifDecoder::decode(bytes).sizeInBytes();
  const struct {
    const char* name;
    GifAnimation::Budget budget;
    qsizetype frames;
  } cases[] = {
      {"all fit", {}, 6},
      {"frame count", {.frames = 4}, 4},
      {"bytes", {.bytes = 3 * frameBytes + 1}, 3},
      {"work", {.work = 3 * 2}, 4},  // the first frame is not counted
      {"no room at all", {.bytes = 0, .work = 0}, 1},
  };
  for (const auto& c : cases) {
    const auto animation = GifAnimation::decode(bytes, c.budget);
    EXPECT_EQ(animation->frames.size(), c.frames) << c.name;
    EXPECT_EQ(animation->cut, c.frames < 6) << c.name;
  }
  // A single frame left is a still picture.
  const Picture still = Picture::fromAnimation(GifAnimation::decode(bytes, {.frames = 1}));
  EXPECT_EQ(still.animation(), nullptr);
  EXPECT_EQ(still.image().pixel(0, 0), R);
  EXPECT_NE(Picture::fromAnimation(GifAnimation::decode(bytes)).animation(), nullptr);
}

}  // namespace
}  // namespace ostrel
