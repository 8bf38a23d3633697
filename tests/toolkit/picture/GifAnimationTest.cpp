#include "toolkit/picture/GifAnimation.h"

#include <gtest/gtest.h>

#include "tests/toolkit/picture/PictureFixtures.h"
#include "toolkit/picture/DecodeFailure.h"
#include "toolkit/picture/GifDecoder.h"
#include "toolkit/picture/Picture.h"

namespace ostrel {
namespace {

using test::GifBuilder;
using Image = GifBuilder::Image;

constexpr QRgb R = 0xFFFF0000, G = 0xFF00FF00, B = 0xFF0000FF, W = 0xFFFFFFFF, _ = 0;

// A frame's pixels, row by row.
QList<QRgb> pixelsOf(const QImage& image) {
  QList<QRgb> pixels;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) pixels << image.pixel(x, y);
  }
  return pixels;
}

// Three frames on a 2 x 1 screen: blue, then red on the left with the
// disposal asked for, then green on the right.
GifBuilder disposedAs(int disposal) {
  GifBuilder gif{2, 1, {R, G, B}};
  gif.images.append({.width = 2, .indexes = {"\x02\x02", 2}, .delay = 10});
  gif.images.append({.indexes = {"\x00", 1}, .delay = 10, .disposal = disposal});
  gif.images.append({.left = 1, .indexes = {"\x01", 1}, .delay = 10});
  return gif;
}

TEST(GifAnimation, FramesAreComposedAsTheFileAsks) {
  GifBuilder tiles{2, 1};  // an image without a delay is part of the next frame
  tiles.images.append({.local = {R}, .indexes = {"\x00", 1}});
  tiles.images.append({.left = 1, .local = {B}, .indexes = {"\x00", 1}, .delay = 5});
  tiles.images.append({.local = {W}, .indexes = {"\x00", 1}, .delay = 0});
  tiles.images.append({.left = 1, .local = {G}, .indexes = {"\x00", 1}, .delay = 5});

  GifBuilder see{2, 1, {R, G}};  // the transparent index shows the frame before
  see.images.append({.width = 2, .indexes = {"\x00\x00", 2}, .delay = 10});
  see.images.append({.width = 2, .indexes = {"\x01\x00", 2}, .transparent = 0, .delay = 10});

  GifBuilder interlaced{1, 3, {R, G, B}};  // rows 0, 2, 1
  interlaced.images.append({.indexes = {"\x00", 1}, .delay = 10});
  interlaced.images.append(
      {.height = 3, .indexes = {"\x00\x01\x02", 3}, .interlaced = true, .delay = 10});

  GifBuilder clipped{2, 1, {R, G}};  // the second image reaches past the right edge
  clipped.images.append({.width = 2, .indexes = {"\x00\x00", 2}, .delay = 10});
  clipped.images.append({.left = 1, .width = 3, .indexes = {"\x01\x01\x01", 3}, .delay = 10});

  GifBuilder shortData{2, 1, {R, G}};  // data for one pixel of two
  shortData.images.append({.width = 2, .indexes = {"\x00\x00", 2}, .delay = 10});
  shortData.images.append({.width = 2, .indexes = {"\x01", 1}, .delay = 10});

  GifBuilder wiped{1, 1, {R, G, B}};  // without a delay, but taken away after it
  wiped.images.append({.indexes = {"\x00", 1}, .delay = 10});
  wiped.images.append({.indexes = {"\x01", 1}, .delay = 0, .disposal = 2});
  wiped.images.append({.indexes = {"\x02", 1}, .delay = 0, .disposal = 3});
  wiped.images.append({.indexes = {"\x00", 1}, .delay = 0, .disposal = 1});
  wiped.images.append({.indexes = {"\x01", 1}, .delay = 10});

  const struct {
    const char* name;
    GifBuilder gif;
    QList<QList<QRgb>> frames;
  } cases[] = {
      {"keep", disposedAs(0), {{B, B}, {R, B}, {R, G}}},
      {"keep, said so", disposedAs(1), {{B, B}, {R, B}, {R, G}}},
      {"restore to background", disposedAs(2), {{B, B}, {R, B}, {_, G}}},
      {"restore to previous", disposedAs(3), {{B, B}, {R, B}, {B, G}}},
      {"tiles", tiles, {{R, B}, {W, G}}},
      {"transparent index", see, {{R, R}, {G, R}}},
      {"interlaced", interlaced, {{R, _, _}, {R, B, G}}},
      {"clipped", clipped, {{R, R}, {R, G}}},
      {"data ending early", shortData, {{R, R}, {G, R}}},
      {"taken away", wiped, {{R}, {G}, {B}, {G}}},
  };
  for (const auto& c : cases) {
    const QByteArray bytes = c.gif.build();
    const auto animation = GifAnimation::decode(bytes);
    ASSERT_EQ(animation->frames.size(), c.frames.size()) << c.name;
    for (qsizetype i = 0; i < c.frames.size(); ++i) {
      EXPECT_EQ(pixelsOf(animation->frames[i].image), c.frames[i]) << c.name << ", frame " << i;
    }
    // The viewer starts on what the preview shows.
    EXPECT_EQ(animation->frames[0].image, GifDecoder::decode(bytes)) << c.name;
  }
}

TEST(GifAnimation, DelaysHaveAMinimumAndTheLoopExtensionCountsRepeats) {
  GifBuilder gif{1, 1, {R, G}};
  for (int delay : {1, 2, 3, 50}) gif.images.append({.indexes = {"\x00", 1}, .delay = delay});
  gif.images.append({.indexes = {"\x01", 1}});  // after the last delay: a frame of its own
  const auto animation = GifAnimation::decode(gif.build());
  QList<int> delays;
  for (const Animation::Frame& frame : animation->frames) delays << frame.delayMs;
  EXPECT_EQ(delays, QList<int>({20, 20, 30, 500, 20}));
  EXPECT_FALSE(animation->cut);

  const struct {
    int loops;
    int plays;
  } loops[] = {{-1, 1}, {0, 0}, {1, 2}, {65535, 65536}};
  for (const auto& l : loops) {
    gif.loops = l.loops;
    EXPECT_EQ(GifAnimation::decode(gif.build())->plays, l.plays) << l.loops;
  }
}

TEST(GifAnimation, WhatTheBudgetDoesNotHoldIsLeftOut) {
  GifBuilder gif{2, 1, {R, G}};
  for (int i = 0; i < 6; ++i) {
    gif.images.append({.width = 2, .indexes = QByteArray(2, char(i % 2)), .delay = 10});
  }
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

TEST(GifAnimation, AFaultAfterTheFirstFrameEndsTheAnimationThere) {
  GifBuilder gif{1, 1, {R}};
  gif.images.append({.indexes = {"\x00", 1}, .delay = 10});
  gif.images.append({.indexes = {"\x00", 1}, .delay = 10});
  const QByteArray bytes = gif.build();
  QByteArray damaged = bytes;
  damaged[damaged.lastIndexOf(',') + 12] = char(0x3C);  // a code the table does not hold
  const auto animation = GifAnimation::decode(damaged);
  EXPECT_EQ(animation->frames.size(), 1);
  EXPECT_TRUE(animation->cut);
  // A file cut inside a later image keeps that frame as far as it came.
  const auto cut = GifAnimation::decode(bytes.left(bytes.lastIndexOf(',') + 12));
  EXPECT_EQ(cut->frames.size(), 2);
  EXPECT_TRUE(cut->cut);
  // In the first frame it is the preview's failure.
  EXPECT_THROW(GifAnimation::decode(bytes.left(bytes.indexOf(',') + 12)), DecodeFailure);
}

}  // namespace
}  // namespace ostrel
