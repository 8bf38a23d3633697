// Playback of small hand-written EMFs, checked at the pixels that matter.
#include <gtest/gtest.h>
#include <uemf.h>

#include <QImage>

#include "tests/toolkit/metafile/MetafileBuilder.h"
#include "toolkit/metafile/MetafileDrawing.h"
#include "toolkit/metafile/MetafileReader.h"

namespace ostrel::test {
namespace {

using B = MetafileBuilder;
constexpr uint32_t kRed = 0x0000FF, kBlue = 0xFF0000;

// A solid brush in slot 1, selected, and the null pen.
EmfBuilder& redBrush(EmfBuilder& b, uint32_t color = kRed) {
  b.add(U_EMR_CREATEBRUSHINDIRECT, {1, 0, color, 0});
  b.add(U_EMR_SELECTOBJECT, {1});
  b.add(U_EMR_SELECTOBJECT, {U_NULL_PEN});
  return b;
}

TEST(EmfPlayback, RectangleIsRedAndWhereItShouldBe) {
  EmfBuilder b;
  redBrush(b).add(U_EMR_RECTANGLE, {10, 20, 50, 60});
  // GDI leaves out the right and bottom edges of a pen-less rectangle (50, 40).
  const QImage img = expectPixels(b.finish(), {{30, 40, kRedPx},
                                               {11, 21, kRedPx},
                                               {5, 40, kWhitePx},
                                               {30, 70, kWhitePx},
                                               {50, 40, kWhitePx}});
  EXPECT_EQ(img.size(), QSize(100, 100));
}

struct MappingCase {
  const char* name;
  std::vector<std::pair<uint32_t, std::vector<uint32_t>>> setup;
  QRect logical;   // rectangle drawn, in logical units
  QPoint inside;   // a device pixel that must be red
  QPoint outside;  // and one that must stay white
};

class EmfMapping : public ::testing::TestWithParam<MappingCase> {};

TEST_P(EmfMapping, MappingAndClippingPlaceTheRectangle) {
  const MappingCase& c = GetParam();
  EmfBuilder b;
  for (const auto& [type, params] : c.setup) {
    QByteArray body;
    for (uint32_t v : params) B::put32(body, v);
    b.add(type, body);
  }
  redBrush(b).add(U_EMR_RECTANGLE, {uint32_t(c.logical.left()), uint32_t(c.logical.top()),
                                    uint32_t(c.logical.right()), uint32_t(c.logical.bottom())});
  expectPixels(b.finish(),
               {{c.inside.x(), c.inside.y(), kRedPx}, {c.outside.x(), c.outside.y(), kWhitePx}});
}

INSTANTIATE_TEST_SUITE_P(
    Modes, EmfMapping,
    ::testing::Values(MappingCase{"text mode", {}, {10, 10, 20, 20}, {15, 15}, {40, 40}},
                      // Ten logical units per pixel shrink; a viewport ten times the window grows.
                      MappingCase{"anisotropic scale up",
                                  {{U_EMR_SETMAPMODE, {U_MM_ANISOTROPIC}},
                                   {U_EMR_SETWINDOWEXTEX, {10, 10}},
                                   {U_EMR_SETVIEWPORTEXTEX, {100, 100}}},
                                  {5, 5, 4, 4},
                                  {70, 70},
                                  {30, 30}},
                      // y pointing up: logical y 10..40 lands 60..90 pixels down.
                      MappingCase{"y flipped",
                                  {{U_EMR_SETMAPMODE, {U_MM_ANISOTROPIC}},
                                   {U_EMR_SETWINDOWEXTEX, {100, 100}},
                                   {U_EMR_SETVIEWPORTEXTEX, {100, uint32_t(-100)}},
                                   {U_EMR_SETVIEWPORTORGEX, {0, 100}}},
                                  {10, 10, 30, 30},
                                  {20, 80},
                                  {20, 20}},
                      // Window origin moves the picture: logical 50 is the left edge.
                      MappingCase{"window origin",
                                  {{U_EMR_SETWINDOWORGEX, {50, 50}}},
                                  {50, 50, 30, 30},
                                  {5, 5},
                                  {60, 60}},
                      // World transform: a scale of 2 doubles the rectangle.
                      MappingCase{"world transform",
                                  {{U_EMR_SETWORLDTRANSFORM,
                                    {0x40000000, 0, 0, 0x40000000, 0, 0}}},  // 2.0f
                                  {10, 10, 40, 40},
                                  {70, 70},
                                  {10, 10}},
                      MappingCase{"clip rectangle",
                                  {{U_EMR_INTERSECTCLIPRECT, {0, 0, 50, 100}}},
                                  {0, 0, 100, 100},
                                  {25, 50},
                                  {75, 50}}),
    [](const auto& info) {
      std::string n = info.param.name;
      for (char& ch : n)
        if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
      return n;
    });

TEST(EmfPlayback, ClipRegionClipsAndResets) {
  QByteArray region = B::words32({48, 5});                // cbRgnData, RGN_COPY
  region += B::words32({32, 1, 1, 16, 60, 0, 100, 100});  // RGNDATAHEADER
  region += B::words32({60, 0, 100, 100});                // one rectangle
  EmfBuilder b;
  redBrush(b).add(U_EMR_EXTSELECTCLIPRGN, region).add(U_EMR_RECTANGLE, {0, 0, 100, 50});
  b.add(U_EMR_EXTSELECTCLIPRGN, {0, 5});  // no data + RGN_COPY: clipping off
  b.add(U_EMR_RECTANGLE, {0, 60, 100, 100});
  expectPixels(b.finish(), {{80, 25, kRedPx}, {20, 25, kWhitePx}, {20, 80, kRedPx}});
}

TEST(EmfPlayback, SaveAndRestoreBringBackTheBrush) {
  EmfBuilder b;
  b.add(U_EMR_SELECTOBJECT, {U_NULL_PEN})
      .add(U_EMR_SAVEDC, QByteArray())
      .add(U_EMR_SELECTOBJECT, {U_BLACK_BRUSH})
      .add(U_EMR_RECTANGLE, {0, 0, 50, 100})
      .add(U_EMR_RESTOREDC, {uint32_t(-1)})
      .add(U_EMR_SELECTOBJECT, {U_NULL_PEN})
      .add(U_EMR_RECTANGLE, {50, 0, 100, 100});  // white stock brush again
  expectPixels(b.finish(), {{25, 50, kBlackPx}, {75, 50, kWhitePx}});
}

// Two same-direction squares, one inside the other, as one polypolygon.
TEST(EmfPlayback, PolyFillModeDecidesTheHole) {
  for (const auto& [mode, holeColor] :
       {std::pair{1u, qRgb(255, 255, 255)}, {2u, qRgb(255, 0, 0)}}) {
    EmfBuilder b;
    redBrush(b).add(U_EMR_SETPOLYFILLMODE, {mode});
    b.add(U_EMR_POLYPOLYGON, {0,  0,  100, 100, 2,  8,  4,  4,  10, 10, 90, 10,
                              90, 90, 10,  90,  30, 30, 70, 30, 70, 70, 30, 70});
    SCOPED_TRACE(mode);
    expectPixels(b.finish(), {{20, 50, kRedPx}, {50, 50, holeColor}});
  }
}

TEST(EmfPlayback, FilledPathIsDrawn) {
  EmfBuilder b;
  redBrush(b)
      .add(U_EMR_BEGINPATH, QByteArray())
      .add(U_EMR_MOVETOEX, {20, 20})
      .add(U_EMR_LINETO, {80, 20})
      .add(U_EMR_LINETO, {80, 80})
      .add(U_EMR_LINETO, {20, 80})
      .add(U_EMR_CLOSEFIGURE, QByteArray())
      .add(U_EMR_ENDPATH, QByteArray())
      .add(U_EMR_FILLPATH, {0, 0, 100, 100});
  expectPixels(b.finish(), {{50, 50, kRedPx}, {10, 10, kWhitePx}});
}

// StretchDIBits: a 2 x 2 bitmap stretched over 40 x 40 pixels at (20, 30).
TEST(EmfPlayback, BitmapLandsAtItsDestination) {
  QImage src(2, 2, QImage::Format_RGB32);
  src.setPixel(0, 0, qRgb(255, 0, 0));
  src.setPixel(1, 0, qRgb(0, 255, 0));
  src.setPixel(0, 1, qRgb(0, 0, 255));
  src.setPixel(1, 1, qRgb(0, 0, 0));
  const QByteArray dib = B::dib24(src);
  QByteArray body = B::words32({0, 0, 0, 0, 20, 30, 0, 0, 2, 2, 80, 40, 80 + 40,
                                uint32_t(dib.size() - 40), 0, 0x00CC0020, 40, 40});
  body += dib;
  EmfBuilder b;
  b.add(U_EMR_STRETCHDIBITS, body);
  expectPixels(b.finish(), {{30, 40, kRedPx},
                            {50, 40, qRgb(0, 255, 0)},
                            {30, 60, qRgb(0, 0, 255)},
                            {50, 60, kBlackPx},
                            {10, 10, kWhitePx},
                            {70, 80, kWhitePx}});
}

// Palette entries are stored red, green, blue, flags; brushes given as
// PALETTEINDEX take their colour from the selected palette.
TEST(EmfPlayback, PaletteEntriesKeepTheirByteOrder) {
  constexpr uint32_t kPaletteIndex = 0x01000000, kGreen = 0x00FF00;
  EmfBuilder b;
  b.add(U_EMR_CREATEPALETTE, {1, 0x00020300, kRed, kBlue})  // version 0x300, two entries
      .add(U_EMR_SELECTPALETTE, {1})
      .add(U_EMR_CREATEBRUSHINDIRECT, {2, 0, kPaletteIndex | 0, 0})
      .add(U_EMR_SETPALETTEENTRIES, {1, 1, 1, kGreen})  // entry 1 becomes green
      .add(U_EMR_SELECTPALETTE, {1})
      .add(U_EMR_CREATEBRUSHINDIRECT, {3, 0, kPaletteIndex | 1, 0})
      .add(U_EMR_SELECTOBJECT, {U_NULL_PEN})
      .add(U_EMR_SELECTOBJECT, {2})
      .add(U_EMR_RECTANGLE, {0, 0, 50, 100})
      .add(U_EMR_SELECTOBJECT, {3})
      .add(U_EMR_RECTANGLE, {50, 0, 100, 100});
  expectPixels(b.finish(), {{25, 50, kRedPx}, {75, 50, qRgb(0, 255, 0)}});
}

QByteArray fontRecord(int height, int escapement) {
  QByteArray f =
      B::words32({1, uint32_t(height), 0, uint32_t(escapement), uint32_t(escapement), 700});
  f += QByteArray(8, '\0');
  for (QChar c : QStringLiteral("Arial")) B::put16(f, c.unicode());
  f.resize(4 + 92, '\0');
  return f;
}

QByteArray textRecord(int x, int y, const QString& text) {
  QByteArray t = B::words32(
      {0, 0, 0, 0, 1, 0, 0, uint32_t(x), uint32_t(y), uint32_t(text.size()), 60, 0x100, 0});
  for (QChar c : text) B::put16(t, c.unicode());
  return t;
}

// Ink rows of a 'T': the bar at the top is wide, the stem below is narrow.
int inkWidth(const QImage& img, int y) {
  int n = 0;
  for (int x = 0; x < img.width(); ++x) n += qGray(img.pixel(x, y)) < 128;
  return n;
}

TEST(EmfPlayback, TextIsUprightEvenWhenYPointsUp) {
  for (bool flip : {false, true}) {
    EmfBuilder b;
    if (flip) {
      b.add(U_EMR_SETMAPMODE, {U_MM_ANISOTROPIC})
          .add(U_EMR_SETWINDOWEXTEX, {100, 100})
          .add(U_EMR_SETVIEWPORTEXTEX, {100, uint32_t(-100)})
          .add(U_EMR_SETVIEWPORTORGEX, {0, 100});
    }
    b.add(U_EMR_EXTCREATEFONTINDIRECTW, fontRecord(-60, 0))
        .add(U_EMR_SELECTOBJECT, {1})
        .add(U_EMR_SETBKMODE, {1})
        .add(U_EMR_SETTEXTALIGN, {0})
        .add(U_EMR_EXTTEXTOUTW, textRecord(20, flip ? 90 : 10, QStringLiteral("T")));
    const QImage img = B::render(b.finish());
    int top = -1, bottom = -1;
    for (int y = 0; y < img.height(); ++y) {
      if (inkWidth(img, y) > 0) {
        if (top < 0) top = y;
        bottom = y;
      }
    }
    ASSERT_GT(bottom - top, 20) << "flip " << flip;
    EXPECT_LT(top, 30) << "flip " << flip;  // TA_TOP: the text hangs below the point
    EXPECT_GT(inkWidth(img, top + 2), 2 * inkWidth(img, bottom - 2)) << "flip " << flip;
  }
}

TEST(EmfPlayback, OpaqueBackgroundFillsBehindText) {
  EmfBuilder b;
  b.add(U_EMR_EXTCREATEFONTINDIRECTW, fontRecord(-40, 0))
      .add(U_EMR_SELECTOBJECT, {1})
      .add(U_EMR_SETBKMODE, {2})
      .add(U_EMR_SETBKCOLOR, {kBlue})
      .add(U_EMR_EXTTEXTOUTW, textRecord(10, 10, QStringLiteral("i i")));
  const QImage img = B::render(b.finish());
  int blue = 0;
  for (int x = 10; x < 40; ++x) blue += isColor(img, x, 20, qRgb(0, 0, 255), 60);
  EXPECT_GT(blue, 5);
}

TEST(EmfPlayback, UnknownRecordsAreSkippedAndCounted) {
  EmfBuilder b;
  b.add(250, {1, 2, 3});
  redBrush(b).add(U_EMR_RECTANGLE, {0, 0, 100, 100});
  const QByteArray data = b.finish();
  const auto drawing = readMetafile(data, QStringLiteral("x.emf"));
  const auto* m = dynamic_cast<const MetafileDrawing*>(drawing.get());
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->unsupportedRecords(), 1);
  expectPixels(data, {{50, 50, kRedPx}});
}

TEST(EmfPlayback, BadObjectIndexesAreIgnored) {
  EmfBuilder b;
  b.add(U_EMR_SELECTOBJECT, {12345})
      .add(U_EMR_DELETEOBJECT, {0xFFFFFFF0})
      .add(U_EMR_CREATEBRUSHINDIRECT, {0x7FFFFFFF, 0, kRed, 0})
      .add(U_EMR_RESTOREDC, {uint32_t(-50)})
      .add(U_EMR_RECTANGLE, {0, 0, 100, 100});
  // black outline of the default pen
  expectPixels(b.finish(), {{50, 50, kWhitePx}, {0, 50, kBlackPx}});
}

TEST(EmfPlayback, PaintsStretchedIntoTheTarget) {
  EmfBuilder b;
  redBrush(b).add(U_EMR_RECTANGLE, {0, 0, 50, 50});
  expectPixels(b.finish(), {{90, 40, kRedPx}, {110, 40, kWhitePx}}, QSize(200, 100));
}

// Each stock brush by its name, drawn after a red brush was selected: a
// wrong index shows the red or another grey.
struct StockBrushCase {
  const char* name;
  uint32_t stock;
  QRgb expected;
};

class EmfStockBrush : public ::testing::TestWithParam<StockBrushCase> {};

TEST_P(EmfStockBrush, SelectsTheNamedBrush) {
  const StockBrushCase& c = GetParam();
  EmfBuilder b;
  redBrush(b).add(U_EMR_SELECTOBJECT, {c.stock}).add(U_EMR_RECTANGLE, {10, 10, 90, 90});
  SCOPED_TRACE(c.name);
  expectPixels(b.finish(), {{50, 50, c.expected}}, {}, 8);
}

INSTANTIATE_TEST_SUITE_P(
    Stock, EmfStockBrush,
    ::testing::Values(StockBrushCase{"white", U_WHITE_BRUSH, qRgb(255, 255, 255)},
                      StockBrushCase{"light grey", U_LTGRAY_BRUSH, qRgb(192, 192, 192)},
                      StockBrushCase{"grey", U_GRAY_BRUSH, qRgb(128, 128, 128)},
                      StockBrushCase{"dark grey", U_DKGRAY_BRUSH, qRgb(64, 64, 64)},
                      StockBrushCase{"black", U_BLACK_BRUSH, qRgb(0, 0, 0)},
                      StockBrushCase{"null", U_NULL_BRUSH, qRgb(255, 255, 255)},
                      StockBrushCase{"DC brush", U_STOCK_OBJECT | 18, qRgb(255, 255, 255)}));

// A bitmap-less BITBLT (a fill by raster operation alone) changes the
// painter's composition and anti-aliasing for itself only: what is drawn
// next is neither combined with the page nor drawn with jagged edges.
TEST(EmfPlayback, RasterOperationEndsWithItsRecord) {
  constexpr uint32_t kOne = 0x3F800000;  // 1.0f
  EmfBuilder b;
  // BITBLT without a bitmap: bounds, destination, DSTINVERT, source corner,
  // identity source transform, background colour, no bitmap.
  QByteArray fill = B::words32({0, 0, 100, 100, 0, 0, 60, 100, U_DSTINVERT, 0, 0});
  fill += B::words32({kOne, 0, 0, kOne, 0, 0});
  fill += B::words32({0, U_DIB_RGB_COLORS, 0, 0, 0, 0});
  b.add(U_EMR_BITBLT, fill);
  // A region painted with the brush (no shape sets a composition of its
  // own), then an ellipse.
  redBrush(b)
      .add(U_EMR_PAINTRGN, {70, 10, 90, 30, 48, 32, 1, 1, 16, 70, 10, 90, 30, 70, 10, 90, 30})
      .add(U_EMR_ELLIPSE, {60, 40, 95, 90});
  // The white paper inverted, the region and the ellipse red.
  const QImage img =
      expectPixels(b.finish(), {{10, 10, kBlackPx}, {80, 20, kRedPx}, {80, 65, kRedPx}}, {}, 8);
  // Along the ellipse's curved edge pixels lie between red and white.
  int blended = 0;
  for (int y = 40; y < 90; ++y)
    for (int x = 60; x < 100; ++x) {
      const QRgb c = img.pixel(x, y);
      blended += qRed(c) == 255 && qGreen(c) > 20 && qGreen(c) < 235;
    }
  EXPECT_GT(blended, 10);
}

// Sizes and angles at the ends of their 32-bit range: a font whose width and
// escapement are INT32_MIN, a region framed with such a stroke. The sanitizer
// build traps on any arithmetic that overflows on them.
TEST(EmfPlayback, ExtremeFontAndStrokeValuesDrawSafely) {
  constexpr auto kMin = uint32_t(INT32_MIN);
  QByteArray font = B::words32({2, uint32_t(-30), kMin, kMin, kMin, 400});
  font.resize(4 + 92, '\0');
  EmfBuilder b;
  redBrush(b)
      .add(U_EMR_EXTCREATEFONTINDIRECTW, font)
      .add(U_EMR_SELECTOBJECT, {2})
      .add(U_EMR_EXTTEXTOUTW, textRecord(20, 20, QStringLiteral("W")))
      .add(U_EMR_FRAMERGN,
           {10, 10, 90, 90, 48, 1, kMin, kMin, 32, 1, 1, 16, 10, 10, 90, 90, 10, 10, 90, 90});
  // the frame's left edge
  expectPixels(b.finish(), {{12, 50, kRedPx}});
}

}  // namespace
}  // namespace ostrel::test
