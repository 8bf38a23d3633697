// Playback of small hand-written WMFs, placeable and bare.
#include <gtest/gtest.h>

#include <QImage>

#include "tests/toolkit/metafile/MetafileBuilder.h"
#include "toolkit/metafile/MetafileContent.h"
#include "toolkit/metafile/MetafileReader.h"

namespace ostrel::test {
namespace {

using B = MetafileBuilder;

// Brush 0 red, pen 1 null, both selected (WMF objects take the lowest free slot).
WmfBuilder& redBrushNullPen(WmfBuilder& b) {
  b.add(0x02FC, {0, 0x00FF, 0x0000, 0});  // CreateBrushIndirect solid red
  b.add(0x02FA, {5, 0, 0, 0, 0});         // CreatePenIndirect PS_NULL
  return b.add(0x012D, {0}).add(0x012D, {1});
}

TEST(WmfPlayback, PlaceableBoxWindowAndViewportGiveSizeAndFrame) {
  // 2000 x 1000 units at 1000 per inch: 192 x 96 pixels.
  WmfBuilder b(true, 2000, 1000, 1000);
  redBrushNullPen(b).add(0x041B, {1000, 1000, 0, 0});  // Rectangle: bottom, right, top, left
  const QByteArray data = b.finish();
  const auto drawing = readMetafile(data, QStringLiteral("x.wmf"));
  EXPECT_NEAR(drawing->naturalSize().width(), 192, 0.5);
  EXPECT_NEAR(drawing->naturalSize().height(), 96, 0.5);
  expectPixels(data, {{40, 50, kRedPx}, {150, 50, kWhitePx}});
  // A box larger than the largest side shrinks to it, keeping its shape; one
  // smaller than a pixel is a pixel.
  const auto sizeOf = [](int w, int h, int unitsPerInch) {
    WmfBuilder b(true, w, h, unitsPerInch);
    return readMetafile(b.add(0x041B, {1, 1, 0, 0}).finish(), QStringLiteral("x.wmf"))
        ->naturalSize();
  };
  EXPECT_EQ(sizeOf(6000, 3000, 96),
            QSizeF(MetafileContent::kMaxSide, MetafileContent::kMaxSide / 2));
  EXPECT_EQ(sizeOf(1, 1, 1440), QSizeF(1, 1));
  // The box says 100 x 100; the file's window is 10 x 10 units onto it.
  WmfBuilder window(true, 100, 100, 96);
  window.add(0x0103, {8}).add(0x020B, {0, 0}).add(0x020C, {10, 10});
  redBrushNullPen(window).add(0x041B, {5, 5, 0, 0});
  expectPixels(window.finish(), {{40, 40, kRedPx}, {60, 60, kWhitePx}});
  // 192 x 96 pixels; the file maps its window onto a viewport in the units
  // of its own device, half the window's numbers, and later moves it right.
  WmfBuilder viewport(true, 2000, 1000, 1000);
  viewport.add(0x0103, {8}).add(0x020C, {1000, 2000}).add(0x020E, {500, 1000});
  redBrushNullPen(viewport).add(0x041B, {500, 500, 0, 0});          // the window's top-left quarter
  viewport.add(0x020D, {0, 500}).add(0x041B, {1000, 500, 500, 0});  // bottom-left, shifted right
  expectPixels(viewport.finish(),
               {{20, 20, kRedPx}, {70, 20, kWhitePx}, {20, 70, kWhitePx}, {120, 70, kRedPx}});
}

TEST(WmfPlayback, BareFileTakesItsSizeFromTheWindow) {
  WmfBuilder b(false);
  b.add(0x020B, {-50, -100}).add(0x020C, {80, 200});  // org (x -100, y -50), ext 200 x 80
  redBrushNullPen(b).add(0x041B, {30, 100, -50, 0});  // x 0..100, y -50..30
  const QByteArray data = b.finish();
  const auto drawing = readMetafile(data, QStringLiteral("x.wmf"));
  EXPECT_EQ(drawing->naturalSize().toSize(), QSize(200, 80));
  expectPixels(data, {{150, 40, kRedPx}, {50, 40, kWhitePx}});
  // An origin set once drawing has begun does not move the frame.
  WmfBuilder late(false);
  late.add(0x020C, {100, 100}).add(0x041B, {50, 50, 0, 0}).add(0x020B, {50, 50});
  expectPixels(late.finish(), {{49, 25, kBlackPx}});
  // Without a window, the drawing's extent: text reaches a line of its font below its point.
  WmfBuilder text(false);
  text.add(0x02FB, B::words16({-30, 0, 0, 0, 400, 0, 0, 0, 0})).add(0x012D, {0});
  text.add(0x0521, B::words16({1, 'a', 0, 0})).add(0x0521, B::words16({1, 'b', 0, 100}));
  EXPECT_EQ(readMetafile(text.finish(), QStringLiteral("t.wmf"))->naturalSize().toSize(),
            QSize(100, 30));
}

TEST(WmfPlayback, PolygonAndTextDraw) {
  WmfBuilder b(true, 100, 100, 96);
  redBrushNullPen(b).add(0x0324, {3, 10, 90, 90, 90, 50, 50});  // triangle
  QByteArray font = B::words16({-30, 0, 0, 0, 700, 0, 0, 0});
  font += QByteArray("Arial");
  font.resize(50, '\0');
  b.add(0x02FB, font).add(0x012D, {2});
  b.add(0x0521, B::words16({2}) + "Hi" + B::words16({5, 5}));  // length, text, y, x
  EXPECT_GT(inkIn(expectPixels(b.finish(), {{50, 80, kRedPx}}), {5, 5, 45, 35}, 100), 30);
}

TEST(WmfPlayback, RegionsAndBrushesIncludingACutColourReadAsZero) {
  WmfBuilder b(true, 100, 100, 96);
  // CreateRegion: two scans, y 0..50 at x 0..50 and y 50..100 at x 50..100.
  b.add(0x06FF, {0, 6, 0, 0, 40, 2, 4, 0, 0, 100, 100, 2, 0, 50, 0, 50, 2, 2, 50, 100, 50, 100, 2});
  b.add(0x012C, {0});  // SelectClipRegion
  b.add(0x02FC, {0, 0x00FF, 0x0000, 0}).add(0x012D, {1});
  b.add(0x041B, {100, 100, 0, 0});
  expectPixels(b.finish(),
               {{25, 25, kRedPx}, {75, 25, kWhitePx}, {75, 75, kRedPx}, {25, 75, kWhitePx}});
  // A monochrome pattern brush takes the text and background colours:
  // DibCreatePatternBrush, BS_PATTERN, of an 8 x 8 one-bit DIB whose table
  // says black and white: four set bits then four clear ones in every row.
  QByteArray brush = B::words16({3, 0}) + B::words32({40, 8, 8}) + B::words16({1, 1}) +
                     B::words32({0, 32, 0, 0, 2, 0, 0x000000, 0xFFFFFF});
  for (int row = 0; row < 8; ++row) brush += B::words32({0xF0});
  WmfBuilder pattern(true, 100, 100, 96);
  pattern.add(0x0209, {0x00FF, 0}).add(0x0201, {0, 0x00FF});  // red text, blue background
  pattern.add(0x0142, brush).add(0x012D, {0});
  pattern.add(0x041B, {100, 100, 0, 0});
  expectPixels(pattern.finish(),
               {{1, 50, qRgb(0, 0, 255)}, {6, 50, kRedPx}, {9, 50, qRgb(0, 0, 255)}});
  // A record cut inside its colour reads the colour as zero.
  WmfBuilder cut(true, 100, 100, 96);
  cut.add(0x02FC, {0, 0x00FF}).add(0x012D, {0});  // brush: style, then half the red
  cut.add(0x02FA, {5, 0, 0, 0, 0}).add(0x012D, {1});
  cut.add(0x041B, {100, 100, 0, 0});
  expectPixels(cut.finish(), {{50, 50, kBlackPx}});
}

TEST(WmfPlayback, BltRecordsWithAndWithoutABitmap) {
  WmfBuilder b(true, 100, 100, 96);
  b.add(0x02FC, {0, 0x0000, 0x00FF, 0}).add(0x012D, {0});  // blue brush
  // StretchDIB, SRCCOPY, of a one-pixel-wide bitmap, red above green: the
  // source row 1 counts from the bottom, so it is the red one.
  QImage bitmap(1, 2, QImage::Format_RGB32);
  bitmap.setPixel(0, 0, qRgb(255, 0, 0));
  bitmap.setPixel(0, 1, qRgb(0, 255, 0));
  // rop, colour usage, source h w y x, destination h w y x.
  QByteArray stretchDib = B::words16({0x0020, 0x00CC, 0, 1, 1, 1, 0, 50, 50, 0, 0});
  b.add(0x0F43, stretchDib + B::dib24(bitmap));
  // The bitmap-less forms have a reserved word before the destination.
  // DibStretchBlt PATCOPY onto x 50..100, y 0..50.
  b.add(0x0B41, {0x0021, 0x00F0, 0, 0, 0, 0, 0, 50, 50, 0, 50});
  // BitBlt BLACKNESS onto x 0..50, y 50..100.
  b.add(0x0922, {0x0042, 0x0000, 0, 0, 0, 50, 50, 50, 0});
  expectPixels(
      b.finish(),
      {{25, 25, kRedPx}, {75, 25, qRgb(0, 0, 255)}, {25, 75, kBlackPx}, {75, 75, kWhitePx}});
}

TEST(WmfPlayback, LinesLightTheRowOfPixelsTheyRunThrough) {
  // A one-pixel pen along y = 10, and along x = 30 in logical units of half
  // a pixel: each lights one whole row or column, not half of two.
  WmfBuilder b(true, 100, 100, 96);
  b.add(0x0214, {10, 5}).add(0x0213, {10, 60});  // MoveTo, LineTo: y then x
  b.add(0x0103, {8}).add(0x020C, {200, 200});    // window 200 x 200 units
  b.add(0x0214, {100, 60}).add(0x0213, {180, 60});
  const QImage img = expectPixels(b.finish(), {{30, 10, kBlackPx}, {30, 70, kBlackPx}}, {}, 10);
  EXPECT_EQ(img.pixel(30, 9), kWhitePx);
  EXPECT_EQ(img.pixel(30, 11), kWhitePx);
  EXPECT_EQ(img.pixel(29, 70), kWhitePx);
  EXPECT_EQ(img.pixel(31, 70), kWhitePx);
  // Twice the size, the line still lights one row of the larger output.
  const QImage big = MetafileBuilder::render(b.finish(), QSize(200, 200));
  EXPECT_TRUE(isColor(big, 60, 20, kBlackPx, 10));
  EXPECT_EQ(big.pixel(60, 19), kWhitePx);
}

TEST(WmfPlayback, RoundedRectanglesLeaveOutTheirRightAndBottomEdgesAsRectanglesDo) {
  // Outlines of x 10..50, y 10..40 with a one-pixel pen: on pixels 10 and 49
  // across, 10 and 39 down, whether the corners are square or rounded.
  const QByteArray roundRect = B::words16({6, 6, 40, 50, 10, 10});  // corner h w, b r t l
  for (const uint16_t fn : {0x041B, 0x061C}) {
    SCOPED_TRACE(fn);
    WmfBuilder b(true, 100, 100, 96);
    b.add(0x02FC, {1, 0, 0, 0}).add(0x012D, {0});  // hollow brush
    if (fn == 0x041B)
      b.add(fn, {40, 50, 10, 10});
    else
      b.add(fn, roundRect);
    const QImage img = expectPixels(
        b.finish(),
        {{10, 25, kBlackPx}, {49, 25, kBlackPx}, {30, 10, kBlackPx}, {30, 39, kBlackPx}}, {}, 10);
    EXPECT_EQ(img.pixel(50, 25), kWhitePx);
    EXPECT_EQ(img.pixel(30, 40), kWhitePx);
    EXPECT_EQ(img.pixel(48, 25), kWhitePx);
  }
}

TEST(WmfPlayback, AnOpaqueRectangleAwayFromTheTextLeavesItsCellToTheBackgroundMode) {
  // Spaces at (10, 10) with an opaque rectangle at 70..90: in the opaque
  // background mode their cell is filled as well, in the transparent one not.
  for (const int mode : {2, 1}) {
    WmfBuilder b(true, 100, 100, 96);
    b.add(0x0102, {mode}).add(0x0201, {0x00FF, 0});  // SetBkMode, SetBkColor red
    b.add(0x0A32, B::words16({10, 10, 4, 2, 70, 70, 90, 90}) + "    ");
    expectPixels(b.finish(), {{80, 80, kRedPx}, {14, 15, mode == 2 ? kRedPx : kWhitePx}});
  }
}

TEST(WmfPlayback, RightAlignedAndDoubleByteTextIsSpacedByItsArray) {
  // One 'I' ending at x = 95, advancing 30 (its array after the string's
  // padding byte): it is drawn from x = 65, not against the end.
  WmfBuilder b(true, 100, 100, 96);
  b.add(0x02FB, B::words16({-30, 0, 0, 0, 400}).leftJustified(50, '\0')).add(0x012D, {0});
  b.add(0x012E, {2});  // TA_RIGHT
  b.add(0x0A32, B::words16({30, 95, 1, 0}) + QByteArray("I\0", 2) + B::words16({30}));
  const QImage img = B::render(b.finish());
  EXPECT_GT(inkIn(img, {60, 30, 15, 30}), 10);
  EXPECT_EQ(inkIn(img, {0, 30, 60, 30}), 0);
  EXPECT_EQ(inkIn(img, {80, 30, 20, 30}), 0);
  // Two GBK characters, four bytes: the first advances 60 units (its two
  // bytes' entries), so the second is drawn from x = 70, not beside the first.
  WmfBuilder gbk(true, 100, 100, 96);
  // CreateFontIndirect: height, width, escapement, orientation, weight, then
  // bytes italic, underline, strike-out and the character set (GB2312).
  gbk.add(0x02FB, B::words16({-16, 0, 0, 0, 400, 0, 134 << 8}).leftJustified(50, '\0'));
  gbk.add(0x012D, {0});
  gbk.add(0x0A32, B::words16({10, 10, 4, 0}) + "\xB7\xA8\xB5\xC4" + B::words16({50, 10, 0, 0}));
  const QImage spaced = MetafileBuilder::render(gbk.finish());
  EXPECT_GT(inkIn(spaced, {68, 5, 27, 30}), 5);
  EXPECT_EQ(inkIn(spaced, {30, 5, 35, 30}), 0);
}

TEST(WmfPlayback, TheEnhancedMetafileAConvertedFileCarriesIsDrawnAtTheFilesSize) {
  // The WMF fills itself red; the EMF it carries in two pieces, 50 x 50
  // pixels, fills itself blue.
  EmfBuilder e(50, 50);
  e.add(39, {1, 0, 0x00FF0000, 0}).add(37, {1}).add(37, {0x80000008}).add(43, {0, 0, 51, 51});
  const QByteArray emf = e.finish();
  const int half = emf.size() / 4 * 2;
  for (const uint32_t count : {2u, 3u}) {
    SCOPED_TRACE(count);
    WmfBuilder b(true, 100, 100, 96);
    b.add(0x0626, B::emfPiece(emf, 0, half, count))
        .add(0x0626, B::emfPiece(emf, half, emf.size() - half, count));
    redBrushNullPen(b).add(0x041B, {101, 101, 0, 0});
    const QByteArray data = b.finish();
    EXPECT_EQ(readMetafile(data, QStringLiteral("c.wmf"))->naturalSize().toSize(), QSize(100, 100));
    // Pieces that do not add up leave the WMF's own drawing.
    const QRgb want = count == 2 ? qRgb(0, 0, 255) : kRedPx;
    expectPixels(data, {{5, 5, want}, {95, 95, want}});
  }
}

}  // namespace
}  // namespace ostrel::test
