#include "toolkit/metafile/WmfDecoder.h"

#include <uwmf.h>

#include <QCoreApplication>
#include <QDir>
#include <cmath>
#include <cstddef>

#include "toolkit/ToolkitError.h"
#include "toolkit/metafile/DecoderCommon.h"
#include "toolkit/metafile/DibCache.h"
#include "toolkit/metafile/FontMapper.h"
#include "toolkit/metafile/GdiPlayer.h"
#include "toolkit/metafile/RecordReader.h"
#include "toolkit/metafile/WmfRecords.h"

namespace ostrel {

namespace {

using metafile::colorOf;
using metafile::fail;

constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr uint16_t kEtoOpaque = 2, kEtoClipped = 4;

QPointF toPoint(wmf::PointYX p) {
  return QPointF(p.x, p.y);
}

// GDI's right and bottom edges are exclusive: kept as edges, not as a size.
QRectF toRect(wmf::RectBRTL rc) {
  return QRectF(QPointF(rc.left, rc.top), QPointF(rc.right, rc.bottom));
}
QRectF toRect(wmf::RectLTRB rc) {
  return QRectF(QPointF(rc.left, rc.top), QPointF(rc.right, rc.bottom));
}

// RecordReader::as zero-fills what lies past a record's end, but copies the
// part of a field the end cuts. Records end on a 16-bit word, so only a
// 32-bit field can be cut; it reads as zero then, like the fields past the end.
uint32_t wholeField(const RecordReader& r, uint64_t offset, uint32_t value) {
  return r.has(offset, sizeof value) ? value : 0;
}

uint16_t oneValue(const RecordReader& r) {
  return r.as<wmf::OneValue>().value;
}
QPointF onePoint(const RecordReader& r) {
  return toPoint(r.as<wmf::OnePoint>().point);
}
QRectF oneRect(const RecordReader& r) {
  return toRect(r.as<wmf::OneRect>().rect);
}
QSizeF oneExtent(const RecordReader& r) {
  const QPointF e = onePoint(r);
  return QSizeF(e.x(), e.y());
}

QPolygonF pointsAt(const RecordReader& r, uint64_t off, uint32_t count) {
  QPolygonF poly;
  if (!r.has(off, uint64_t(count) * sizeof(wmf::PointXY))) return poly;
  poly.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    const auto p = r.as<wmf::PointXY>(off + i * sizeof(wmf::PointXY));
    poly.append(QPointF(p.x, p.y));
  }
  return poly;
}

// Polygon and Polyline.
QPolygonF pointList(const RecordReader& r) {
  const int count = std::max<int>(0, r.as<wmf::PointList>().count);
  return pointsAt(r, sizeof(wmf::PointList), count);
}

// The string of a TextOut record and where it ends: the reference point
// follows it, padded to a whole word.
uint64_t textOutEnd(int count) {
  return sizeof(wmf::TextOut) + ((count + 1) & ~1);
}

bool handled(uint8_t fn) {
  switch (fn) {
    case U_WMR_FLOODFILL:
    case U_WMR_EXTFLOODFILL:
    case U_WMR_DRAWTEXT:
    case U_WMR_ANIMATEPALETTE:
    case U_WMR_SETPALENTRIES:
    case U_WMR_SETTEXTJUSTIFICATION:
      return false;
    default:
      return true;
  }
}

QRegion regionAt(const RecordReader& r, uint64_t off) {
  const int scanCount = r.i16(off + 10);
  const QRectF bound =
      QRectF(QPointF(r.i16(off + 14), r.i16(off + 16)), QPointF(r.i16(off + 18), r.i16(off + 20)))
          .normalized();
  QRegion region;
  uint64_t at = off + 22;
  for (int s = 0; s < scanCount && s < 8192; ++s) {
    const uint16_t count = r.u16(at);
    const int top = r.i16(at + 2), bottom = r.i16(at + 4);
    if (!r.has(at, 6 + uint64_t(count) * 2 + 2)) break;
    for (int i = 0; i + 1 < count; i += 2) {
      const int left = r.i16(at + 6 + 2 * i), right = r.i16(at + 8 + 2 * i);
      if (right > left && bottom > top) region += QRect(left, top, right - left, bottom - top);
    }
    at += 6 + uint64_t(count) * 2 + 2;
  }
  if (scanCount == 0 || region.isEmpty()) region = QRegion(bound.toRect());
  return region;
}

// StretchDIB is StretchDIBits, where the source rows of a bottom-up bitmap
// count from its bottom edge (the blt records count from the top).
QRectF fromBottom(QRectF src, const QImage& image, const RecordReader& r, uint64_t dibAt) {
  if (image.isNull() || r.i32(dibAt + 8) <= 0 || r.u32(dibAt) == 12) return src;
  return metafile::rowsFromBottom(src, image);
}

// Where the bitmap of a record starts, and what kind it is.
struct BitmapPlace {
  uint32_t offset;
  DibRef::Form form;
};

std::optional<BitmapPlace> bitmapPlaceOf(uint8_t fn, const RecordReader& r) {
  const uint32_t words = r.size() / 2;
  switch (fn) {
    case U_WMR_BITBLT:
    case U_WMR_DIBBITBLT:
      // The bitmap-less form has one reserved word instead of the bitmap.
      if (words == 12) return std::nullopt;
      return BitmapPlace{22, fn == U_WMR_DIBBITBLT ? DibRef::Form::Packed : DibRef::Form::Bitmap16};
    case U_WMR_STRETCHBLT:
    case U_WMR_DIBSTRETCHBLT:
      if (words == 14) return std::nullopt;
      return BitmapPlace{26,
                         fn == U_WMR_DIBSTRETCHBLT ? DibRef::Form::Packed : DibRef::Form::Bitmap16};
    case U_WMR_STRETCHDIB:
      return BitmapPlace{28, DibRef::Form::Packed};
    case U_WMR_SETDIBTODEV:
      return BitmapPlace{24, DibRef::Form::Packed};
    case U_WMR_DIBCREATEPATTERNBRUSH:
      return BitmapPlace{10, DibRef::Form::Packed};
    case U_WMR_CREATEPATTERNBRUSH:
      // A BITMAP16 header, 18 reserved bytes, then the pattern bits.
      return BitmapPlace{6, DibRef::Form::Bitmap16};
    default:
      return std::nullopt;
  }
}

bool usesPaletteColours(uint8_t fn, const RecordReader& r) {
  switch (fn) {
    case U_WMR_STRETCHDIB:
      return r.u16(10) == 1;
    case U_WMR_SETDIBTODEV:
      return r.u16(6) == 1;
    case U_WMR_DIBCREATEPATTERNBRUSH:
      return r.u16(8) == 1;
    default:
      return false;
  }
}

// The bitmap a record carries, if it has room for one.
std::optional<DibRef> bitmapIn(uint8_t fn, const RecordReader& r) {
  const auto place = bitmapPlaceOf(fn, r);
  if (!place || r.size() <= place->offset) return std::nullopt;
  const char* at = r.data() + place->offset;
  const uint32_t length = r.size() - place->offset;
  if (place->form == DibRef::Form::Packed)
    return DibRef{DibRef::Form::Packed, QByteArrayView(at, length), {}, usesPaletteColours(fn, r)};
  constexpr uint32_t kBitmap16Header = 10;
  const uint32_t bitsAt = fn == U_WMR_CREATEPATTERNBRUSH ? 38 : place->offset + kBitmap16Header;
  if (r.size() <= bitsAt) return std::nullopt;
  return DibRef{DibRef::Form::Bitmap16, QByteArrayView(at, kBitmap16Header),
                QByteArrayView(r.data() + bitsAt, r.size() - bitsAt), false};
}

class WmfPlayback {
 public:
  WmfPlayback(GdiPlayer& p, DibCache& bitmaps) : p_(p), bitmaps_(bitmaps) {}
  void record(uint8_t fn, const RecordReader& r);

 private:
  QImage bitmap(uint8_t fn, const RecordReader& r) {
    const auto dib = bitmapIn(fn, r);
    return dib ? bitmaps_.image(*dib, palette(), DibAlpha::Ignore) : QImage();
  }
  void blt(uint8_t fn, const RecordReader& r);
  template <typename T>
  const T* objectAs(uint16_t index) const {
    const GdiObject* o = p_.object(index);
    return o ? std::get_if<T>(o) : nullptr;
  }
  const std::vector<QRgb>& palette() const { return p_.dc().palette; }
  QColor oneColor(const RecordReader& r) const {
    const auto c = r.as<wmf::OneColor>();
    return colorOf(wholeField(r, offsetof(wmf::OneColor, color), c.color), palette());
  }

  GdiPlayer& p_;
  DibCache& bitmaps_;
};

void WmfPlayback::blt(uint8_t fn, const RecordReader& r) {
  const uint32_t words = r.size() / 2;
  const uint32_t rop = r.u32(6);
  switch (fn) {
    case U_WMR_BITBLT:
    case U_WMR_DIBBITBLT: {
      const bool noSource = words == 12;  // the bitmap-less form has one reserved word
      const uint64_t d = noSource ? 16 : 14;
      const QRectF dest(r.i16(d + 6), r.i16(d + 4), r.i16(d + 2), r.i16(d));
      const QPointF src(r.i16(12), r.i16(10));
      p_.stretchBlt(dest, bitmap(fn, r), QRectF(src, dest.size()), rop);
      break;
    }
    case U_WMR_STRETCHBLT:
    case U_WMR_DIBSTRETCHBLT: {
      const bool noSource = words == 14;
      const uint64_t d = noSource ? 20 : 18;
      const QRectF dest(r.i16(d + 6), r.i16(d + 4), r.i16(d + 2), r.i16(d));
      QRectF src(r.i16(16), r.i16(14), r.i16(12), r.i16(10));
      p_.stretchBlt(dest, bitmap(fn, r), src, rop);
      break;
    }
    case U_WMR_STRETCHDIB: {
      QRectF src(r.i16(18), r.i16(16), r.i16(14), r.i16(12));
      const QRectF dest(r.i16(26), r.i16(24), r.i16(22), r.i16(20));
      if (r.size() <= 28) return;
      const QImage image = bitmap(fn, r);
      p_.stretchBlt(dest, image, fromBottom(src, image, r, 28), rop);
      break;
    }
    case U_WMR_SETDIBTODEV: {
      const QRectF src(r.i16(14), r.i16(12), r.i16(18), r.i16(16));
      const QPointF dest(r.i16(22), r.i16(20));
      if (r.size() <= 24) return;
      const QImage image = bitmap(fn, r);
      if (image.isNull()) return;
      const QRectF flipped = metafile::rowsFromBottom(src, image);
      p_.stretchBlt(QRectF(dest, src.size()), image, flipped, rop3::kSrcCopyCode);
      break;
    }
    default:
      break;
  }
}

void WmfPlayback::record(uint8_t fn, const RecordReader& r) {
  switch (fn) {
    case U_WMR_SETBKCOLOR:
      p_.setBkColor(oneColor(r));
      break;
    case U_WMR_SETBKMODE:
      p_.setBkMode(oneValue(r) == 1 ? BkMode::Transparent : BkMode::Opaque);
      break;
    case U_WMR_SETMAPMODE: {
      // Programs showing a WMF set an anisotropic mapping onto their window
      // first; the file's own map mode only decides whether the aspect is kept.
      const uint16_t m = oneValue(r);
      p_.setMapMode(m == 7 ? MapMode::Isotropic : MapMode::Anisotropic);
      break;
    }
    case U_WMR_SETROP2:
      p_.setRop2(oneValue(r) & 0xFF);
      break;
    case U_WMR_SETPOLYFILLMODE:
      p_.setFillRule(oneValue(r) == 2 ? Qt::WindingFill : Qt::OddEvenFill);
      break;
    case U_WMR_SETSTRETCHBLTMODE:
      p_.setStretchBltMode(oneValue(r));
      break;
    case U_WMR_SETTEXTCHAREXTRA:
      p_.setTextCharExtra(static_cast<int16_t>(oneValue(r)));
      break;
    case U_WMR_SETTEXTCOLOR:
      p_.setTextColor(oneColor(r));
      break;
    case U_WMR_SETWINDOWORG:
      p_.setWindowOrg(onePoint(r));
      break;
    case U_WMR_SETWINDOWEXT:
      p_.setWindowExt(oneExtent(r));
      break;
    case U_WMR_SETVIEWPORTORG:
      p_.setViewportOrg(onePoint(r));
      break;
    case U_WMR_SETVIEWPORTEXT:
      p_.setViewportExt(oneExtent(r));
      break;
    case U_WMR_OFFSETWINDOWORG:
      p_.offsetWindowOrg(onePoint(r));
      break;
    case U_WMR_OFFSETVIEWPORTORG:
      p_.offsetViewportOrg(onePoint(r));
      break;
    case U_WMR_SCALEWINDOWEXT: {
      const auto s = r.as<wmf::ScaleExt>();
      p_.scaleWindowExt(s.xNum, s.xDenom, s.yNum, s.yDenom);
      break;
    }
    case U_WMR_SCALEVIEWPORTEXT: {
      const auto s = r.as<wmf::ScaleExt>();
      p_.scaleViewportExt(s.xNum, s.xDenom, s.yNum, s.yDenom);
      break;
    }
    case U_WMR_LINETO:
      p_.lineTo(onePoint(r));
      break;
    case U_WMR_MOVETO:
      p_.moveTo(onePoint(r));
      break;
    case U_WMR_EXCLUDECLIPRECT:
      p_.excludeClipRect(oneRect(r));
      break;
    case U_WMR_INTERSECTCLIPRECT:
      p_.intersectClipRect(oneRect(r));
      break;
    case U_WMR_ARC:
    case U_WMR_PIE:
    case U_WMR_CHORD: {
      const auto a = r.as<wmf::Arc>();
      const ArcShape shape = fn == U_WMR_ARC   ? ArcShape::Arc
                             : fn == U_WMR_PIE ? ArcShape::Pie
                                               : ArcShape::Chord;
      p_.arc(toRect(a.box), toPoint(a.start), toPoint(a.end), shape);
      break;
    }
    case U_WMR_ELLIPSE:
      p_.ellipse(oneRect(r));
      break;
    case U_WMR_RECTANGLE:
      p_.rectangle(oneRect(r));
      break;
    case U_WMR_ROUNDRECT: {
      const auto rr = r.as<wmf::RoundRect>();
      p_.roundRect(toRect(rr.rect), QSizeF(rr.cornerWidth, rr.cornerHeight));
      break;
    }
    case U_WMR_PATBLT: {
      const auto pb = r.as<wmf::PatBlt>();
      p_.patBlt(QRectF(pb.x, pb.y, pb.width, pb.height),
                wholeField(r, offsetof(wmf::PatBlt, rop), pb.rop));
      break;
    }
    case U_WMR_SAVEDC:
      p_.saveDC();
      break;
    case U_WMR_SETPIXEL: {
      const auto px = r.as<wmf::SetPixel>();
      p_.setPixel(toPoint(px.point),
                  colorOf(wholeField(r, offsetof(wmf::SetPixel, color), px.color), palette()));
      break;
    }
    case U_WMR_OFFSETCLIPRGN:
      p_.offsetClipRegion(onePoint(r));
      break;
    case U_WMR_TEXTOUT: {
      const int count = std::max<int>(0, r.as<wmf::TextOut>().length);
      constexpr uint64_t textAt = sizeof(wmf::TextOut);
      if (!r.has(textAt, count)) break;
      TextRun run;
      run.reference = toPoint(r.as<wmf::PointYX>(textOutEnd(count)));
      run.text = FontMapper::decodeAnsi(QByteArray(r.data() + textAt, count), p_.dc().font);
      run.ansi = true;
      p_.textOut(run);
      break;
    }
    case U_WMR_EXTTEXTOUT: {
      const auto e = r.as<wmf::ExtTextOut>();
      TextRun run;
      run.reference = toPoint(e.reference);
      const int count = std::max<int>(0, e.length);
      run.options = e.options;
      uint64_t at = sizeof(wmf::ExtTextOut);
      if (run.options & (kEtoOpaque | kEtoClipped)) {
        run.rect = toRect(r.as<wmf::RectLTRB>(at));
        at += sizeof(wmf::RectLTRB);
      }
      if (!r.has(at, count)) break;
      const QByteArray bytes(r.data() + at, count);
      run.text = FontMapper::decodeAnsi(bytes, p_.dc().font);
      run.ansi = true;
      const uint64_t dxAt = at + ((count + 1) & ~1);
      const int step = (run.options & 0x2000) ? 4 : 2;  // ETO_PDY: x and y advances
      if (count > 0 && r.has(dxAt, uint64_t(count) * step) && run.text.size() == count) {
        run.dx.reserve(count);
        for (int i = 0; i < count; ++i) {
          run.dx.push_back(r.i16(dxAt + step * i));
          if (step == 4) run.dy.push_back(r.i16(dxAt + step * i + 2));
        }
      }
      p_.textOut(run);
      break;
    }
    case U_WMR_BITBLT:
    case U_WMR_DIBBITBLT:
    case U_WMR_STRETCHBLT:
    case U_WMR_DIBSTRETCHBLT:
    case U_WMR_STRETCHDIB:
    case U_WMR_SETDIBTODEV:
      blt(fn, r);
      break;
    case U_WMR_POLYGON:
      p_.polygon(pointList(r));
      break;
    case U_WMR_POLYLINE:
      p_.polyline(pointList(r));
      break;
    case U_WMR_POLYPOLYGON: {
      const uint32_t n = r.as<wmf::PolyPolygon>().polygonCount;
      constexpr uint64_t countsAt = sizeof(wmf::PolyPolygon);
      if (!r.has(countsAt, uint64_t(n) * sizeof(uint16_t))) break;
      std::vector<QPolygonF> polys;
      uint64_t at = countsAt + uint64_t(n) * sizeof(uint16_t);
      for (uint32_t i = 0; i < n; ++i) {
        const uint32_t count = r.u16(countsAt + i * sizeof(uint16_t));
        if (!r.has(at, uint64_t(count) * sizeof(wmf::PointXY))) break;
        polys.push_back(pointsAt(r, at, count));
        at += uint64_t(count) * sizeof(wmf::PointXY);
      }
      p_.polyPolygon(polys);
      break;
    }
    case U_WMR_RESTOREDC:
      p_.restoreDC(static_cast<int16_t>(oneValue(r)));
      break;
    case U_WMR_FILLREGION: {
      const GdiRegion* region = objectAs<GdiRegion>(r.u16(6));
      const GdiBrush* brush = objectAs<GdiBrush>(r.u16(8));
      if (region && brush) p_.fillRegion(region->region, *brush);
      break;
    }
    case U_WMR_FRAMEREGION: {
      const GdiRegion* region = objectAs<GdiRegion>(r.u16(6));
      const GdiBrush* brush = objectAs<GdiBrush>(r.u16(8));
      if (region && brush) p_.frameRegion(region->region, *brush, QSizeF(r.i16(12), r.i16(10)));
      break;
    }
    case U_WMR_INVERTREGION:
      if (const GdiRegion* region = objectAs<GdiRegion>(oneValue(r)))
        p_.invertRegion(region->region);
      break;
    case U_WMR_PAINTREGION:
      if (const GdiRegion* region = objectAs<GdiRegion>(oneValue(r)))
        p_.fillRegion(region->region, p_.dc().brush);
      break;
    case U_WMR_SELECTCLIPREGION: {
      // Index 0 with no region behind it resets the clipping, as GDI does
      // for a null region handle.
      const uint16_t index = oneValue(r);
      if (objectAs<GdiRegion>(index))
        p_.selectObject(index);
      else
        p_.selectClipRegion(std::nullopt, RegionOp::Copy);
      break;
    }
    case U_WMR_SELECTOBJECT:
    case U_WMR_SELECTPALETTE:
      p_.selectObject(oneValue(r));
      break;
    case U_WMR_SETTEXTALIGN:
      p_.setTextAlign(oneValue(r));
      break;
    case U_WMR_DELETEOBJECT:
      p_.deleteObject(oneValue(r));
      break;
    case U_WMR_CREATEPALETTE: {
      GdiPalette pal;
      const uint32_t n = r.u16(8);
      for (uint32_t i = 0; i < n && r.has(10 + 4 * i, 4); ++i)
        pal.entries.push_back(qRgb(r.u8(10 + 4 * i), r.u8(11 + 4 * i), r.u8(12 + 4 * i)));
      p_.addObject(pal);
      break;
    }
    case U_WMR_CREATEPATTERNBRUSH: {
      GdiBrush b;
      b.kind = BrushKind::Pattern;
      b.pattern = bitmap(fn, r);
      b.monochrome = r.u8(15) == 1;
      if (b.pattern.isNull()) b.kind = BrushKind::Solid, b.color = Qt::gray;
      p_.addObject(b);
      break;
    }
    case U_WMR_DIBCREATEPATTERNBRUSH: {
      GdiBrush b;
      b.kind = BrushKind::Pattern;
      b.pattern = bitmap(fn, r);
      if (b.pattern.isNull()) b.kind = BrushKind::Solid, b.color = Qt::gray;
      p_.addObject(b);
      break;
    }
    case U_WMR_CREATEPENINDIRECT: {
      GdiPen pen;
      pen.style = r.u16(6);
      pen.width = r.i16(8);
      pen.color = colorOf(r.u32(12), palette());
      p_.addObject(pen);
      break;
    }
    case U_WMR_CREATEFONTINDIRECT: {
      GdiFont f;
      f.height = r.i16(6);
      f.width = r.i16(8);
      f.escapement = r.i16(10);
      f.orientation = r.i16(12);
      f.weight = r.i16(14);
      f.italic = r.u8(16);
      f.underline = r.u8(17);
      f.strikeOut = r.u8(18);
      f.charSet = r.u8(19);
      f.pitchAndFamily = r.u8(23);
      QByteArray face;
      for (int i = 0; i < 32 && r.has(24 + i, 1); ++i) {
        const char ch = char(r.u8(24 + i));
        if (ch == 0) break;
        face.append(ch);
      }
      f.face = QString::fromLatin1(face);
      p_.addObject(f);
      break;
    }
    case U_WMR_CREATEBRUSHINDIRECT: {
      GdiBrush b;
      const uint16_t style = r.u16(6);
      b.color = colorOf(r.u32(8), palette());
      b.hatch = r.u16(12);
      b.kind = style == 1 ? BrushKind::Null : style == 2 ? BrushKind::Hatched : BrushKind::Solid;
      p_.addObject(b);
      break;
    }
    case U_WMR_CREATEREGION:
      p_.addObject(GdiRegion{regionAt(r, 6)});
      break;
    case U_WMR_CREATEBITMAPINDIRECT:
    case U_WMR_CREATEBITMAP:
      p_.addObject(GdiPlaceholder{});
      break;
    default:
      break;
  }
}

struct Bounds {
  double left = 0, top = 0, right = 0, bottom = 0;
  bool any = false;
  void add(QPointF p) {
    left = any ? std::min(left, p.x()) : p.x();
    right = any ? std::max(right, p.x()) : p.x();
    top = any ? std::min(top, p.y()) : p.y();
    bottom = any ? std::max(bottom, p.y()) : p.y();
    any = true;
  }
  // A rectangle's two corners.
  void add(const QRectF& rc) {
    add(rc.topLeft());
    add(rc.bottomRight());
  }
  QRectF rect() const { return QRectF(QPointF(left, top), QPointF(right, bottom)); }
};

// Where a bare WMF draws, for files that never set a window: the extent of
// the coordinates its drawing records use.
void addBounds(uint8_t fn, const RecordReader& r, Bounds& b, double fontHeight) {
  // Text counts as its point and one line below it; its width is left out,
  // the way other viewers frame such files.
  auto addText = [&](QPointF at) {
    b.add(at);
    b.add(at + QPointF(0, fontHeight));
  };
  switch (fn) {
    case U_WMR_MOVETO:
    case U_WMR_LINETO:
      b.add(onePoint(r));
      break;
    case U_WMR_RECTANGLE:
    case U_WMR_ELLIPSE:
      b.add(oneRect(r));
      break;
    case U_WMR_ROUNDRECT:
      b.add(toRect(r.as<wmf::RoundRect>().rect));
      break;
    case U_WMR_ARC:
    case U_WMR_PIE:
    case U_WMR_CHORD:
      b.add(toRect(r.as<wmf::Arc>().box));
      break;
    case U_WMR_POLYGON:
    case U_WMR_POLYLINE:
      for (const QPointF& p : pointList(r)) b.add(p);
      break;
    case U_WMR_POLYPOLYGON: {
      const uint32_t n = r.as<wmf::PolyPolygon>().polygonCount;
      constexpr uint64_t countsAt = sizeof(wmf::PolyPolygon);
      uint32_t total = 0;
      for (uint32_t i = 0; i < n && r.has(countsAt + i * sizeof(uint16_t), sizeof(uint16_t)); ++i)
        total += r.u16(countsAt + i * sizeof(uint16_t));
      for (const QPointF& p : pointsAt(r, countsAt + uint64_t(n) * sizeof(uint16_t), total))
        b.add(p);
      break;
    }
    case U_WMR_EXTTEXTOUT:
      addText(toPoint(r.as<wmf::ExtTextOut>().reference));
      break;
    case U_WMR_TEXTOUT: {
      const int count = std::max<int>(0, r.as<wmf::TextOut>().length);
      addText(toPoint(r.as<wmf::PointYX>(textOutEnd(count))));
      break;
    }
    case U_WMR_STRETCHDIB:
      b.add(QPointF(r.i16(26), r.i16(24)));
      b.add(QPointF(r.i16(26) + r.i16(22), r.i16(24) + r.i16(20)));
      break;
    case U_WMR_SETDIBTODEV:
      b.add(QPointF(r.i16(22), r.i16(20)));
      b.add(QPointF(r.i16(22) + r.i16(18), r.i16(20) + r.i16(16)));
      break;
    case U_WMR_DIBSTRETCHBLT:
    case U_WMR_STRETCHBLT:
    case U_WMR_DIBBITBLT:
    case U_WMR_BITBLT: {
      const bool stretch = fn == U_WMR_DIBSTRETCHBLT || fn == U_WMR_STRETCHBLT;
      const bool noSource = r.size() / 2 == (stretch ? 14u : 12u);
      const uint64_t d = (stretch ? 18 : 14) + (noSource ? 2 : 0);
      const QPointF at(r.i16(d + 6), r.i16(d + 4));
      b.add(at);
      b.add(at + QPointF(r.i16(d + 2), r.i16(d)));
      break;
    }
    default:
      break;
  }
}

}  // namespace

MetafileContent WmfDecoder::parse(const QByteArray& data, const QString& fileName) {
  const uint32_t total = uint32_t(std::min<qsizetype>(data.size(), UINT32_MAX));
  RecordReader h(data.constData(), total);
  MetafileContent c;
  c.format = MetafileFormat::Wmf;
  c.data = data;
  DibCache budget;

  uint32_t offset = 0;
  QRectF bbox;
  double unitsPerInch = 0;
  const auto placeable = h.as<wmf::PlaceableHeader>();
  if (placeable.key == kPlaceableKey) {
    if (total < sizeof(wmf::PlaceableHeader) + sizeof(wmf::FileHeader))
      fail(fileName, QCoreApplication::translate("MetafileReader", "the file is too short."));
    bbox = toRect(placeable.bounds).normalized();
    unitsPerInch = placeable.unitsPerInch;
    if (unitsPerInch == 0) unitsPerInch = 1440;
    offset = sizeof(wmf::PlaceableHeader);
  }
  const auto header = h.as<wmf::FileHeader>(offset);
  if (!h.has(offset, sizeof header) || (header.type != 1 && header.type != 2) ||
      header.headerWords != 9 || (header.version != 0x300 && header.version != 0x100))
    fail(fileName, QCoreApplication::translate("MetafileReader", "it is not a Windows metafile."));
  offset += sizeof header;

  // Walk the records: each must be at least the 3-word record header, lie
  // inside the file, and pass the library's size check.
  QPointF windowOrg(0, 0);
  QSizeF windowExt;
  bool haveExt = false;
  bool haveOrg = false, sawDrawing = false;
  int mapMode = 0;
  double fontHeight = 12;
  Bounds bounds;
  while (uint64_t(offset) + sizeof(wmf::RecordHeader) <= total) {
    const auto head = h.as<wmf::RecordHeader>(offset);
    const uint32_t words = head.size;
    const uint16_t function = head.function;
    const uint64_t size = uint64_t(words) * 2;
    if (words < 3 || offset + size > total) {
      c.truncated = true;
      break;
    }
    if (function == 0) break;                                     // end of file record
    if (c.records.size() >= MetafileContent::kMaxRecords) break;  // the rest is left out
    const char* rec = data.constData() + offset;
    if (U_WMRRECSAFE_get(rec, data.constData() + total) == 0) {
      ++c.rejectedRecords;
      offset += uint32_t(size);
      continue;
    }
    const uint8_t fn = function & 0xFF;
    const RecordReader r(rec, uint32_t(size));
    const auto dib = bitmapIn(fn, r);
    if (dib && !budget.claim(*dib)) metafile::failBitmapBudget(fileName);
    if (!handled(fn)) ++c.unsupportedRecords;
    if (fn == U_WMR_SETWINDOWORG && !haveOrg && !sawDrawing) {
      windowOrg = onePoint(r);
      haveOrg = true;
    } else if (fn == U_WMR_SETWINDOWEXT && !haveExt) {
      const QSizeF e = oneExtent(r);
      if (e.width() != 0 && e.height() != 0) windowExt = e, haveExt = true;
    } else if (fn == U_WMR_SETMAPMODE) {
      mapMode = oneValue(r);
    } else {
      if (fn == U_WMR_CREATEFONTINDIRECT) {
        const int16_t height = r.as<wmf::CreateFontIndirect>().height;
        if (height != 0) fontHeight = std::abs(height);
      }
      addBounds(fn, r, bounds, fontHeight);
      if (fn != U_WMR_SAVEDC && fn < 0xF0 && fn != U_WMR_SELECTOBJECT) sawDrawing = true;
    }
    c.records.push_back({function, offset, uint32_t(size)});
    offset += uint32_t(size);
  }
  if (c.truncated)
    fail(fileName, QCoreApplication::translate(
                       "MetafileReader",
                       "the metafile is damaged or incomplete (a record runs past its end)."));
  if (c.records.empty())
    fail(fileName,
         QCoreApplication::translate("MetafileReader", "the metafile holds no drawing records."));

  // The picture's frame in logical units and its size on screen.
  QRectF frame;
  QSizeF natural;
  if (!bbox.isEmpty()) {
    frame = bbox;
    natural = QSizeF(bbox.width() / unitsPerInch * 96, bbox.height() / unitsPerInch * 96);
  } else {
    if (haveExt) {
      frame = QRectF(windowOrg, windowExt);
    } else if (!bounds.rect().isEmpty()) {
      frame = bounds.rect();
    } else {
      frame = QRectF(0, 0, 100, 100);
    }
    const QRectF n = frame.normalized();
    // A bare WMF does not say what its units are. Metric map modes say so
    // themselves; otherwise the units are taken as screen pixels, unless the
    // frame is far bigger than a screen, which is how twips (1440 per inch)
    // pictures look.
    double perInch = 96;
    switch (mapMode) {
      case 2:
        perInch = 254;
        break;
      case 3:
        perInch = 2540;
        break;
      case 4:
        perInch = 100;
        break;
      case 5:
        perInch = 1000;
        break;
      case 6:
        perInch = 1440;
        break;
      default:
        if (std::max(n.width(), n.height()) > 4000) perInch = 1440;
    }
    natural = QSizeF(n.width() / perInch * 96, n.height() / perInch * 96);
  }
  const double over = std::max(natural.width(), natural.height()) / MetafileContent::kMaxSide;
  if (over > 1) natural /= over;
  if (!(natural.width() > 0 && natural.height() > 0))
    fail(fileName,
         QCoreApplication::translate("MetafileReader", "the metafile gives the picture no size."));
  c.naturalSize = QSizeF(std::max(1.0, natural.width()), std::max(1.0, natural.height()));

  // Device space is the picture at its natural size; the window starts on the
  // frame, the way a program showing the file sets it up.
  c.deviceFrame = QRectF(QPointF(0, 0), c.naturalSize);
  c.setup.mapMode = MapMode::Anisotropic;
  c.setup.window = frame;
  c.setup.viewport = c.deviceFrame;
  c.setup.pixelsPerMm = QSizeF(96 / 25.4, 96 / 25.4);
  return c;
}

void WmfDecoder::play(const MetafileContent& content, GdiPlayer& player, DibCache& bitmaps) {
  WmfPlayback playback(player, bitmaps);
  const char* base = content.data.constData();
  for (const MetafileRecord& rec : content.records)
    playback.record(rec.type & 0xFF, RecordReader(base + rec.offset, rec.size));
}

}  // namespace ostrel
