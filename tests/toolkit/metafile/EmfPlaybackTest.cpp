// Playback of small hand-written EMFs, checked at the pixels that matter.
#include <gtest/gtest.h>
#include <uemf.h>

#include <QImage>
#include <QRawFont>

#include "tests/toolkit/metafile/MetafileBuilder.h"
#include "toolkit/metafile/FontMapper.h"
#include "toolkit/metafile/GdiObject.h"
#include "toolkit/metafile/MetafileDrawing.h"
#include "toolkit/metafile/MetafileReader.h"

namespace ostrel::test {
namespace {

using B = MetafileBuilder;
constexpr uint32_t kRed = 0x0000FF, kBlue = 0xFF0000;

struct Rec {
  Rec(uint32_t type, std::initializer_list<uint32_t> words = {})
      : type(type), body(B::words32(words)) {}
  Rec(uint32_t type, QByteArray body) : type(type), body(std::move(body)) {}
  uint32_t type;
  QByteArray body;
};

// A solid brush in slot 1, selected, and the null pen.
std::vector<Rec> redBrush(uint32_t color = kRed) {
  return {{U_EMR_CREATEBRUSHINDIRECT, {1, 0, color, 0}},
          {U_EMR_SELECTOBJECT, {1}},
          {U_EMR_SELECTOBJECT, {U_NULL_PEN}}};
}

EmfBuilder& operator<<(EmfBuilder& b, const std::vector<Rec>& records) {
  for (const Rec& r : records) b.add(r.type, r.body);
  return b;
}

// StretchDIBits of a bitmap over 40 x 40 pixels at (20, 30); by default 2 x 2:
// red, green over blue, black.
QByteArray stretchedBitmap(uint32_t rop = U_SRCCOPY, QImage src = {}) {
  if (src.isNull()) {
    src = QImage(2, 2, QImage::Format_RGB32);
    src.setPixel(0, 0, qRgb(255, 0, 0));
    src.setPixel(1, 0, qRgb(0, 255, 0));
    src.setPixel(0, 1, qRgb(0, 0, 255));
    src.setPixel(1, 1, qRgb(0, 0, 0));
  }
  const QByteArray dib = B::dib24(src);
  const auto w = uint32_t(src.width()), h = uint32_t(src.height());
  return B::words32({0, 0, 0, 0, 20, 30, 0, 0, w, h, 80, 40, 120, uint32_t(dib.size() - 40), 0, rop,
                     40, 40}) +
         dib;
}

QImage pair(QRgb left, QRgb right) {
  QImage img(2, 1, QImage::Format_RGB32);
  img.setPixel(0, 0, left);
  img.setPixel(1, 0, right);
  return img;
}

// GRADIENTFILL: corners red, green, blue (16 bits a channel), one triangle
// over the top-left half; or red to blue across the bottom-right band.
QByteArray gradient(bool triangle) {
  constexpr uint32_t kRed16 = 0xFF00, kGreen16 = 0xFF000000, kBlue16 = 0xFF00;
  if (triangle)
    return B::words32({0, 0, 100,    100, 3,       1, U_GRADIENT_FILL_TRIANGLE,
                       0, 0, kRed16, 0,   100,     0, kGreen16,
                       0, 0, 100,    0,   kBlue16, 0, 1,
                       2});
  return B::words32({0, 0, 100, 100, 2, 1, U_GRADIENT_FILL_RECT_H, 50, 80, kRed16, 0, 100, 100, 0,
                     kBlue16, 0, 1});
}

// A line across the middle with an extended pen: style, width, then dashes.
std::vector<Rec> extPenLine(uint32_t style, uint32_t width,
                            std::initializer_list<uint32_t> dashes = {}) {
  QByteArray pen = B::words32({2, 0, 0, 0, 0, style, width, 0, kRed, 0, uint32_t(dashes.size())});
  pen += dashes.size() ? B::words32(dashes) : B::words32({0});
  return {{U_EMR_EXTCREATEPEN, pen},
          {U_EMR_SELECTOBJECT, {2}},
          {U_EMR_MOVETOEX, {0, 50}},
          {U_EMR_LINETO, {100, 50}}};
}

// BITBLT without a bitmap over the picture: destination, rop, source corner,
// identity source transform, background colour, no bitmap.
QByteArray fillByRop(uint32_t rop, uint32_t width = 100) {
  constexpr uint32_t kOne = 0x3F800000;  // 1.0f
  return B::words32(
      {0, 0, 100, 100, 0, 0, width, 100, rop, 0, 0, kOne, 0, 0, kOne, 0, 0, 0, U_DIB_RGB_COLORS,
       0, 0, 0,   0});
}

// AlphaBlend of a 2 x 1 bitmap with per-pixel alpha over the whole picture:
// 32-bit colour placed by bit fields, a clear pixel beside an opaque red one.
QByteArray alphaBlendedBitmap() {
  constexpr uint32_t kOne = 0x3F800000;                // 1.0f
  constexpr uint32_t kSourceAlphaOpaque = 0x01FF0000;  // AC_SRC_OVER, constant 255, AC_SRC_ALPHA
  return B::words32({0, 0,   100,  100, 0, 0,    100, 100, kSourceAlphaOpaque,
                     0, 0,   kOne, 0,   0, kOne, 0,   0,   0,
                     0, 108, 52,   160, 8, 2,    1}) +
         B::words32({40, 2, 1, 0x200001, U_BI_BITFIELDS, 8, 0, 0, 0, 0, 0xFF0000, 0xFF00, 0xFF}) +
         B::words32({0x00000000, 0xFFFF0000});
}

// A clip region of one rectangle, x 60..100, set with RGN_COPY.
QByteArray clipRegion() {
  return B::words32({48, 5, 32, 1, 1, 16, 60, 0, 100, 100, 60, 0, 100, 100});
}

// A page of 100 x 100 logical units whose y points up.
std::vector<Rec> yPointingUp() {
  return {{U_EMR_SETMAPMODE, {U_MM_ANISOTROPIC}},
          {U_EMR_SETWINDOWEXTEX, {100, 100}},
          {U_EMR_SETVIEWPORTEXTEX, {100, uint32_t(-100)}},
          {U_EMR_SETVIEWPORTORGEX, {0, 100}}};
}

QByteArray fontRecord(int height, int escapement) {
  QByteArray f =
      B::words32({1, uint32_t(height), 0, uint32_t(escapement), uint32_t(escapement), 700});
  f += QByteArray(8, '\0') + B::utf16(QStringLiteral("Arial"));
  f.resize(4 + 92, '\0');
  return f;
}

QByteArray textRecord(int x, int y, const QString& text, uint32_t options = 0) {
  return B::words32({0, 0, 0, 0, 1, 0, 0, uint32_t(x), uint32_t(y), uint32_t(text.size()), 60,
                     0x100 | options, 0}) +
         B::utf16(text);
}

// The number of the glyph that draws c in the face fontRecord's font maps to.
QChar glyphNumberOf(QChar c) {
  GdiFont f;
  f.face = QStringLiteral("Arial");
  const QList<quint32> glyphs =
      QRawFont::fromFont(QFont(FontMapper::familyFor(f))).glyphIndexesForString(QString(c));
  return glyphs.isEmpty() ? QChar() : QChar(char16_t(glyphs.first()));
}

// Ink rows of a 'T': the bar at the top is wide, the stem below is narrow.
int inkWidth(const QImage& img, int y) {
  return inkIn(img, {0, y, img.width(), 1});
}

// Records drawn on white paper, checked at the pixels a wrong reading would
// change. A rectangle drawn with the red brush is the usual witness.
TEST(EmfPlayback, RecordsDrawWhereTheyShould) {
  constexpr uint32_t kPaletteIndex = 0x01000000, kGreen = 0x00FF00, kMin = uint32_t(INT32_MIN);
  constexpr QRgb kGreenPx = 0xFF00FF00, kBluePx = 0xFF0000FF;
  QByteArray extremeFont = B::words32({2, uint32_t(-30), kMin, kMin, kMin, 400});
  extremeFont.resize(4 + 92, '\0');
  // Two same-direction squares, one inside the other, as one polypolygon.
  const std::initializer_list<uint32_t> nested = {0,  0,  100, 100, 2,  8,  4,  4,  10, 10, 90, 10,
                                                  90, 90, 10,  90,  30, 30, 70, 30, 70, 70, 30, 70};
  // A line 8 units wide under a world transform that squeezes x to a
  // quarter and stretches y four times: drawn 8 pixels wide, not 2.
  std::vector<Rec> squeezed = extPenLine(0x10000, 8);
  squeezed.insert(squeezed.begin(),
                  Rec(U_EMR_SETWORLDTRANSFORM, {0x3E800000, 0, 0, 0x40800000, 0, 0xC3160000}));
  // "II" spaced 70 units apart, with no rectangle by its options but with
  // the rectangle's bytes kept before the spacing offset and the string.
  const QByteArray spaced =
      B::words32({0, 0, 0, 0, 1, 0, 0, 10, 10, 2, 76, U_ETO_NO_RECT, 0, 0, 100, 100, 80}) +
      B::utf16(QStringLiteral("II")) + B::words32({70, 10});
  // A curve from the current position (10, 50) over to (90, 50), then a line
  // to (50, 90).
  const QByteArray polyDraw = B::words32({0, 0, 0, 0, 4, 10, 10, 90, 10, 90, 50, 50, 90}) +
                              QByteArray("\x04\x04\x04\x02", 4);
  // "I" and the string's terminator, 40 units apart.
  const QByteArray terminated =
      B::words32({0, 0, 0, 0, 1, 0, 0, 10, 10, 2, 76, 0, 0, 0, 100, 100, 80}) +
      B::utf16(QStringLiteral("I") + QChar(0)) + B::words32({40, 40});
  struct Case {
    const char* name;
    std::vector<Rec> records;  // after the red brush, unless noBrush
    std::vector<Probe> probes;
    bool noBrush = false;
    QSize size = {};  // empty: natural size, 100 x 100
    int tolerance = 40;
  };
  // clang-format off
  const Case cases[] = {
      // GDI leaves out the right and bottom edges of a pen-less rectangle (50, 40).
      {"rectangle", {{U_EMR_RECTANGLE, {10, 20, 50, 60}}},
       {{30, 40, kRedPx}, {11, 21, kRedPx}, {5, 40, kWhitePx}, {30, 70, kWhitePx}, {50, 40, kWhitePx}}},
      {"painted stretched into the target", {{U_EMR_RECTANGLE, {0, 0, 50, 50}}},
       {{90, 40, kRedPx}, {110, 40, kWhitePx}}, false, {200, 100}},
      // Ten logical units per pixel shrink; a viewport ten times the window grows.
      {"anisotropic scale up", {{U_EMR_SETMAPMODE, {U_MM_ANISOTROPIC}}, {U_EMR_SETWINDOWEXTEX, {10, 10}},
                                {U_EMR_SETVIEWPORTEXTEX, {100, 100}}, {U_EMR_RECTANGLE, {5, 5, 8, 8}}},
       {{70, 70, kRedPx}, {30, 30, kWhitePx}}},
      // y pointing up: logical y 10..40 lands 60..90 pixels down.
      {"y flipped", {{U_EMR_SETMAPMODE, {U_MM_ANISOTROPIC}}, {U_EMR_SETWINDOWEXTEX, {100, 100}},
                     {U_EMR_SETVIEWPORTEXTEX, {100, uint32_t(-100)}}, {U_EMR_SETVIEWPORTORGEX, {0, 100}},
                     {U_EMR_RECTANGLE, {10, 10, 39, 39}}},
       {{20, 80, kRedPx}, {20, 20, kWhitePx}}},
      // Window origin moves the picture: logical 50 is the left edge.
      {"window origin", {{U_EMR_SETWINDOWORGEX, {50, 50}}, {U_EMR_RECTANGLE, {50, 50, 79, 79}}},
       {{5, 5, kRedPx}, {60, 60, kWhitePx}}},
      {"world transform: a scale of 2 doubles the rectangle",
       {{U_EMR_SETWORLDTRANSFORM, {0x40000000, 0, 0, 0x40000000, 0, 0}}, {U_EMR_RECTANGLE, {10, 10, 49, 49}}},
       {{70, 70, kRedPx}, {10, 10, kWhitePx}}},
      {"clip rectangle", {{U_EMR_INTERSECTCLIPRECT, {0, 0, 50, 100}}, {U_EMR_RECTANGLE, {0, 0, 99, 99}}},
       {{25, 50, kRedPx}, {75, 50, kWhitePx}}},
      {"clip region clips, and no data turns clipping off",
       {{U_EMR_EXTSELECTCLIPRGN, clipRegion()}, {U_EMR_RECTANGLE, {0, 0, 100, 50}},
        {U_EMR_EXTSELECTCLIPRGN, {0, 5}}, {U_EMR_RECTANGLE, {0, 60, 100, 100}}},
       {{80, 25, kRedPx}, {20, 25, kWhitePx}, {20, 80, kRedPx}}},
      {"restore brings back the brush saved",
       {{U_EMR_SELECTOBJECT, {U_NULL_PEN}}, {U_EMR_SAVEDC}, {U_EMR_SELECTOBJECT, {U_BLACK_BRUSH}},
        {U_EMR_RECTANGLE, {0, 0, 50, 100}}, {U_EMR_RESTOREDC, {uint32_t(-1)}},
        {U_EMR_SELECTOBJECT, {U_NULL_PEN}}, {U_EMR_RECTANGLE, {50, 0, 100, 100}}},
       {{25, 50, kBlackPx}, {75, 50, kWhitePx}}, true},
      {"alternate fill leaves the hole", {{U_EMR_SETPOLYFILLMODE, {1}}, {U_EMR_POLYPOLYGON, nested}},
       {{20, 50, kRedPx}, {50, 50, kWhitePx}}},
      {"winding fill fills the hole", {{U_EMR_SETPOLYFILLMODE, {2}}, {U_EMR_POLYPOLYGON, nested}},
       {{20, 50, kRedPx}, {50, 50, kRedPx}}},
      // The default pen, one pixel black: a two-point polyline, and an arc
      // drawn on from the current position.
      {"two-point polyline", {{U_EMR_POLYLINE16, {0, 0, 100, 100, 2, 0x00140000, 0x00140064}}},
       {{50, 20, kBlackPx}, {50, 23, kWhitePx}}, true},
      {"arc to", {{U_EMR_MOVETOEX, {0, 50}}, {U_EMR_ARCTO, {20, 20, 80, 80, 80, 50, 20, 50}},
                  {U_EMR_LINETO, {20, 90}}},
       {{10, 50, kBlackPx}, {50, 20, kBlackPx}, {50, 79, kWhitePx}, {20, 70, kBlackPx}}, true, {}, 80},
      {"filled path", {{U_EMR_BEGINPATH}, {U_EMR_MOVETOEX, {20, 20}}, {U_EMR_LINETO, {80, 20}},
                       {U_EMR_LINETO, {80, 80}}, {U_EMR_LINETO, {20, 80}}, {U_EMR_CLOSEFIGURE},
                       {U_EMR_ENDPATH}, {U_EMR_FILLPATH, {0, 0, 100, 100}}},
       {{50, 50, kRedPx}, {10, 10, kWhitePx}}},
      // The default pen, on the edge the open figure was closed with.
      {"stroked and filled path closes its figure",
       {{U_EMR_BEGINPATH}, {U_EMR_MOVETOEX, {20, 20}}, {U_EMR_LINETO, {80, 20}}, {U_EMR_LINETO, {80, 80}},
        {U_EMR_ENDPATH}, {U_EMR_STROKEANDFILLPATH, {0, 0, 100, 100}}},
       {{50, 50, kBlackPx}, {50, 20, kBlackPx}, {65, 40, kWhitePx}}, true},
      {"bitmap lands at its destination", {{U_EMR_STRETCHDIBITS, stretchedBitmap()}},
       {{30, 40, kRedPx}, {50, 40, kGreenPx}, {30, 60, kBluePx}, {50, 60, kBlackPx},
        {10, 10, kWhitePx}, {70, 80, kWhitePx}}, true},
      // Geometric dashes are three pen widths long, with a gap of one, their
      // round caps within; a cosmetic pen's are 18 device pixels with gaps of 6
      // (here at twice the size), and it is one pixel wide whatever it says.
      {"dashes of a wide pen", extPenLine(0x10001, 10),
       {{5, 50, kRedPx}, {35, 50, kWhitePx}, {45, 50, kRedPx}, {75, 50, kWhitePx}}, true},
      {"dash and two dots of a wide pen", extPenLine(0x10004, 10),
       {{15, 50, kRedPx}, {35, 50, kWhitePx}, {45, 50, kRedPx}, {55, 50, kWhitePx}, {65, 50, kRedPx}}, true},
      {"dashes of the pen's own", extPenLine(0x10207, 10, {20, 20}),
       {{10, 50, kRedPx}, {30, 50, kWhitePx}, {50, 50, kRedPx}}, true},
      {"a pen keeps its weight under an uneven world scale", squeezed,
       {{10, 50, kRedPx}, {10, 47, kRedPx}, {10, 40, kWhitePx}}, true},
      {"a cosmetic pen is thin", extPenLine(0, 10), {{50, 50, kRedPx}, {50, 53, kWhitePx}}, true, {}, 130},
      {"dashes of a cosmetic pen", {{U_EMR_CREATEPEN, {2, U_PS_DASH, 1, 0, kRed}}, {U_EMR_SELECTOBJECT, {2}},
                                    {U_EMR_MOVETOEX, {0, 50}}, {U_EMR_LINETO, {100, 50}}},
       {{20, 100, kRedPx}, {40, 100, kWhitePx}, {60, 100, kRedPx}, {90, 100, kWhitePx}}, true, {200, 200}},
      // Tenths of a millimetre, y up: 3.78 pixels a millimetre on this device.
      {"lo-metric", {{U_EMR_SETMAPMODE, {U_MM_LOMETRIC}}, {U_EMR_RECTANGLE, {0, 0, 100, uint32_t(-100)}}},
       {{20, 20, kRedPx}, {60, 20, kWhitePx}, {20, 60, kWhitePx}}},
      {"hi-metric", {{U_EMR_SETMAPMODE, {U_MM_HIMETRIC}}, {U_EMR_RECTANGLE, {0, 0, 1000, uint32_t(-1000)}}},
       {{20, 20, kRedPx}, {60, 20, kWhitePx}, {20, 60, kWhitePx}}},
      // A LineTo after PolyDraw goes on from the last point it drew to.
      {"poly draw", {{U_EMR_CREATEPEN, {2, U_PS_SOLID, 5, 0, 0}}, {U_EMR_SELECTOBJECT, {2}},
                     {U_EMR_MOVETOEX, {10, 50}}, {U_EMR_POLYDRAW, polyDraw}, {U_EMR_LINETO, {90, 90}}},
       {{50, 20, kBlackPx}, {50, 30, kWhitePx}, {70, 90, kBlackPx}}, true},
      {"poly-polyline", {{U_EMR_POLYPOLYLINE16, {0, 0, 0, 0, 1, 2, 2, 10 | (50 << 16), 90 | (50 << 16)}}},
       {{50, 50, kBlackPx}, {50, 45, kWhitePx}}, true},
      {"scaled window extent", {{U_EMR_SETMAPMODE, {U_MM_ANISOTROPIC}}, {U_EMR_SETWINDOWEXTEX, {100, 100}},
                                {U_EMR_SETVIEWPORTEXTEX, {100, 100}}, {U_EMR_SCALEWINDOWEXTEX, {1, 2, 1, 2}},
                                {U_EMR_RECTANGLE, {0, 0, 30, 30}}},
       {{45, 45, kRedPx}, {70, 70, kWhitePx}}},
      {"restore to the first saved state by its number",
       {{U_EMR_SAVEDC}, {U_EMR_SELECTOBJECT, {U_BLACK_BRUSH}}, {U_EMR_SAVEDC},
        {U_EMR_SELECTOBJECT, {U_WHITE_BRUSH}}, {U_EMR_RESTOREDC, {1}}, {U_EMR_RECTANGLE, {0, 0, 100, 100}}},
       {{50, 50, kRedPx}}},
      {"gradients", {{U_EMR_GRADIENTFILL, gradient(true)}, {U_EMR_GRADIENTFILL, gradient(false)}},
       {{3, 3, kRedPx}, {96, 2, kGreenPx}, {2, 95, kBluePx}, {52, 90, kRedPx}, {97, 90, kBluePx}}, true},
      // NOT source OR destination, onto black: the red corner turns cyan.
      {"raster operation with a bitmap",
       {{U_EMR_BITBLT, fillByRop(U_BLACKNESS)}, {U_EMR_STRETCHDIBITS, stretchedBitmap(U_MERGEPAINT)}},
       {{30, 40, qRgb(0, 255, 255)}, {10, 10, kBlackPx}}, true},
      // A mask ANDed on, then the picture XORed where the mask is black.
      {"masked bitmap", {{U_EMR_STRETCHDIBITS, stretchedBitmap(U_SRCAND, pair(kWhitePx, kBlackPx))},
                         {U_EMR_STRETCHDIBITS, stretchedBitmap(U_SRCINVERT, pair(kGreenPx, kRedPx))}},
       {{30, 50, kWhitePx}, {50, 50, kRedPx}}, true},
      // A pen half a device pixel wide, two output pixels at four times the size.
      {"widened path", {{U_EMR_SETMAPMODE, {U_MM_ANISOTROPIC}}, {U_EMR_SETWINDOWEXTEX, {200, 200}},
                        {U_EMR_SETVIEWPORTEXTEX, {100, 100}}, {U_EMR_CREATEPEN, {2, U_PS_SOLID, 1, 0, 0}},
                        {U_EMR_SELECTOBJECT, {2}}, {U_EMR_BEGINPATH}, {U_EMR_MOVETOEX, {0, 100}},
                        {U_EMR_LINETO, {200, 100}}, {U_EMR_ENDPATH}, {U_EMR_WIDENPATH}, {U_EMR_FILLPATH, {0, 0, 0, 0}}},
       {{200, 200, kRedPx}, {200, 198, kWhitePx}}, false, {400, 400}},
      {"per-pixel alpha of a bit-field bitmap", {{U_EMR_ALPHABLEND, alphaBlendedBitmap()}},
       {{25, 50, kWhitePx}, {75, 50, kRedPx}}, true},
      // Palette entries are stored red, green, blue, flags; brushes given as
      // PALETTEINDEX take their colour from the selected palette.
      {"palette entries keep their byte order",
       {{U_EMR_CREATEPALETTE, {1, 0x00020300, kRed, kBlue}},  // version 0x300, two entries
        {U_EMR_SELECTPALETTE, {1}}, {U_EMR_CREATEBRUSHINDIRECT, {2, 0, kPaletteIndex | 0, 0}},
        {U_EMR_SETPALETTEENTRIES, {1, 1, 1, kGreen}},  // entry 1 becomes green
        {U_EMR_SELECTPALETTE, {1}}, {U_EMR_CREATEBRUSHINDIRECT, {3, 0, kPaletteIndex | 1, 0}},
        {U_EMR_SELECTOBJECT, {U_NULL_PEN}}, {U_EMR_SELECTOBJECT, {2}}, {U_EMR_RECTANGLE, {0, 0, 50, 100}},
        {U_EMR_SELECTOBJECT, {3}}, {U_EMR_RECTANGLE, {50, 0, 100, 100}}},
       {{25, 50, kRedPx}, {75, 50, kGreenPx}}, true},
      // The black outline is the default pen's.
      {"bad object indexes are ignored",
       {{U_EMR_SELECTOBJECT, {12345}}, {U_EMR_DELETEOBJECT, {0xFFFFFFF0}},
        {U_EMR_CREATEBRUSHINDIRECT, {0x7FFFFFFF, 0, kRed, 0}}, {U_EMR_RESTOREDC, {uint32_t(-50)}},
        {U_EMR_RECTANGLE, {0, 0, 100, 100}}},
       {{50, 50, kWhitePx}, {0, 50, kBlackPx}}, true},
      {"spacing after a rectangle kept against the options",
       {{U_EMR_EXTCREATEFONTINDIRECTW, fontRecord(-30, 0)}, {U_EMR_SELECTOBJECT, {1}},
        {U_EMR_SETBKMODE, {1}}, {U_EMR_EXTTEXTOUTW, spaced}},
       {{84, 25, kBlackPx}, {22, 25, kWhitePx}}, true},
      {"a string's terminator draws nothing, spaced or not",
       {{U_EMR_EXTCREATEFONTINDIRECTW, fontRecord(-30, 0)}, {U_EMR_SELECTOBJECT, {1}},
        {U_EMR_SETBKMODE, {1}}, {U_EMR_EXTTEXTOUTW, terminated},
        {U_EMR_EXTTEXTOUTW, textRecord(10, 60, QString(QChar(0)))}},
       {{53, 25, kWhitePx}, {58, 25, kWhitePx}, {13, 75, kWhitePx}, {18, 75, kWhitePx}}, true},
      {"opaque background behind text",
       {{U_EMR_EXTCREATEFONTINDIRECTW, fontRecord(-40, 0)}, {U_EMR_SELECTOBJECT, {1}}, {U_EMR_SETBKMODE, {2}},
        {U_EMR_SETBKCOLOR, {kBlue}}, {U_EMR_EXTTEXTOUTW, textRecord(10, 10, QStringLiteral("i i"))}},
       {{24, 20, kBluePx}, {24, 60, kWhitePx}}, true},
      {"a viewport one unit wide", {{U_EMR_SETMAPMODE, {U_MM_ANISOTROPIC}}, {U_EMR_SETWINDOWEXTEX, {1, 100}},
                                    {U_EMR_SETVIEWPORTEXTEX, {1, 100}}, {U_EMR_RECTANGLE, {0, 0, 50, 100}}},
       {{25, 50, kRedPx}, {75, 50, kWhitePx}}},
      // Sizes and angles at the ends of their 32-bit range: a font whose width
      // and escapement are INT32_MIN, a region framed with such a stroke. The
      // sanitizer build traps on any arithmetic that overflows on them.
      {"extreme font and stroke values draw safely",
       {{U_EMR_EXTCREATEFONTINDIRECTW, extremeFont}, {U_EMR_SELECTOBJECT, {2}},
        {U_EMR_EXTTEXTOUTW, textRecord(20, 20, QStringLiteral("W"))},
        {U_EMR_FRAMERGN, {10, 10, 90, 90, 48, 1, kMin, kMin, 32, 1, 1, 16, 10, 10, 90, 90, 10, 10, 90, 90}}},
       {{12, 50, kRedPx}}},  // the frame's left edge
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EmfBuilder b;
    if (!c.noBrush) b << redBrush();
    const QImage img = expectPixels((b << c.records).finish(), c.probes, c.size, c.tolerance);
    EXPECT_EQ(img.size(), c.size.isEmpty() ? QSize(100, 100) : c.size);
  }
  // Each stock brush by its name: a wrong index shows the red or another grey.
  for (const auto& [stock, grey] : {std::pair{U_WHITE_BRUSH, 255},
                                    {U_LTGRAY_BRUSH, 192},
                                    {U_GRAY_BRUSH, 128},
                                    {U_DKGRAY_BRUSH, 64},
                                    {U_BLACK_BRUSH, 0},
                                    {U_NULL_BRUSH, 255},
                                    {U_STOCK_OBJECT | 18, 255}}) {
    SCOPED_TRACE(stock);
    EmfBuilder b;
    (b << redBrush()).add(U_EMR_SELECTOBJECT, {stock}).add(U_EMR_RECTANGLE, {10, 10, 90, 90});
    expectPixels(b.finish(), {{50, 50, qRgb(grey, grey, grey)}}, {}, 8);
  }
  // A header that leaves out its device's size: a device of 96 pixels an
  // inch, its pixels as large as the page's.
  EmfBuilder plain;
  (plain << redBrush()).add(U_EMR_RECTANGLE, {0, 0, 90, 100});
  QByteArray noDevice = plain.finish();
  noDevice.replace(72, 16, QByteArray(16, '\0'));
  expectPixels(noDevice, {{88, 50, kRedPx}, {92, 50, kWhitePx}});
}

// Glyph numbers (ETO_GLYPH_INDEX) draw the glyphs of the face the font was
// mapped to, as GDI draws them from the font it realized.
TEST(EmfPlayback, TextIsUprightAndTurnsWithTheLogicalAxesEvenWhenYPointsUp) {
  // Transparent, top-aligned text, on a page whose y points up when flip.
  const auto text = [](bool flip, int height, int escapement, const QByteArray& record) {
    EmfBuilder b;
    if (flip) b << yPointingUp();
    b.add(U_EMR_EXTCREATEFONTINDIRECTW, fontRecord(height, escapement))
        .add(U_EMR_SELECTOBJECT, {1})
        .add(U_EMR_SETBKMODE, {1})
        .add(U_EMR_SETTEXTALIGN, {0});
    return B::render(b.add(U_EMR_EXTTEXTOUTW, record).finish());
  };
  for (const auto& [flip, numbered] : {std::pair{false, false}, {true, false}, {false, true}}) {
    const QImage img = text(flip, -60, 0,
                            numbered ? textRecord(20, 10, glyphNumberOf(u'T'), U_ETO_GLYPH_INDEX)
                                     : textRecord(20, flip ? 90 : 10, QStringLiteral("T")));
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
  // An escapement turns the baseline counterclockwise in logical units: on a
  // page whose y points up, 270 degrees reads upwards as 90 does on a plain one.
  for (const auto& [flip, escapement] : {std::pair{false, 900}, {true, 2700}}) {
    const QImage img =
        text(flip, -30, escapement, textRecord(40, flip ? 10 : 90, QStringLiteral("TTTT")));
    EXPECT_GT(inkIn(img, {0, 10, 100, 50}), 50) << "flip " << flip;  // rising from (40, 90)
  }
}

TEST(EmfPlayback, UnknownRecordsAreSkippedAndCounted) {
  EmfBuilder b;
  b.add(250, {1, 2, 3});
  (b << redBrush()).add(U_EMR_RECTANGLE, {0, 0, 100, 100});
  const QByteArray data = b.finish();
  const auto drawing = readMetafile(data, QStringLiteral("x.emf"));
  const auto* m = dynamic_cast<const MetafileDrawing*>(drawing.get());
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->unsupportedRecords(), 1);
  expectPixels(data, {{50, 50, kRedPx}});
}

// A bitmap-less BITBLT (a fill by raster operation alone) changes the
// painter's composition and anti-aliasing for itself only: what is drawn
// next is neither combined with the page nor drawn with jagged edges.
TEST(EmfPlayback, RasterOperationEndsWithItsRecord) {
  EmfBuilder b;
  b.add(U_EMR_BITBLT, fillByRop(U_DSTINVERT, 60));
  // A region painted with the brush (no shape sets a composition of its
  // own), then an ellipse.
  (b << redBrush())
      .add(U_EMR_PAINTRGN, {70, 10, 90, 30, 48, 32, 1, 1, 16, 70, 10, 90, 30, 70, 10, 90, 30})
      .add(U_EMR_ELLIPSE, {60, 40, 95, 90});
  // The white paper inverted, the region and the ellipse red.
  const QImage img =
      expectPixels(b.finish(), {{10, 10, kBlackPx}, {80, 20, kRedPx}, {80, 65, kRedPx}}, {}, 8);
  // Along the ellipse's curved edge pixels lie between red and white.
  EXPECT_GT(blendedRed(img, {60, 40, 40, 50}), 10);
}

}  // namespace
}  // namespace ostrel::test
