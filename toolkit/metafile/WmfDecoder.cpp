#include "toolkit/metafile/WmfDecoder.h"

#include <QCoreApplication>
#include <QDir>
#include <cmath>
#include <cstddef>

#include "toolkit/ToolkitError.h"
#include "toolkit/metafile/DecoderCommon.h"
#include "toolkit/metafile/DibCache.h"
#include "toolkit/metafile/FontMapper.h"
#include "toolkit/metafile/GdiNames.h"
#include "toolkit/metafile/GdiPlayer.h"
#include "toolkit/metafile/RecordReader.h"
#include "toolkit/metafile/WmfRecords.h"

namespace ostrel {

namespace {

using metafile::colorOf;
using metafile::fail;
using metafile::spaceText;

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

// Where the string of a TextOut record ends: the reference point follows
// it, the string padded to a whole word.
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

QRegion regionIn(const RecordReader& r) {
  const auto head = r.as<wmf::CreateRegion>();
  const int scanCount = head.scanCount;
  const QRectF bound = toRect(head.bounds).normalized();
  QRegion region;
  uint64_t at = sizeof(wmf::CreateRegion);
  for (int s = 0; s < scanCount && s < 8192; ++s) {
    const auto scan = r.as<wmf::RegionScan>(at);
    const int top = scan.top, bottom = scan.bottom;
    // The x values, then the count once more.
    const uint64_t xAt = at + sizeof(wmf::RegionScan);
    const uint64_t length = sizeof(wmf::RegionScan) + (uint64_t(scan.count) + 1) * sizeof(int16_t);
    if (!r.has(at, length)) break;
    for (int i = 0; i + 1 < scan.count; i += 2) {
      const int left = r.i16(xAt + i * sizeof(int16_t));
      const int right = r.i16(xAt + (i + 1) * sizeof(int16_t));
      if (right > left && bottom > top) region += QRect(left, top, right - left, bottom - top);
    }
    at += length;
  }
  if (scanCount == 0 || region.isEmpty()) region = QRegion(bound.toRect());
  return region;
}

// The bitmap-less BitBlt and StretchBlt (a fill by rop alone) is told apart
// by its size only.
bool withoutBitmap(uint8_t fn, const RecordReader& r) {
  const uint32_t words = r.size() / 2;
  switch (fn) {
    case U_WMR_BITBLT:
    case U_WMR_DIBBITBLT:
      return words == sizeof(wmf::BitBltNoBitmap) / 2;
    case U_WMR_STRETCHBLT:
    case U_WMR_DIBSTRETCHBLT:
      return words == sizeof(wmf::StretchBltNoBitmap) / 2;
    default:
      return false;
  }
}

// What a blt record copies: the part of its bitmap, where to, and how.
struct Blt {
  QRectF dest;
  QRectF src;
  uint32_t rop = 0;
};

template <typename T>
Blt bitBltOf(const RecordReader& r) {
  const auto b = r.as<T>();
  const QRectF dest(b.destX, b.destY, b.width, b.height);
  return {dest, QRectF(QPointF(b.srcX, b.srcY), dest.size()),
          wholeField(r, offsetof(T, rop), b.rop)};
}

template <typename T>
Blt stretchBltOf(const RecordReader& r) {
  const auto b = r.as<T>();
  return {QRectF(b.destX, b.destY, b.destWidth, b.destHeight),
          QRectF(b.srcX, b.srcY, b.srcWidth, b.srcHeight), wholeField(r, offsetof(T, rop), b.rop)};
}

std::optional<Blt> bltOf(uint8_t fn, const RecordReader& r) {
  switch (fn) {
    case U_WMR_BITBLT:
    case U_WMR_DIBBITBLT:
      return withoutBitmap(fn, r) ? bitBltOf<wmf::BitBltNoBitmap>(r) : bitBltOf<wmf::BitBlt>(r);
    case U_WMR_STRETCHBLT:
    case U_WMR_DIBSTRETCHBLT:
      return withoutBitmap(fn, r) ? stretchBltOf<wmf::StretchBltNoBitmap>(r)
                                  : stretchBltOf<wmf::StretchBlt>(r);
    case U_WMR_STRETCHDIB:
      return stretchBltOf<wmf::StretchDib>(r);
    case U_WMR_SETDIBTODEV: {
      // Copies the bitmap unscaled, always as SRCCOPY.
      const auto b = r.as<wmf::SetDibToDev>();
      const QRectF src(b.srcX, b.srcY, b.width, b.height);
      return Blt{QRectF(QPointF(b.destX, b.destY), src.size()), src, U_SRCCOPY};
    }
    default:
      return std::nullopt;
  }
}

// StretchDIB is StretchDIBits, where the source rows of a bottom-up bitmap
// count from its bottom edge (the blt records count from the top). A bitmap
// that decoded has its header whole.
QRectF fromBottom(QRectF src, const QImage& image, const RecordReader& r) {
  const auto info = r.as<U_BITMAPINFOHEADER>(sizeof(wmf::StretchDib));
  if (image.isNull() || info.biHeight <= 0 || info.biSize == sizeof(wmf::BitmapCoreHeader))
    return src;
  return metafile::rowsFromBottom(src, image);
}

// Where the bitmap of a record starts, and what kind it is.
struct BitmapPlace {
  uint32_t offset;
  DibRef::Form form;
};

std::optional<BitmapPlace> bitmapPlaceOf(uint8_t fn, const RecordReader& r) {
  switch (fn) {
    case U_WMR_BITBLT:
    case U_WMR_DIBBITBLT:
      if (withoutBitmap(fn, r)) return std::nullopt;
      return BitmapPlace{sizeof(wmf::BitBlt),
                         fn == U_WMR_DIBBITBLT ? DibRef::Form::Packed : DibRef::Form::Bitmap16};
    case U_WMR_STRETCHBLT:
    case U_WMR_DIBSTRETCHBLT:
      if (withoutBitmap(fn, r)) return std::nullopt;
      return BitmapPlace{sizeof(wmf::StretchBlt),
                         fn == U_WMR_DIBSTRETCHBLT ? DibRef::Form::Packed : DibRef::Form::Bitmap16};
    case U_WMR_STRETCHDIB:
      return BitmapPlace{sizeof(wmf::StretchDib), DibRef::Form::Packed};
    case U_WMR_SETDIBTODEV:
      return BitmapPlace{sizeof(wmf::SetDibToDev), DibRef::Form::Packed};
    case U_WMR_DIBCREATEPATTERNBRUSH:
      return BitmapPlace{sizeof(wmf::DibCreatePatternBrush), DibRef::Form::Packed};
    case U_WMR_CREATEPATTERNBRUSH:
      return BitmapPlace{offsetof(wmf::CreatePatternBrush, bitmap), DibRef::Form::Bitmap16};
    default:
      return std::nullopt;
  }
}

bool usesPaletteColours(uint8_t fn, const RecordReader& r) {
  switch (fn) {
    case U_WMR_STRETCHDIB:
      return r.as<wmf::StretchDib>().colorUsage == U_DIB_PAL_COLORS;
    case U_WMR_SETDIBTODEV:
      return r.as<wmf::SetDibToDev>().colorUsage == U_DIB_PAL_COLORS;
    case U_WMR_DIBCREATEPATTERNBRUSH:
      return r.as<wmf::DibCreatePatternBrush>().colorUsage == U_DIB_PAL_COLORS;
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
  // The blt records have the bits right after the BITMAP16 header; a pattern
  // brush has a bits pointer and reserved bytes in between.
  const uint32_t bitsAt = fn == U_WMR_CREATEPATTERNBRUSH ? sizeof(wmf::CreatePatternBrush)
                                                         : place->offset + sizeof(wmf::Bitmap16);
  if (r.size() <= bitsAt) return std::nullopt;
  return DibRef{DibRef::Form::Bitmap16, QByteArrayView(at, sizeof(wmf::Bitmap16)),
                QByteArrayView(r.data() + bitsAt, r.size() - bitsAt), false};
}

class WmfPlayback {
 public:
  WmfPlayback(GdiPlayer& p, DibCache& bitmaps) : p_(p), bitmaps_(bitmaps) {}
  void record(uint8_t fn, const RecordReader& r);

 private:
  // One handler per family of records; each says whether it knew the record.
  bool stateRecord(uint8_t fn, const RecordReader& r);
  bool clipRecord(uint8_t fn, const RecordReader& r);
  bool objectRecord(uint8_t fn, const RecordReader& r);
  bool drawingRecord(uint8_t fn, const RecordReader& r);
  bool bitmapRecord(uint8_t fn, const RecordReader& r);
  bool textRecord(uint8_t fn, const RecordReader& r);
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
  const auto b = bltOf(fn, r);
  if (!b) return;
  switch (fn) {
    case U_WMR_STRETCHDIB: {
      if (r.size() <= sizeof(wmf::StretchDib)) return;
      const QImage image = bitmap(fn, r);
      p_.stretchBlt(b->dest, image, fromBottom(b->src, image, r), b->rop);
      break;
    }
    case U_WMR_SETDIBTODEV: {
      if (r.size() <= sizeof(wmf::SetDibToDev)) return;
      const QImage image = bitmap(fn, r);
      if (image.isNull()) return;
      p_.stretchBlt(b->dest, image, metafile::rowsFromBottom(b->src, image), b->rop);
      break;
    }
    default:
      p_.stretchBlt(b->dest, bitmap(fn, r), b->src, b->rop);
      break;
  }
}

// Mapping, drawing modes, colours and the saved contexts.
bool WmfPlayback::stateRecord(uint8_t fn, const RecordReader& r) {
  switch (fn) {
    case U_WMR_SETBKCOLOR:
      p_.setBkColor(oneColor(r));
      break;
    case U_WMR_SETBKMODE:
      p_.setBkMode(oneValue(r) == U_TRANSPARENT ? BkMode::Transparent : BkMode::Opaque);
      break;
    case U_WMR_SETMAPMODE: {
      // Programs showing a WMF set an anisotropic mapping onto their window
      // first; the file's own map mode only decides whether the aspect is kept.
      const uint16_t m = oneValue(r);
      p_.setMapMode(m == U_MM_ISOTROPIC ? MapMode::Isotropic : MapMode::Anisotropic);
      break;
    }
    case U_WMR_SETROP2:
      p_.setRop2(oneValue(r) & gdi::kRop2Mask);
      break;
    case U_WMR_SETPOLYFILLMODE:
      p_.setFillRule(oneValue(r) == U_WINDING ? Qt::WindingFill : Qt::OddEvenFill);
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
    case U_WMR_MOVETO:
      p_.moveTo(onePoint(r));
      break;
    case U_WMR_SAVEDC:
      p_.saveDC();
      break;
    case U_WMR_RESTOREDC:
      p_.restoreDC(static_cast<int16_t>(oneValue(r)));
      break;
    case U_WMR_SETTEXTALIGN:
      p_.setTextAlign(oneValue(r));
      break;
    default:
      return false;
  }
  return true;
}

// Clipping, and the records that paint regions.
bool WmfPlayback::clipRecord(uint8_t fn, const RecordReader& r) {
  switch (fn) {
    case U_WMR_EXCLUDECLIPRECT:
      p_.excludeClipRect(oneRect(r));
      break;
    case U_WMR_INTERSECTCLIPRECT:
      p_.intersectClipRect(oneRect(r));
      break;
    case U_WMR_OFFSETCLIPRGN:
      p_.offsetClipRegion(onePoint(r));
      break;
    case U_WMR_FILLREGION: {
      const auto fr = r.as<wmf::FillRegion>();
      const GdiRegion* region = objectAs<GdiRegion>(fr.region);
      const GdiBrush* brush = objectAs<GdiBrush>(fr.brush);
      if (region && brush) p_.fillRegion(region->region, *brush);
      break;
    }
    case U_WMR_FRAMEREGION: {
      const auto fr = r.as<wmf::FrameRegion>();
      const GdiRegion* region = objectAs<GdiRegion>(fr.region);
      const GdiBrush* brush = objectAs<GdiBrush>(fr.brush);
      if (region && brush) p_.frameRegion(region->region, *brush, QSizeF(fr.width, fr.height));
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
    default:
      return false;
  }
  return true;
}

// Pens, brushes, fonts, palettes and regions: made, selected and deleted.
bool WmfPlayback::objectRecord(uint8_t fn, const RecordReader& r) {
  switch (fn) {
    case U_WMR_SELECTOBJECT:
    case U_WMR_SELECTPALETTE:
      p_.selectObject(oneValue(r));
      break;
    case U_WMR_DELETEOBJECT:
      p_.deleteObject(oneValue(r));
      break;
    case U_WMR_CREATEPALETTE: {
      GdiPalette pal;
      const uint32_t n = r.as<wmf::CreatePalette>().count;
      for (uint32_t i = 0; i < n; ++i) {
        const uint64_t at = sizeof(wmf::CreatePalette) + i * sizeof(wmf::PaletteEntry);
        if (!r.has(at, sizeof(wmf::PaletteEntry))) break;
        const auto e = r.as<wmf::PaletteEntry>(at);
        pal.entries.push_back(qRgb(e.red, e.green, e.blue));
      }
      p_.addObject(pal);
      break;
    }
    case U_WMR_CREATEPATTERNBRUSH: {
      GdiBrush b;
      b.kind = BrushKind::Pattern;
      b.pattern = bitmap(fn, r);
      b.monochrome = r.as<wmf::CreatePatternBrush>().bitmap.bitsPixel == 1;
      if (b.pattern.isNull()) b.kind = BrushKind::Solid, b.color = Qt::gray;
      p_.addObject(b);
      break;
    }
    case U_WMR_DIBCREATEPATTERNBRUSH: {
      GdiBrush b;
      b.kind = BrushKind::Pattern;
      b.pattern = bitmap(fn, r);
      // A pattern brush made from a device bitmap is stored as a DIB with
      // the BS_PATTERN style; one bit a pixel, it was a monochrome bitmap,
      // which takes its colours from the text and background colours.
      b.monochrome = r.as<wmf::DibCreatePatternBrush>().style == U_BS_PATTERN &&
                     r.as<U_BITMAPINFOHEADER>(sizeof(wmf::DibCreatePatternBrush)).biBitCount == 1;
      if (b.pattern.isNull()) b.kind = BrushKind::Solid, b.color = Qt::gray;
      p_.addObject(b);
      break;
    }
    case U_WMR_CREATEPENINDIRECT: {
      const auto lp = r.as<wmf::CreatePenIndirect>();
      GdiPen pen;
      pen.style = lp.style;
      pen.width = lp.width;
      pen.color =
          colorOf(wholeField(r, offsetof(wmf::CreatePenIndirect, color), lp.color), palette());
      p_.addObject(pen);
      break;
    }
    case U_WMR_CREATEFONTINDIRECT:
      // A face cut short with the record ends there: as() reads zeros past the end.
      p_.addObject(metafile::fontOf(r.as<wmf::CreateFontIndirect>().font));
      break;
    case U_WMR_CREATEBRUSHINDIRECT: {
      const auto lb = r.as<wmf::CreateBrushIndirect>();
      GdiBrush b;
      const uint16_t style = lb.style;
      b.color =
          colorOf(wholeField(r, offsetof(wmf::CreateBrushIndirect, color), lb.color), palette());
      b.hatch = lb.hatch;
      b.kind = style == U_BS_NULL      ? BrushKind::Null
               : style == U_BS_HATCHED ? BrushKind::Hatched
                                       : BrushKind::Solid;
      p_.addObject(b);
      break;
    }
    case U_WMR_CREATEREGION:
      p_.addObject(GdiRegion{regionIn(r)});
      break;
    case U_WMR_CREATEBITMAPINDIRECT:
    case U_WMR_CREATEBITMAP:
      p_.addObject(GdiPlaceholder{});
      break;
    default:
      return false;
  }
  return true;
}

// Lines, curves and shapes.
bool WmfPlayback::drawingRecord(uint8_t fn, const RecordReader& r) {
  switch (fn) {
    case U_WMR_LINETO:
      p_.lineTo(onePoint(r));
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
    case U_WMR_SETPIXEL: {
      const auto px = r.as<wmf::SetPixel>();
      p_.setPixel(toPoint(px.point),
                  colorOf(wholeField(r, offsetof(wmf::SetPixel, color), px.color), palette()));
      break;
    }
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
    default:
      return false;
  }
  return true;
}

// Bitmaps and fills by raster operation.
bool WmfPlayback::bitmapRecord(uint8_t fn, const RecordReader& r) {
  switch (fn) {
    case U_WMR_PATBLT: {
      const auto pb = r.as<wmf::PatBlt>();
      p_.patBlt(QRectF(pb.x, pb.y, pb.width, pb.height),
                wholeField(r, offsetof(wmf::PatBlt, rop), pb.rop));
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
    default:
      return false;
  }
  return true;
}

// Text output.
bool WmfPlayback::textRecord(uint8_t fn, const RecordReader& r) {
  switch (fn) {
    case U_WMR_TEXTOUT: {
      const int count = std::max<int>(0, r.as<wmf::TextOut>().length);
      constexpr uint64_t textAt = sizeof(wmf::TextOut);
      if (!r.has(textAt, count)) break;
      TextRun run;
      run.reference = toPoint(r.as<wmf::PointYX>(textOutEnd(count)));
      run.text = FontMapper::decodeAnsi(QByteArray(r.data() + textAt, count), p_.dc().font);
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
      if (run.options & (U_ETO_OPAQUE | U_ETO_CLIPPED)) {
        run.rect = toRect(r.as<wmf::RectLTRB>(at));
        at += sizeof(wmf::RectLTRB);
      }
      if (!r.has(at, count)) break;
      const QByteArray bytes(r.data() + at, count);
      run.text = FontMapper::decodeAnsi(bytes, p_.dc().font);
      const uint64_t dxAt = at + ((count + 1) & ~1);
      // 16-bit advances, one a byte: x alone, or x and y.
      const int step = (run.options & U_ETO_PDY) ? 4 : 2;
      if (count > 0 && r.has(dxAt, uint64_t(count) * step)) {
        std::vector<double> dx, dy;
        for (int i = 0; i < count; ++i) {
          dx.push_back(r.i16(dxAt + step * i));
          if (step == 4) dy.push_back(r.i16(dxAt + step * i + 2));
        }
        spaceText(run, bytes, dx, dy, p_.dc().font);
      }
      p_.textOut(run);
      break;
    }
    default:
      return false;
  }
  return true;
}

// Each family's handler takes the records it knows and leaves the rest.
void WmfPlayback::record(uint8_t fn, const RecordReader& r) {
  if (stateRecord(fn, r) || clipRecord(fn, r) || objectRecord(fn, r)) return;
  if (drawingRecord(fn, r) || bitmapRecord(fn, r)) return;
  textRecord(fn, r);
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
    case U_WMR_SETDIBTODEV:
    case U_WMR_DIBSTRETCHBLT:
    case U_WMR_STRETCHBLT:
    case U_WMR_DIBBITBLT:
    case U_WMR_BITBLT:
      if (const auto blt = bltOf(fn, r)) b.add(blt->dest);
      break;
    default:
      break;
  }
}

// The size on screen of a WMF without a placeable header, from the frame of
// its window or drawing (logical units) and its map mode.
QSizeF bareNaturalSize(const QRectF& frame, int mapMode) {
  const QRectF n = frame.normalized();
  // A bare WMF does not say what its units are. Metric map modes say so
  // themselves; otherwise the units are taken as screen pixels, unless the
  // frame is far bigger than a screen, which is how twips (1440 per inch)
  // pictures look.
  double perInch = 96;
  switch (mapMode) {
    case U_MM_LOMETRIC:
      perInch = 254;
      break;
    case U_MM_HIMETRIC:
      perInch = 2540;
      break;
    case U_MM_LOENGLISH:
      perInch = 100;
      break;
    case U_MM_HIENGLISH:
      perInch = 1000;
      break;
    case U_MM_TWIPS:
      perInch = 1440;
      break;
    default:
      if (std::max(n.width(), n.height()) > 4000) perInch = 1440;
  }
  return QSizeF(n.width() / perInch * 96, n.height() / perInch * 96);
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
  if (placeable.key == gdi::kPlaceableKey) {
    if (total < sizeof(wmf::PlaceableHeader) + sizeof(wmf::FileHeader))
      fail(fileName, QCoreApplication::translate("MetafileReader", "the file is too short."));
    bbox = toRect(placeable.bounds).normalized();
    unitsPerInch = placeable.unitsPerInch;
    if (unitsPerInch == 0) unitsPerInch = 1440;
    offset = sizeof(wmf::PlaceableHeader);
  }
  const auto header = h.as<wmf::FileHeader>(offset);
  if (!h.has(offset, sizeof header) ||
      (header.type != U_MEMORYMETAFILE && header.type != U_DISKMETAFILE) ||
      header.headerWords != gdi::kWmfHeaderWords ||
      (header.version != U_METAVERSION300 && header.version != U_METAVERSION100))
    fail(fileName, QCoreApplication::translate("MetafileReader", "it is not a Windows metafile."));
  offset += sizeof header;

  // Walk the records: each must be at least the 3-word record header, lie
  // inside the file, and pass the library's size check.
  QPointF windowOrg(0, 0);
  QSizeF windowExt;
  bool haveExt = false;
  // A viewport the file sets for itself is in the units of the device it was
  // written on: that device is the picture, so its first viewport is the frame.
  QPointF viewportOrg(0, 0);
  QSizeF viewportExt;
  bool haveViewport = false;
  bool haveOrg = false, sawDrawing = false;
  int mapMode = 0;
  double fontHeight = 12;
  Bounds bounds;
  while (uint64_t(offset) + sizeof(wmf::RecordHeader) <= total) {
    const auto head = h.as<wmf::RecordHeader>(offset);
    const uint32_t words = head.size;
    const uint16_t function = head.function;
    const uint64_t size = uint64_t(words) * 2;
    if (words < sizeof(wmf::RecordHeader) / 2 || offset + size > total) {
      c.truncated = true;
      break;
    }
    if (function == U_WMR_EOF) break;
    if (c.records.size() >= MetafileContent::kMaxRecords) break;  // the rest is left out
    const char* rec = data.constData() + offset;
    if (U_WMRRECSAFE_get(rec, data.constData() + total) == 0) {
      ++c.rejectedRecords;
      offset += uint32_t(size);
      continue;
    }
    const uint8_t fn = function & U_WMR_MASK;
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
    } else if (fn == U_WMR_SETVIEWPORTORG) {
      if (!haveViewport) viewportOrg = onePoint(r);
    } else if (fn == U_WMR_SETVIEWPORTEXT) {
      const QSizeF e = oneExtent(r);
      if (!haveViewport && e.width() != 0 && e.height() != 0) viewportExt = e, haveViewport = true;
    } else {
      if (fn == U_WMR_CREATEFONTINDIRECT) {
        const int16_t height = r.as<wmf::CreateFontIndirect>().font.lfHeight;
        if (height != 0) fontHeight = std::abs(height);
      }
      addBounds(fn, r, bounds, fontHeight);
      if (fn != U_WMR_SAVEDC && fn < gdi::kWmfFirstObjectRecord && fn != U_WMR_SELECTOBJECT)
        sawDrawing = true;
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
    natural = bareNaturalSize(frame, mapMode);
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
  if (haveViewport) {
    c.setup.viewport = QRectF(viewportOrg, viewportExt);
    c.deviceFrame = c.setup.viewport.normalized();
  }
  c.setup.pixelsPerMm = QSizeF(96 / 25.4, 96 / 25.4);
  return c;
}

QByteArray WmfDecoder::embeddedEmf(const MetafileContent& content) {
  QByteArray emf;
  uint32_t pieces = 0, expected = 0, total = 0;
  for (const MetafileRecord& rec : content.records) {
    if ((rec.type & U_WMR_MASK) != (U_WMR_ESCAPE & U_WMR_MASK)) continue;
    const RecordReader r(content.data.constData() + rec.offset, rec.size);
    const auto piece = r.as<wmf::EmfPiece>();
    if (!r.has(0, sizeof piece) || piece.escape != U_MFE_META_ESCAPE_ENHANCED_METAFILE ||
        piece.identifier != gdi::kWmfEmfPieceIdentifier ||
        piece.commentType != gdi::kWmfEmfPieceType)
      continue;
    // Every piece repeats the whole's size and count; each must fit its record.
    if (pieces == 0) {
      expected = piece.pieceCount;
      total = piece.emfSize;
    }
    if (!r.has(sizeof piece, piece.pieceSize) || piece.pieceCount != expected ||
        piece.emfSize != total || uint64_t(emf.size()) + piece.pieceSize > total)
      return {};
    emf.append(r.data() + sizeof piece, piece.pieceSize);
    ++pieces;
    if (uint64_t(emf.size()) + piece.bytesAfter != total) return {};
  }
  if (pieces == 0 || pieces != expected) return {};
  return emf;
}

void WmfDecoder::play(const MetafileContent& content, GdiPlayer& player, DibCache& bitmaps) {
  WmfPlayback playback(player, bitmaps);
  const char* base = content.data.constData();
  for (const MetafileRecord& rec : content.records)
    playback.record(rec.type & U_WMR_MASK, RecordReader(base + rec.offset, rec.size));
}

}  // namespace ostrel
