// EMF+ records in hand-written EMFs, checked at the pixels a wrong reading
// would change: dual files, transforms, clipping, pens, brushes and images.
#include <gtest/gtest.h>
#include <uemf.h>
#include <upmf.h>

#include <QImage>
#include <QPainter>
#include <functional>

#include "tests/toolkit/metafile/EmfPlusBuilder.h"
#include "tests/toolkit/metafile/MetafileBuilder.h"
#include "toolkit/metafile/EmfPlusPlayer.h"
#include "toolkit/metafile/MetafileDrawing.h"
#include "toolkit/metafile/MetafileReader.h"
#include "toolkit/picture/PictureLimits.h"

namespace ostrel::test {
namespace {

using B = MetafileBuilder;
using P = EmfPlusBuilder;
constexpr uint16_t kPlus = U_PMR_RECFLAG;
constexpr uint16_t kColor = 0x8000;  // the brush field is a colour
constexpr QRgb kBluePx = 0xFF0000FF, kGreenPx = 0xFF00FF00;

// A 100 x 100 pixel EMF whose one comment holds the header and the records
// records() adds; world units are pixels.
QByteArray plusEmf(const std::function<void(P&)>& records, bool dual = false) {
  EmfBuilder emf;
  P plus;
  plus.header(dual);
  records(plus);
  plus.flushInto(emf);
  return emf.finish();
}

// Arial 20 pixels high.
QByteArray arial20() {
  return B::words32({P::kVersion, P::f(20), U_UT_Pixel, 0, 0, 5}) +
         B::utf16(QStringLiteral("Arial"));
}

// A driver string of text in black, from the font in slot 1.
QImage driverString(uint32_t options, const QString& text, const QByteArray& positionsAndMatrix,
                    bool matrix = false) {
  const QByteArray record =
      B::words32({P::argb(Qt::black), options, uint32_t(matrix), uint32_t(text.size())}) +
      B::utf16(text) + positionsAndMatrix;
  return B::render(plusEmf([&](P& p) {
    p.object(1, U_OT_Font, arial20());
    p.add(U_PMR_DRAWDRIVERSTRING | kPlus, kColor | 1, record);
  }));
}

// FillRects with a colour: x, y, width, height.
void fillRect(P& p, float x, float y, float w, float h, QColor c = Qt::red) {
  p.add(U_PMR_FILLRECTS | kPlus, kColor, B::words32({P::argb(c), 1}) + P::rectF(x, y, w, h));
}

// The GDI rectangle a dual file carries for programs without EMF+.
void gdiRectangle(EmfBuilder& emf, uint32_t left, uint32_t top, uint32_t right, uint32_t bottom) {
  emf.add(U_EMR_CREATEBRUSHINDIRECT, {1, 0, 0xFF0000, 0})
      .add(U_EMR_SELECTOBJECT, {1})
      .add(U_EMR_SELECTOBJECT, {U_NULL_PEN})
      .add(U_EMR_RECTANGLE, {left, top, right, bottom});
}

TEST(EmfPlusPlayback, DualFilesDrawTheirGdiRecordsOnlyAfterGetDC) {
  EmfBuilder emf;
  P plus;
  plus.header(true);
  fillRect(plus, 10, 10, 30, 30);
  plus.flushInto(emf);
  gdiRectangle(emf, 10, 10, 40, 40);  // the stand-in for the red square
  gdiRectangle(emf, 60, 10, 90, 40);  // one that is stand-in too
  plus.add(U_PMR_GETDC | kPlus, 0).flushInto(emf);
  gdiRectangle(emf, 10, 60, 40, 90);  // drawn: after GetDC
  plus.add(U_PMR_SETANTIALIASMODE | kPlus, 0).flushInto(emf);
  gdiRectangle(emf, 60, 60, 90, 90);  // a stand-in again
  plus.add(U_PMR_ENDOFFILE | kPlus, 0).flushInto(emf);
  gdiRectangle(emf, 45, 45, 55, 55);  // after the EMF+ end: GDI draws
  expectPixels(emf.finish(), {{20, 20, kRedPx},
                              {75, 25, kWhitePx},
                              {25, 75, kBluePx},
                              {75, 75, kWhitePx},
                              {50, 50, kBluePx}});
  // EMF+ records without their end record: GDI records after their last
  // comment are drawn, those between comments stand in still.
  EmfBuilder open;
  plus.header(true);
  fillRect(plus, 10, 10, 30, 30);
  plus.flushInto(open);
  gdiRectangle(open, 60, 10, 90, 40);
  plus.add(U_PMR_SETANTIALIASMODE | kPlus, 0).flushInto(open);
  gdiRectangle(open, 60, 60, 90, 90);
  expectPixels(open.finish(), {{20, 20, kRedPx}, {75, 25, kWhitePx}, {75, 75, kBluePx}});
}

TEST(EmfPlusPlayback, FilesWithOnlyEmfPlusDrawingAreDrawnAndEmptyOnesRefused) {
  expectPixels(plusEmf([](P& p) { fillRect(p, 0, 0, 50, 100); }), {{25, 50, kRedPx}});
  // A clear is drawing too: the whole frame takes its colour.
  expectPixels(plusEmf([](P& p) { p.add(U_PMR_CLEAR | kPlus, 0, {P::argb(Qt::green)}); }),
               {{2, 2, kGreenPx}, {97, 97, kGreenPx}});
  // Neither kind of drawing: refused, saying why.
  const QString refused = refusalOf(plusEmf([](P& p) { p.add(U_PMR_SETANTIALIASMODE | kPlus, 1); }),
                                    QStringLiteral("e.emf"));
  EXPECT_TRUE(refused.contains(QStringLiteral("neither GDI nor EMF+"))) << refused.toStdString();
}

TEST(EmfPlusPlayback, CountsBeyondTheRecordAndUnknownRecordsAreSkippedAndCounted) {
  const QByteArray data = plusEmf([](P& p) {
    // FillRects claiming 100,000 rectangles in one rectangle's bytes.
    p.add(U_PMR_FILLRECTS | kPlus, kColor,
          B::words32({P::argb(Qt::blue), 100000}) + P::rectF(0, 0, 100, 100));
    p.add(0x4077, 0, {1, 2});                        // no such record
    p.add(U_PMR_SERIALIZABLEOBJECT | kPlus, 0, {});  // known, not drawn
    fillRect(p, 0, 0, 50, 50);
  });
  const auto drawing = readMetafile(data, QStringLiteral("x.emf"));
  const auto* m = dynamic_cast<const MetafileDrawing*>(drawing.get());
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->unsupportedRecords(), 2);
  expectPixels(data, {{25, 25, kRedPx}, {75, 75, kWhitePx}});
  // A record whose data would run past its own end ends the comment.
  EmfBuilder emf;
  P plus;
  plus.header(false);
  fillRect(plus, 0, 0, 50, 50);
  QByteArray body = plus.comment();
  body += B::words16({U_PMR_FILLRECTS | kPlus, kColor}) + B::words32({12, 400});
  emf.add(U_EMR_COMMENT, body);
  const auto cut = readMetafile(emf.finish(), QStringLiteral("x.emf"));
  EXPECT_EQ(dynamic_cast<const MetafileDrawing*>(cut.get())->rejectedRecords(), 1);
}

// The red square 0..40 drawn after the transform records of each case.
// One path object drawn again and again costs by its points each time: a
// small file cannot make the player work through millions of them.
TEST(EmfPlusPlayback, RedrawingOneLargeObjectIsBoundedByTheBudget) {
  constexpr int kPoints = 8000, kDraws = 1200;
  QByteArray path = B::words32({P::kVersion, kPoints, 0});
  for (int i = 0; i < kPoints; ++i) path += B::words32({P::f(i % 100), P::f(i % 97)});
  path += QByteArray(1, '\0') + QByteArray(kPoints - 1, '\1');
  const QByteArray data = plusEmf([&](P& p) {
    p.object(1, U_OT_Path, path);
    p.object(2, U_OT_Pen, P::pen(1, Qt::red));
    for (int i = 0; i < kDraws; ++i) p.add(U_PMR_DRAWPATH | kPlus, 1, {2});
  });
  const auto drawing = readMetafile(data, QStringLiteral("many.emf"));
  QImage image(100, 100, QImage::Format_RGB32);
  QPainter painter(&image);
  drawing->paint(painter, QRectF(0, 0, 100, 100));
  const auto* m = dynamic_cast<const MetafileDrawing*>(drawing.get());
  ASSERT_NE(m, nullptr);
  // Each drawing pays 8 work a point: about 1,000 of them fit the budget.
  EXPECT_GT(m->partsLeftOut(), 100);
  EXPECT_LT(m->partsLeftOut(), kDraws - 900);
  EXPECT_LE(m->lastPaintWork().work, PictureLimits::kMaxDrawingWork);
}

TEST(EmfPlusPlayback, TransformsAndContainersComposeInTheOrderTheyAreGiven) {
  constexpr uint16_t kPost = 0x2000;
  struct Case {
    const char* name;
    std::function<void(P&)> transform;
    std::vector<Probe> probes;
  };
  const auto translate = [](P& p, float dx, float dy, uint16_t flags = 0) {
    p.add(U_PMR_TRANSLATEWORLDTRANSFORM | kPlus, flags, {P::f(dx), P::f(dy)});
  };
  const auto scale = [](P& p, float s, uint16_t flags = 0) {
    p.add(U_PMR_SCALEWORLDTRANSFORM | kPlus, flags, {P::f(s), P::f(s)});
  };
  const Case cases[] = {
      // Scale first, then move: 0..20 moved to 50..70.
      {"pre-multiplied",
       [&](P& p) { translate(p, 50, 0), scale(p, 0.5F); },
       {{60, 10, kRedPx}, {35, 10, kWhitePx}, {75, 10, kWhitePx}}},
      // Move, then scale the moved square: 50..90 halved to 25..45.
      {"post-multiplied",
       [&](P& p) { translate(p, 50, 0), scale(p, 0.5F, kPost); },
       {{35, 10, kRedPx}, {60, 10, kWhitePx}, {20, 10, kWhitePx}}},
      // A quarter turn about the origin, then down the page: y 0..40 to x -40..0.
      {"rotated",
       [&](P& p) {
         p.add(U_PMR_ROTATEWORLDTRANSFORM | kPlus, 0, {P::f(90)});
         translate(p, 60, 50, kPost);
       },
       {{40, 70, kRedPx}, {70, 70, kWhitePx}, {40, 40, kWhitePx}}},
      {"matrix set",
       [&](P& p) {
         p.add(U_PMR_SETWORLDTRANSFORM | kPlus, 0, {P::f(1), 0, 0, P::f(1), P::f(50), P::f(50)});
       },
       {{70, 70, kRedPx}, {20, 20, kWhitePx}}},
      // A page in inches at a scale of 1/400: a world unit is 0.24 pixels at 96 dpi.
      {"page unit and scale",
       [&](P& p) { p.add(U_PMR_SETPAGETRANSFORM | kPlus, U_UT_Inch, {P::f(0.0025F)}); },
       {{5, 5, kRedPx}, {12, 12, kWhitePx}}},
      {"saved and restored",
       [&](P& p) {
         p.add(U_PMR_SAVE | kPlus, 0, {7});
         translate(p, 50, 50);
         p.add(U_PMR_RESTORE | kPlus, 0, {8});  // names no saved state
         p.add(U_PMR_RESTORE | kPlus, 0, {7});
       },
       {{20, 20, kRedPx}, {70, 70, kWhitePx}}},
      {"multiplied after",
       [&](P& p) {
         p.add(U_PMR_MULTIPLYWORLDTRANSFORM | kPlus, kPost,
               {P::f(0.5F), 0, 0, P::f(0.5F), P::f(50), 0});
       },
       {{60, 10, kRedPx}, {80, 10, kWhitePx}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    expectPixels(plusEmf([&](P& p) {
                   c.transform(p);
                   fillRect(p, 0, 0, 40, 40);
                 }),
                 c.probes);
  }
  // A container whose 100-unit square lands on the bottom-right quarter, in
  // inches at 96 dpi (dst 0.5..1 inch): the square filled inside it covers
  // that quarter only; after its end the host's world is back.
  expectPixels(plusEmf([](P& p) {
                 p.add(
                     U_PMR_BEGINCONTAINER | kPlus, U_UT_Inch << 8,
                     P::rectF(0.5F, 0.5F, 0.5F, 0.5F) + P::rectF(0, 0, 100, 100) + B::words32({3}));
                 fillRect(p, 0, 0, 100, 100);
                 p.add(U_PMR_ENDCONTAINER | kPlus, 0, {3});
                 fillRect(p, 0, 0, 20, 20, Qt::blue);
               }),
               {{75, 75, kRedPx}, {40, 40, kWhitePx}, {10, 10, kBluePx}});
  // Without parameters: the world set inside starts from the host's.
  expectPixels(plusEmf([](P& p) {
                 p.add(U_PMR_TRANSLATEWORLDTRANSFORM | kPlus, 0, {P::f(50), 0});
                 p.add(U_PMR_BEGINCONTAINERNOPARAMS | kPlus, 0, {4});
                 p.add(U_PMR_SETWORLDTRANSFORM | kPlus, 0, {P::f(1), 0, 0, P::f(1), 0, P::f(50)});
                 fillRect(p, 0, 0, 20, 20);
                 p.add(U_PMR_ENDCONTAINER | kPlus, 0, {4});
                 fillRect(p, 0, 0, 20, 20, Qt::blue);
               }),
               {{60, 60, kRedPx}, {10, 60, kWhitePx}, {60, 10, kBluePx}, {10, 10, kWhitePx}});
}

TEST(EmfPlusPlayback, AntiAliasingFollowsItsRecord) {
  const auto blended = [](uint16_t mode) {
    return blendedRed(B::render(plusEmf([&](P& p) {
      p.add(U_PMR_SETANTIALIASMODE | kPlus, mode);
      p.add(U_PMR_FILLPOLYGON | kPlus, kColor,
            {P::argb(Qt::red), 3, P::f(10), P::f(10), P::f(90), P::f(30), P::f(10), P::f(90)});
    })));
  };
  EXPECT_GT(blended(1), 20);
  EXPECT_EQ(blended(0), 0);
}

TEST(EmfPlusPlayback, ClipRectanglesCombineInEveryMode) {
  // The clip in force is x 0..60, the new rectangle x 40..100; the page is
  // then filled: probes at x 20 (old only), 50 (both), 80 (new only).
  const struct {
    EmfPlusPlayer::Combine mode;
    QRgb oldOnly, both, newOnly;
  } cases[] = {
      {EmfPlusPlayer::Combine::Replace, kWhitePx, kRedPx, kRedPx},
      {EmfPlusPlayer::Combine::Intersect, kWhitePx, kRedPx, kWhitePx},
      {EmfPlusPlayer::Combine::Union, kRedPx, kRedPx, kRedPx},
      {EmfPlusPlayer::Combine::Xor, kRedPx, kWhitePx, kRedPx},
      {EmfPlusPlayer::Combine::Exclude, kRedPx, kWhitePx, kWhitePx},
      {EmfPlusPlayer::Combine::Complement, kWhitePx, kWhitePx, kRedPx},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(int(c.mode));
    expectPixels(plusEmf([&](P& p) {
                   p.add(U_PMR_SETCLIPRECT | kPlus, 0, P::rectF(0, 0, 60, 100));
                   p.add(U_PMR_SETCLIPRECT | kPlus, uint16_t(int(c.mode) << 8),
                         P::rectF(40, 0, 60, 100));
                   fillRect(p, 0, 0, 100, 100);
                 }),
                 {{20, 50, c.oldOnly}, {50, 50, c.both}, {80, 50, c.newOnly}});
  }
  // Offset moves the clip; reset lifts it.
  expectPixels(plusEmf([](P& p) {
                 p.add(U_PMR_SETCLIPRECT | kPlus, 0, P::rectF(0, 0, 30, 50));
                 p.add(U_PMR_OFFSETCLIP | kPlus, 0, {P::f(50), 0});
                 fillRect(p, 0, 0, 100, 50);
                 p.add(U_PMR_RESETCLIP | kPlus, 0);
                 fillRect(p, 0, 50, 100, 50, Qt::blue);
               }),
               {{60, 25, kRedPx}, {20, 25, kWhitePx}, {90, 25, kWhitePx}, {20, 75, kBluePx}});
}

TEST(EmfPlusPlayback, PathsAndRegionObjectsFillAndClip) {
  constexpr int kPath = U_OT_Path, kRegion = U_OT_Region, kBrush = U_OT_Brush;
  expectPixels(plusEmf([](P& p) {
                 // A triangle: start, line, line closing the figure.
                 p.object(1, kPath, P::path({10, 10, 90, 10, 10, 90}, {0, 1, 0x81}));
                 p.object(2, kBrush, P::solidBrush(Qt::green));
                 p.add(U_PMR_FILLPATH | kPlus, 1, {2});
                 // A region: the rectangle x 0..100 less x 0..50, in the lower half.
                 p.object(3, kRegion,
                          B::words32({P::kVersion, 2, U_RNDT_Exclude, U_RNDT_Rect}) +
                              P::rectF(0, 60, 100, 40) + B::words32({U_RNDT_Rect}) +
                              P::rectF(0, 60, 50, 40));
                 p.add(U_PMR_SETCLIPREGION | kPlus, 3);
                 fillRect(p, 0, 0, 100, 100);
               }),
               {{20, 20, kGreenPx}, {80, 40, kWhitePx}, {25, 80, kWhitePx}, {75, 80, kRedPx}});
}

TEST(EmfPlusPlayback, PensStrokeInWorldUnitsWithTheirDashesAndCaps) {
  // A line along y = 50 from x 25 to 75, its pen 5 units wide, on a world
  // scaled by 2 about the centre: 10 pixels wide from x 0 to 100.
  const auto line = [](P& p, const QByteArray& pen) {
    p.object(1, U_OT_Pen, pen);
    p.add(U_PMR_SETWORLDTRANSFORM | kPlus, 0, {P::f(2), 0, 0, P::f(2), P::f(-50), P::f(-50)});
    p.add(U_PMR_DRAWLINES | kPlus, 1, {2, P::f(25), P::f(50), P::f(75), P::f(50)});
  };
  const std::pair<QByteArray, std::vector<Probe>> lines[] = {
      {P::pen(5, Qt::red),
       {{50, 46, kRedPx},
        {50, 54, kRedPx},
        {50, 43, kWhitePx},
        {50, 57, kWhitePx},
        {2, 50, kRedPx},
        {98, 50, kRedPx}}},
      // Dashes three widths long with gaps of one: 30 px on, 10 off, from x 0.
      {P::pen(5, Qt::red, U_PD_LineStyle, {1}),
       {{15, 50, kRedPx}, {35, 50, kWhitePx}, {55, 50, kRedPx}, {75, 50, kWhitePx}}},
      // The dash offset moves the pattern along by whole pen widths.
      {P::pen(5, Qt::red, U_PD_LineStyle | U_PD_DLOffset, {1, P::f(2)}),
       {{5, 50, kRedPx}, {15, 50, kWhitePx}, {25, 50, kRedPx}}},
      // A custom dash pattern, given alone, is the custom style.
      {P::pen(5, Qt::red, U_PD_DLData, {2, P::f(1), P::f(3)}),
       {{5, 50, kRedPx}, {25, 50, kWhitePx}, {45, 50, kRedPx}}},
  };
  for (const auto& [pen, probes] : lines)
    expectPixels(plusEmf([&](P& p) { line(p, pen); }), probes);
  // An arrow at the start of a bent line points back along its first
  // segment: two widths long (x 20..32 for a pen 6 wide), two across.
  expectPixels(plusEmf([&](P& p) {
                 p.object(1, U_OT_Pen, P::pen(6, Qt::red, U_PD_StartCap, {U_LCT_ArrowAnchor}));
                 p.add(U_PMR_DRAWLINES | kPlus, 1,
                       {3, P::f(20), P::f(50), P::f(80), P::f(50), P::f(80), P::f(90)});
               }),
               {{30, 45, kRedPx}, {30, 54, kRedPx}, {40, 45, kWhitePx}, {16, 50, kWhitePx}});
  // A square anchor at the start: two widths across (10 pixels) around x 0,
  // over a line 5 pixels wide.
  expectPixels(
      plusEmf([&](P& p) { line(p, P::pen(2.5F, Qt::red, U_PD_StartCap, {U_LCT_SquareAnchor})); }),
      {{2, 46, kRedPx}, {2, 57, kWhitePx}, {50, 46, kWhitePx}, {50, 50, kRedPx}});
  // An adjustable arrow four widths across and three long, filled, at twice
  // the pen's width: its tip at x 80, its base 24 pixels back and 32 across.
  expectPixels(plusEmf([&](P& p) {
                 p.object(1, U_OT_Pen,
                          P::pen(4, Qt::red, U_PD_CustomEndCap,
                                 {60, P::kVersion, 1, P::f(4), P::f(3), 0, 1, 0, 0, 0, P::f(10),
                                  P::f(2), 0, 0, 0, 0}));
                 p.add(U_PMR_DRAWLINES | kPlus, 1, {2, P::f(20), P::f(50), P::f(80), P::f(50)});
               }),
               {{62, 42, kRedPx}, {62, 32, kWhitePx}, {30, 42, kWhitePx}});
  // A custom arrow three widths long with a base inset of two and a half,
  // on a world of 50 pixels a unit: the line, 10 pixels wide, stops 25 short
  // of x 80, so beside the arrow's narrow tip there is no line.
  const QByteArray arrow = P::path({1.5F, -3, 0, 0, -1.5F, -3}, {0, 1, 0x81}) + QByteArray(1, 0);
  const QByteArray cap = B::words32({P::kVersion, 0, 1, 0, P::f(2.5F), 0, 0, 0, P::f(10), P::f(1),
                                     0, 0, 0, 0, uint32_t(arrow.size())}) +
                         arrow;
  expectPixels(plusEmf([&](P& p) {
                 p.object(1, U_OT_Pen,
                          B::words32({P::kVersion, 0, U_PD_CustomEndCap, 0, P::f(0.2F),
                                      uint32_t(cap.size())}) +
                              cap + P::solidBrush(Qt::red));
                 p.add(U_PMR_SETWORLDTRANSFORM | kPlus, 0, {P::f(50), 0, 0, P::f(50), 0, 0});
                 p.add(U_PMR_DRAWLINES | kPlus, 1, {2, P::f(0.4F), P::f(1), P::f(1.6F), P::f(1)});
               }),
               {{77, 54, kWhitePx}, {62, 50, kRedPx}, {40, 53, kRedPx}});
}

TEST(EmfPlusPlayback, GradientAndHatchBrushesPaintTheirColours) {
  // A linear gradient over x 0..100 from red to blue, and with a blend that
  // holds red to the middle.
  const auto gradient = [](uint32_t flags, const QByteArray& blend, uint32_t wrap = 4,
                           float width = 100) {
    return B::words32({P::kVersion, U_BT_LinearGradient, flags, wrap}) +
           P::rectF(0, 0, width, 100) + B::words32({P::argb(Qt::red), P::argb(Qt::blue), 0, 0}) +
           blend;
  };
  const auto fillWith = [](const QByteArray& brush) {
    return plusEmf([&](P& p) {
      p.object(1, U_OT_Brush, brush);
      p.add(U_PMR_FILLRECTS | kPlus, 0, B::words32({1, 1}) + P::rectF(0, 0, 100, 100));
    });
  };
  expectPixels(fillWith(gradient(0, {})),
               {{2, 50, kRedPx}, {97, 50, kBluePx}, {50, 50, qRgb(128, 0, 128)}}, {}, 20);
  // Colours blend as they are, alpha beside the others: halfway from a
  // clear red to blue is half-opaque purple, not a paler blue.
  expectPixels(
      fillWith(B::words32({P::kVersion, U_BT_LinearGradient, 0, 0}) + P::rectF(0, 0, 100, 100) +
               B::words32({P::argb(QColor(255, 0, 0, 0)), P::argb(Qt::blue), 0, 0})),
      {{50, 50, qRgb(191, 128, 191)}}, {}, 20);
  const QByteArray factors =
      B::words32({3, P::f(0), P::f(0.5F), P::f(1), P::f(0), P::f(0), P::f(1)});
  expectPixels(fillWith(gradient(0x08, factors)),
               {{25, 50, kRedPx}, {48, 50, kRedPx}, {75, 50, qRgb(128, 0, 128)}}, {}, 20);
  // Past its rectangle (x 0..50) a tiled gradient starts again; one whose
  // tiles flip across goes back; flipping them up and down changes nothing.
  for (const auto& [wrap, next, last] :
       {std::tuple{0U, kRedPx, kBluePx}, std::tuple{1U, kBluePx, kRedPx},
        std::tuple{2U, kRedPx, kBluePx}, std::tuple{3U, kBluePx, kRedPx}}) {
    SCOPED_TRACE(wrap);
    expectPixels(fillWith(gradient(0, {}, wrap, 50)), {{52, 50, next}, {97, 50, last}}, {}, 40);
  }
  // Preset colours: green in the middle.
  const QByteArray colors = B::words32(
      {3, P::f(0), P::f(0.5F), P::f(1), P::argb(Qt::red), P::argb(Qt::green), P::argb(Qt::blue)});
  expectPixels(fillWith(gradient(0x04, colors)), {{50, 50, kGreenPx}, {2, 50, kRedPx}}, {}, 20);
  // A path gradient: red at the centre, blue at the boundary, nothing outside
  // it; between them its colours run along shrunken copies of the boundary, a
  // corner's diagonal as far as its sides.
  const QByteArray path =
      B::words32({P::kVersion, U_BT_PathGradient, 0, 0, P::argb(Qt::red), P::f(50), P::f(50), 1,
                  P::argb(Qt::blue), 4, P::f(20), P::f(20), P::f(80), P::f(20), P::f(80), P::f(80),
                  P::f(20), P::f(80)});
  expectPixels(
      fillWith(path),
      {{50, 50, kRedPx}, {50, 22, kBluePx}, {10, 10, kWhitePx}, {71, 71, qRgb(77, 0, 179)}}, {},
      50);
  // A hatch: its lines in the foreground, the background between them.
  const QImage hatch = B::render(fillWith(B::words32(
      {P::kVersion, U_BT_HatchFill, U_HSP_Horizontal, P::argb(Qt::black), P::argb(Qt::green)})));
  int black = 0, green = 0;
  for (int y = 10; y < 90; ++y) {
    black += isColor(hatch, 50, y, kBlackPx, 20);
    green += isColor(hatch, 50, y, kGreenPx, 20);
  }
  EXPECT_GT(black, 5);
  EXPECT_GT(green, 5 * black);
}

TEST(EmfPlusPlayback, ImagesLandOnTheirDestination) {
  // A 2 x 2 bitmap, 32 bits ARGB, rows top down: red, green / blue, black.
  const QByteArray bitmap = B::words32({P::kVersion, U_IDT_Bitmap, 2, 2, 8, 0x0026200A, U_BDT_Pixel,
                                        0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF000000});
  // The image in slot 1, its source rectangle drawn onto the record's destination.
  const auto draw = [](const QByteArray& record, uint16_t type, const QByteArray& image,
                       float side = 2) {
    return plusEmf([&](P& p) {
      p.object(1, U_OT_Image, image);
      p.add(type | kPlus, 1, B::words32({0xFF, U_UT_Pixel}) + P::rectF(0, 0, side, side) + record);
    });
  };
  const QByteArray square = draw(P::rectF(20, 20, 40, 40), U_PMR_DRAWIMAGE, bitmap);
  expectPixels(square, {{30, 30, kRedPx},
                        {50, 30, kGreenPx},
                        {30, 50, kBluePx},
                        {50, 50, kBlackPx},
                        {10, 10, kWhitePx},
                        {70, 70, kWhitePx}});
  // Three points: top left, top right, bottom left; here mirrored across.
  expectPixels(draw(B::words32({3, P::f(60), P::f(20), P::f(20), P::f(20), P::f(60), P::f(60)}),
                    U_PMR_DRAWIMAGEPOINTS, bitmap),
               {{30, 30, kGreenPx}, {50, 30, kRedPx}, {30, 50, kBlackPx}});
  // A metafile inside: an EMF of a blue rectangle on its left half.
  EmfBuilder inner;
  gdiRectangle(inner, 0, 0, 50, 100);
  const QByteArray emf = inner.finish();
  const QByteArray metafile =
      B::words32({P::kVersion, U_IDT_Metafile, U_MDT_Emf, uint32_t(emf.size())}) + emf;
  expectPixels(draw(P::rectF(50, 0, 50, 50), U_PMR_DRAWIMAGE, metafile, 100),
               {{60, 20, kBluePx}, {90, 20, kWhitePx}, {30, 20, kWhitePx}, {60, 70, kWhitePx}});
  // A placeable WMF inside, in twips (1000 of them, 67 pixels, a side), a
  // red rectangle on its left half; it carries the EMF it was converted from,
  // which is what is drawn, in the WMF's place. GDI+ pads the placeable
  // header to 24 bytes and counts the size without it.
  WmfBuilder wmf(true, 1000, 1000, 1440);
  wmf.add(0x0626, B::emfPiece(emf, 0, int(emf.size()), 1));
  wmf.add(0x02FC, {0, 0xFF, 0, 0, 0}).add(0x012D, {0}).add(0x041B, {1000, 500, 0, 0});
  const QByteArray placeable = wmf.finish();
  const QByteArray padded = placeable.left(22) + QByteArray(2, '\0') + placeable.mid(22);
  const QByteArray wmfImage = B::words32({P::kVersion, U_IDT_Metafile, U_MDT_WmfPlaceable,
                                          uint32_t(placeable.size() - 22)}) +
                              padded;
  expectPixels(draw(P::rectF(0, 0, 100, 100), U_PMR_DRAWIMAGE, wmfImage, 1000),
               {{20, 80, kBluePx}, {80, 20, kWhitePx}});
}

TEST(EmfPlusPlayback, DriverStringsPlaceEachGlyphAndDrawHugeAndSkewedOnesAsOutlines) {
  // "WWW" at 20 pixels: the ink's width shows where the glyphs went.
  const auto inkWidth = [](uint32_t options, std::initializer_list<float> xs) {
    QByteArray positions;
    for (float x : xs) positions += B::words32({P::f(x), P::f(50)});
    const auto [left, right] = inkSpan(driverString(options, QStringLiteral("WWW"), positions));
    return right - left;
  };
  const int spread = inkWidth(U_DSO_CmapLookup, {10, 40, 70});
  const int stacked = inkWidth(U_DSO_CmapLookup, {10, 10, 10});
  const int following = inkWidth(U_DSO_CmapLookup | U_DSO_RealizedAdvance, {10, 0, 0});
  EXPECT_NEAR(spread, 60 + stacked, 2);
  EXPECT_GT(stacked, 10);
  EXPECT_NEAR(following, 3 * stacked, stacked / 2 + 2);  // at the font's own advances
  // Glyph numbers of a font that is not here draw nothing.
  EXPECT_EQ(inkWidth(0, {10, 40, 70}), -101);
  // Qt's glyph cache fails on glyphs that are huge or stretched far more one
  // way than the other, and could crash on them: such text is still drawn.
  // Glyph transforms (of the glyphs and their origins alike) that keep some
  // of the text on the page: 200 times the size, squeezed across, sheared,
  // stretched upside down.
  // And a shear of thousands, which crashed Qt's cache, whatever it leaves.
  const struct {
    QString text;
    QTransform glyphs;
    int leastInk;
  } cases[] = {
      {QStringLiteral("l"), QTransform(200, 0, 0, 200, -350, 1000), 40},
      {QStringLiteral("WWW"), QTransform(0.2, 0, 0, 3, 40, 80), 40},
      {QStringLiteral("WWW"), QTransform(1, 0, 10, 1, 80, 60), 40},
      {QStringLiteral("WWW"), QTransform(1, 0, 0, -60, 30, 20), 40},
      {QStringLiteral("WWW"), QTransform(1.1, 0, -6000, 0.5, 50, 50), 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.glyphs.m11() * 1000 + c.glyphs.m22());
    QByteArray record;
    for (int i = 0; i < c.text.size(); ++i) record += B::words32({P::f(10.F * i), 0});
    const QTransform& m = c.glyphs;
    for (qreal v : {m.m11(), m.m12(), m.m21(), m.m22(), m.dx(), m.dy()})
      record += B::words32({P::f(float(v))});
    EXPECT_GE(inkIn(driverString(U_DSO_CmapLookup, c.text, record, true)), c.leastInk);
  }
}

TEST(EmfPlusPlayback, ObjectsInPiecesAreReadOnceWhole) {
  const QByteArray brush = P::solidBrush(Qt::blue);
  expectPixels(plusEmf([&](P& p) {
                 // Each piece says what the whole comes to; the last says it ends.
                 p.add(U_PMR_OBJECT | kPlus, 0x8000 | (U_OT_Brush << 8) | 3,
                       B::words32({uint32_t(brush.size())}) + brush.left(8));
                 p.add(U_PMR_OBJECT | kPlus, (U_OT_Brush << 8) | 3, brush.mid(8));
                 p.add(U_PMR_FILLRECTS | kPlus, 0, B::words32({3, 1}) + P::rectF(0, 0, 50, 50));
               }),
               {{25, 25, kBluePx}});
  // Some writers flag the last piece as continued too: the whole is read once
  // its announced size is in.
  expectPixels(plusEmf([&](P& p) {
                 for (const QByteArray& piece : {brush.left(8), brush.mid(8)})
                   p.add(U_PMR_OBJECT | kPlus, 0x8000 | (U_OT_Brush << 8) | 3,
                         B::words32({uint32_t(brush.size())}) + piece);
                 p.add(U_PMR_FILLRECTS | kPlus, 0, B::words32({3, 1}) + P::rectF(0, 0, 50, 50));
               }),
               {{25, 25, kBluePx}});
}

TEST(EmfPlusPlayback, TextIsPlacedByItsFormat) {
  // "WWW" 20 pixels high in a box 80 wide, aligned near, centre and far
  // by the format in slot 2.
  const auto spanOf = [](uint32_t alignment, uint32_t formatId = 2) {
    return inkSpan(B::render(plusEmf([&](P& p) {
      p.object(1, U_OT_Font, arial20());
      p.object(2, U_OT_StringFormat, B::words32({P::kVersion, 0, 0, alignment, 0}));
      p.add(U_PMR_DRAWSTRING | kPlus, kColor | 1,
            B::words32({P::argb(Qt::black), formatId, 3}) + P::rectF(10, 40, 80, 30) +
                B::utf16(QStringLiteral("WWW")));
    })));
  };
  const auto [nearLeft, nearRight] = spanOf(0);
  const auto [midLeft, midRight] = spanOf(1);
  const auto [farLeft, farRight] = spanOf(2);
  ASSERT_GT(nearRight - nearLeft, 20);
  EXPECT_NEAR(nearLeft, 10, 2);
  EXPECT_NEAR(farRight, 90, 2);
  EXPECT_NEAR((midLeft + midRight) / 2.0, 50, 2);
  EXPECT_NEAR(midRight - midLeft, nearRight - nearLeft, 1);
  // Without a format (none in slot 3), near it is.
  EXPECT_NEAR(spanOf(2, 3).first, 10, 2);
}

}  // namespace
}  // namespace ostrel::test
