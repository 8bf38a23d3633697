// The EMF+ objects read from their bytes, and what they give the player.
#include "toolkit/metafile/EmfPlusObjects.h"

#include <gtest/gtest.h>

#include <functional>

#include "tests/toolkit/metafile/EmfPlusBuilder.h"
#include "toolkit/metafile/DibCache.h"
#include "toolkit/metafile/EmfPlusImage.h"
#include "toolkit/metafile/EmfPlusPath.h"
#include "toolkit/metafile/EmfPlusReader.h"
#include "toolkit/metafile/EmfPlusTextLayout.h"

namespace ostrel::test {
namespace {

using B = MetafileBuilder;
using P = EmfPlusBuilder;

TEST(EmfPlusObjects, PensCarryTheirOptionalFieldsInFlagOrder) {
  DibCache bitmaps;
  const QByteArray bytes = P::pen(
      4, Qt::blue, U_PD_StartCap | U_PD_EndCap | U_PD_Join | U_PD_MiterLimit | U_PD_LineStyle,
      {U_LCT_Round, U_LCT_ArrowAnchor, U_LJT_MiterClipped, P::f(3), 3});
  EmfPlusReader r = P::reader(bytes);
  const EmfPlusPen pen = EmfPlusPen::read(r, bitmaps, 0);
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(pen.width(), 4);
  EXPECT_EQ(pen.brush().color(), QColor(Qt::blue));
  EXPECT_EQ(pen.endCap().kind(), EmfPlusLineCap::Kind::ArrowAnchor);
  const QPen q = pen.qtPen(8);
  EXPECT_EQ(q.widthF(), 8);
  EXPECT_EQ(q.joinStyle(), Qt::MiterJoin);
  EXPECT_EQ(q.miterLimit(), 3);
  EXPECT_EQ(q.dashPattern(), (QList<qreal>{3, 1, 1, 1}));  // dash dot
  EXPECT_EQ(q.capStyle(), Qt::FlatCap);                    // dashes take the dash cap
  EXPECT_FALSE(q.isCosmetic());
  EXPECT_TRUE(pen.qtPen(0).isCosmetic());
  // A plain miter past its limit is a bevel, as Qt's SVG miter is.
  EmfPlusReader plain = P::reader(P::pen(1, Qt::red, U_PD_Join | U_PD_EndCap, {U_LCT_Square, 0}));
  const QPen square = EmfPlusPen::read(plain, bitmaps, 0).qtPen(1);
  EXPECT_EQ(square.joinStyle(), Qt::SvgMiterJoin);
  EXPECT_EQ(square.capStyle(), Qt::SquareCap);
  EXPECT_EQ(EmfPlusPen::dashPattern(5, {2, 1, 3}), (QList<qreal>{2, 1, 3, 3}));
  EXPECT_EQ(EmfPlusPen::dashPattern(2, {}), (QList<qreal>{1, 1}));
  EXPECT_TRUE(EmfPlusPen::dashPattern(0, {}).isEmpty());
  // Flags that promise fields the writer left out: the brush is found where
  // the next object's version is.
  EmfPlusReader odd = P::reader(B::words32({P::kVersion, 0, U_PD_MiterLimit, 0, P::f(2), 7, 7}) +
                                P::solidBrush(Qt::green));
  EXPECT_EQ(EmfPlusPen::read(odd, bitmaps, 0).brush().color(), QColor(Qt::green));
  // Objects without versions at all: the brush is read where the pen ends.
  EmfPlusReader bare = P::reader(B::words32({0, 0, 0, 0, P::f(2), 0, 0, P::argb(Qt::green)}));
  EXPECT_EQ(EmfPlusPen::read(bare, bitmaps, 0).brush().color(), QColor(Qt::green));
}

TEST(EmfPlusObjects, CapShapesSitAtTheLineEndAlongTheLine) {
  // An arrow two widths long and two across, its tip at the end.
  const EmfPlusLineCap arrow = EmfPlusLineCap::ofType(U_LCT_ArrowAnchor);
  EXPECT_EQ(arrow.shapeAt({10, 0}, {0, 0}, 2).boundingRect(), QRectF(6, -2, 4, 4));
  // Arriving downwards, the arrow points down.
  EXPECT_EQ(arrow.shapeAt({0, 10}, {0, 0}, 2).boundingRect(), QRectF(-2, 6, 4, 4));
  EXPECT_TRUE(arrow.shapeAt({1, 1}, {1, 1}, 2).isEmpty());  // no direction
  // A custom cap: its own path to fill, scaled by the pen width and its
  // width scale.
  const QByteArray triangle = P::path({-1, 0, 0, 1, 1, 0}, {0, 1, 0x81});
  EmfPlusReader custom = P::reader(B::words32({P::kVersion, 0, 1, 0, 0, 0, 0, 0, P::f(10), P::f(2),
                                               0, 0, 0, 0, uint32_t(triangle.size())}) +
                                   triangle);
  const EmfPlusLineCap path = EmfPlusLineCap::read(custom);
  EXPECT_EQ(path.kind(), EmfPlusLineCap::Kind::Path);
  EXPECT_TRUE(path.filled());
  // One unit along, twice three wide.
  EXPECT_EQ(path.shapeAt({10, 0}, {0, 0}, 3).boundingRect(), QRectF(10, -6, 6, 12));
  EXPECT_EQ(EmfPlusLineCap::ofType(U_LCT_Round).kind(), EmfPlusLineCap::Kind::None);
  // An adjustable arrow: width 4 and height 3 pen widths, filled.
  EmfPlusReader r = P::reader(
      B::words32({P::kVersion, 1, P::f(4), P::f(3), 0, 1, 0, 0, 0, P::f(10), P::f(1), 0, 0, 0, 0}));
  const EmfPlusLineCap adjustable = EmfPlusLineCap::read(r);
  EXPECT_EQ(adjustable.kind(), EmfPlusLineCap::Kind::Arrow);
  EXPECT_TRUE(adjustable.filled());
  const QRectF box = adjustable.shapeAt({0, 0}, {-10, 0}, 1).boundingRect();
  EXPECT_NEAR(box.left(), -3, 1e-9);
  EXPECT_NEAR(box.height(), 4, 1e-9);
}

// Every pixel format: two pixels a row, rows top down, each row padded to
// four bytes; indexed formats carry their palette first.
TEST(EmfPlusObjects, BitmapsDecodeEveryPixelFormat) {
  const auto decode = [](uint32_t format, const QByteArray& rows, int height = 1,
                         const QByteArray& palette = {}) {
    DibCache bitmaps;
    const uint32_t stride = uint32_t(rows.size() / height);
    EmfPlusReader r = P::reader(
        B::words32({P::kVersion, U_IDT_Bitmap, 2, uint32_t(height), stride, format, U_BDT_Pixel}) +
        palette + rows);
    return EmfPlusImage::read(r, bitmaps, 0).bitmap();
  };
  const auto bytes = [](std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values) out.append(char(v));
    return out;
  };
  struct Case {
    uint32_t format;
    QByteArray rows;
    QRgb first, second;
  };
  const QByteArray palette = B::words32({0, 4, 0xFF000000, 0xFFFF0000, 0xFF00FF00, 0x800000FF});
  const Case cases[] = {
      {0x00030101, bytes({0x40, 0, 0, 0}), 0xFF000000, 0xFFFF0000},           // 1 bit: 0, 1
      {0x00030402, bytes({0x23, 0, 0, 0}), 0xFF00FF00, 0x800000FF},           // 4 bits: 2, 3
      {0x00030803, bytes({3, 1, 0, 0}), 0x800000FF, 0xFFFF0000},              // 8 bits: 3, 1
      {0x00101004, bytes({0, 0x80, 0, 0xFF}), 0xFF808080, 0xFFFFFFFF},        // grey, high bytes
      {0x00021005, bytes({0x1F, 0x00, 0xE0, 0x03}), 0xFF0000FF, 0xFF00FF00},  // 5-5-5
      {0x00021006, bytes({0x00, 0xF8, 0xE0, 0x07}), 0xFFFF0000, 0xFF00FF00},  // 5-6-5
      {0x00061007, bytes({0x00, 0xFC, 0x1F, 0x00}), 0xFFFF0000, 0x000000FF},  // alpha bit
      {0x00021808, bytes({1, 2, 3, 4, 5, 6, 0, 0}), qRgb(3, 2, 1), qRgb(6, 5, 4)},
      {0x00022009, B::words32({0x00112233, 0x80445566}), 0xFF112233, 0xFF445566},
      {0x0026200A, B::words32({0x80112233, 0x00445566}), 0x80112233, 0x00445566},
      {0x0010300C, bytes({0, 1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6}), qRgb(3, 2, 1), qRgb(6, 5, 4)},
      {0x0034400D, bytes({0, 1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0, 7, 0, 8}), qRgba(3, 2, 1, 4),
       qRgba(7, 6, 5, 8)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format);
    const bool indexed = c.format & 0x00010000;
    const QImage image = decode(c.format, c.rows, 1, indexed ? palette : QByteArray());
    ASSERT_EQ(image.size(), QSize(2, 1));
    EXPECT_EQ(image.pixel(0, 0), c.first);
    EXPECT_EQ(image.pixel(1, 0), c.second);
  }
  // Premultiplied pixels stay premultiplied.
  const QImage pre = decode(0x000E200B, B::words32({0x80400000, 0xFF0000FF}));
  EXPECT_EQ(pre.format(), QImage::Format_ARGB32_Premultiplied);
  EXPECT_EQ(pre.pixelColor(0, 0).red(), 128);
  EXPECT_EQ(pre.pixelColor(0, 0).alpha(), 128);
  // Rows top down: the second row is the lower one.
  EXPECT_EQ(decode(0x00022009, B::words32({1, 2, 3, 4}), 2).pixel(0, 1), 0xFF000003U);
  // Rows shorter than their pixels, or fewer than the height: nothing.
  EXPECT_TRUE(decode(0x00021808, bytes({1, 2, 3, 4}), 1).isNull());
  EXPECT_TRUE(decode(0x00022009, B::words32({1, 2, 3, 4}), 3).isNull());
}

TEST(EmfPlusObjects, PathsAndRegionsDescribeTheirAreas) {
  // Run-length coded types: a start, then a run of three lines, the last closing.
  QByteArray rle = B::words32({P::kVersion, 4, 0x1000});
  for (float v : {0.F, 0.F, 10.F, 0.F, 10.F, 10.F, 0.F, 10.F}) rle += B::words32({P::f(v)});
  for (int b : {1, 0, 2, 1, 1, 0x81}) rle.append(char(b));
  EmfPlusReader r = P::reader(rle);
  const QPainterPath square = EmfPlusPath::read(r);
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(square.boundingRect(), QRectF(0, 0, 10, 10));
  EXPECT_TRUE(square.contains(QPointF(5, 5)));
  // Types that run short of the points: nothing.
  EmfPlusReader cut = P::reader(B::words32({P::kVersion, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_TRUE(EmfPlusPath::read(cut).isEmpty());
  // A Bezier takes three points; a figure closes on its flag.
  const QPainterPath curve =
      EmfPlusPath::fromPoints({{0, 0}, {1, 1}, {2, 1}, {3, 0}, {5, 5}}, {0, 3, 3, 0x83, 1});
  EXPECT_EQ(curve.elementAt(1).type, QPainterPath::CurveToElement);
  EXPECT_EQ(curve.elementCount(), 6);  // move, curve (3), the line closing it, a new figure
  // Regions combine two at a time; the infinite one is the whole plane.
  const auto box = [](double x, double w) {
    QPainterPath p;
    p.addRect(x, 0, w, 10);
    return EmfPlusRegion(p);
  };
  using C = EmfPlusRegion::Combine;
  const EmfPlusRegion a = box(0, 6), b = box(4, 6), infinite;
  const auto has = [](const EmfPlusRegion& r, double x) {
    return r.path().contains(QPointF(x, 5));
  };
  for (const auto& [how, first, both, second] :
       {std::tuple{C::Intersect, false, true, false}, std::tuple{C::Union, true, true, true},
        std::tuple{C::Xor, true, false, true}, std::tuple{C::Exclude, true, false, false},
        std::tuple{C::Complement, false, false, true}, std::tuple{C::Replace, false, true, true}}) {
    const EmfPlusRegion r = EmfPlusRegion::combine(a, b, how);
    EXPECT_EQ(has(r, 2), first) << int(how);
    EXPECT_EQ(has(r, 5), both) << int(how);
    EXPECT_EQ(has(r, 8), second) << int(how);
  }
  EXPECT_TRUE(EmfPlusRegion::combine(a, infinite, C::Union).isInfinite());
  EXPECT_FALSE(EmfPlusRegion::combine(infinite, a, C::Intersect).isInfinite());
  EXPECT_TRUE(has(EmfPlusRegion::combine(infinite, a, C::Exclude), 20));
  EXPECT_FALSE(has(EmfPlusRegion::combine(infinite, a, C::Exclude), 2));
  // A region object: a tree of nodes, each a rectangle, path, or combination.
  EmfPlusReader tree = P::reader(B::words32({P::kVersion, 2, U_RNDT_Xor, U_RNDT_Rect}) +
                                 P::rectF(0, 0, 6, 10) + B::words32({U_RNDT_Infinite}));
  const EmfPlusRegion xored = EmfPlusRegion::read(tree);
  EXPECT_TRUE(has(xored, 20));
  EXPECT_FALSE(has(xored, 2));
  // A tree larger than any region's (2,047 rectangles, 11 deep) is refused
  // rather than combined.
  std::function<QByteArray(int)> tree11 = [&](int depth) {
    return depth == 0 ? B::words32({U_RNDT_Rect}) + P::rectF(0, 0, 1, 1)
                      : B::words32({U_RNDT_Or}) + tree11(depth - 1) + tree11(depth - 1);
  };
  EmfPlusReader smaller = P::reader(B::words32({P::kVersion, 0}) + tree11(9));
  EmfPlusRegion::read(smaller);
  EXPECT_TRUE(smaller.ok());
  EmfPlusReader large = P::reader(B::words32({P::kVersion, 0}) + tree11(10));
  EmfPlusRegion::read(large);
  EXPECT_FALSE(large.ok());
  // A tree deeper than any region's is refused rather than followed.
  QByteArray deep = B::words32({P::kVersion, 0});
  for (int i = 0; i < 100; ++i) deep += B::words32({U_RNDT_And});
  EmfPlusReader hostile = P::reader(deep);
  EmfPlusRegion::read(hostile);
  EXPECT_FALSE(hostile.ok());
}

TEST(EmfPlusObjects, TextAlignsNearCentreAndFar) {
  EXPECT_EQ(EmfPlusTextLayout::aligned(10, 0, 20, 1), 0);  // about a point
  QFont font(QStringLiteral("Liberation Sans"));
  font.setPixelSize(20);
  // Wrapped at the box's width, each line on its own baseline.
  const EmfPlusTextLayout wrapped(QStringLiteral("one two three four"), font, QRectF(0, 0, 60, 200),
                                  0, 0, true);
  ASSERT_GT(wrapped.lines().size(), 2U);
  EXPECT_GT(wrapped.lines()[1].origin.y(), wrapped.lines()[0].origin.y());
  for (const auto& line : wrapped.lines()) EXPECT_LE(line.width, 60);
  // Line ends break lines whatever the wrapping; a box without width wraps nothing.
  const EmfPlusTextLayout broken(QStringLiteral("a\r\nb\nc"), font, QRectF(0, 0, 0, 0), 0, 2, true);
  ASSERT_EQ(broken.lines().size(), 3U);
  EXPECT_EQ(broken.lines()[2].text, QStringLiteral("c"));
  EXPECT_LT(broken.lines()[2].origin.y(), 0);  // far: the block ends at the point
}

}  // namespace
}  // namespace ostrel::test
