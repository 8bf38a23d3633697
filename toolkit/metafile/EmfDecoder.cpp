#include "toolkit/metafile/EmfDecoder.h"

#include <uemf_safe.h>

#include <QCoreApplication>
#include <QDir>
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>

#include "toolkit/ToolkitError.h"
#include "toolkit/metafile/DecoderCommon.h"
#include "toolkit/metafile/DibCache.h"
#include "toolkit/metafile/EmfPlusPlayback.h"
#include "toolkit/metafile/FontMapper.h"
#include "toolkit/metafile/GdiNames.h"
#include "toolkit/metafile/GdiPlayer.h"
#include "toolkit/metafile/RecordReader.h"

namespace ostrel {

namespace {

using metafile::colorOf;
using metafile::fail;
using metafile::spaceText;

// Record types U_emf_record_safe cannot check (it prints a warning for them
// instead); none of them is drawn. The text records are left out too: the
// library refuses common, valid ANSI text records, and their strings and
// spacing arrays are bounds-checked field by field when they are drawn.
bool libraryChecks(uint32_t type) {
  if (type < U_EMR_MIN || type > U_EMR_MAX) return false;
  switch (type) {
    case U_EMR_EXTTEXTOUTA:
    case U_EMR_EXTTEXTOUTW:
    case U_EMR_UNDEF69:
    case U_EMR_POLYTEXTOUTA:
    case U_EMR_POLYTEXTOUTW:
    case U_EMR_GLSRECORD:
    case U_EMR_GLSBOUNDEDRECORD:
    case U_EMR_DRAWESCAPE:
    case U_EMR_EXTESCAPE:
    case U_EMR_UNDEF107:
    case U_EMR_FORCEUFIMAPPING:
    case U_EMR_NAMEDESCAPE:
    case U_EMR_COLORCORRECTPALETTE:
    case U_EMR_SETICMPROFILEA:
    case U_EMR_SETICMPROFILEW:
    case U_EMR_UNDEF117:
    case U_EMR_SETLINKEDUFIS:
    case U_EMR_SETTEXTJUSTIFICATION:
    case U_EMR_COLORMATCHTOTARGETW:
      return false;
    default:
      return true;
  }
}

bool handled(uint32_t type) {
  switch (type) {
    // Nothing to draw and nothing lost:
    case U_EMR_HEADER:
    case U_EMR_EOF:
    case U_EMR_COMMENT:
    case U_EMR_SETMAPPERFLAGS:
    case U_EMR_SETCOLORADJUSTMENT:
    case U_EMR_SETICMMODE:
    case U_EMR_REALIZEPALETTE:
    case U_EMR_SETLAYOUT:
    // Drawn by the player:
    case U_EMR_SETWINDOWEXTEX:
    case U_EMR_SETWINDOWORGEX:
    case U_EMR_SETVIEWPORTEXTEX:
    case U_EMR_SETVIEWPORTORGEX:
    case U_EMR_SETBRUSHORGEX:
    case U_EMR_SETPIXELV:
    case U_EMR_SETMAPMODE:
    case U_EMR_SETBKMODE:
    case U_EMR_SETPOLYFILLMODE:
    case U_EMR_SETROP2:
    case U_EMR_SETSTRETCHBLTMODE:
    case U_EMR_SETTEXTALIGN:
    case U_EMR_SETTEXTCOLOR:
    case U_EMR_SETBKCOLOR:
    case U_EMR_OFFSETCLIPRGN:
    case U_EMR_MOVETOEX:
    case U_EMR_SETMETARGN:
    case U_EMR_EXCLUDECLIPRECT:
    case U_EMR_INTERSECTCLIPRECT:
    case U_EMR_SCALEVIEWPORTEXTEX:
    case U_EMR_SCALEWINDOWEXTEX:
    case U_EMR_SAVEDC:
    case U_EMR_RESTOREDC:
    case U_EMR_SETWORLDTRANSFORM:
    case U_EMR_MODIFYWORLDTRANSFORM:
    case U_EMR_SELECTOBJECT:
    case U_EMR_CREATEPEN:
    case U_EMR_CREATEBRUSHINDIRECT:
    case U_EMR_DELETEOBJECT:
    case U_EMR_ANGLEARC:
    case U_EMR_ELLIPSE:
    case U_EMR_RECTANGLE:
    case U_EMR_ROUNDRECT:
    case U_EMR_ARC:
    case U_EMR_CHORD:
    case U_EMR_PIE:
    case U_EMR_SELECTPALETTE:
    case U_EMR_CREATEPALETTE:
    case U_EMR_SETPALETTEENTRIES:
    case U_EMR_LINETO:
    case U_EMR_ARCTO:
    case U_EMR_POLYDRAW:
    case U_EMR_SETARCDIRECTION:
    case U_EMR_SETMITERLIMIT:
    case U_EMR_BEGINPATH:
    case U_EMR_ENDPATH:
    case U_EMR_CLOSEFIGURE:
    case U_EMR_FILLPATH:
    case U_EMR_STROKEANDFILLPATH:
    case U_EMR_STROKEPATH:
    case U_EMR_FLATTENPATH:
    case U_EMR_WIDENPATH:
    case U_EMR_SELECTCLIPPATH:
    case U_EMR_ABORTPATH:
    case U_EMR_FILLRGN:
    case U_EMR_FRAMERGN:
    case U_EMR_INVERTRGN:
    case U_EMR_PAINTRGN:
    case U_EMR_EXTSELECTCLIPRGN:
    case U_EMR_BITBLT:
    case U_EMR_STRETCHBLT:
    case U_EMR_MASKBLT:
    case U_EMR_SETDIBITSTODEVICE:
    case U_EMR_STRETCHDIBITS:
    case U_EMR_EXTCREATEFONTINDIRECTW:
    case U_EMR_EXTTEXTOUTA:
    case U_EMR_EXTTEXTOUTW:
    case U_EMR_POLYBEZIER16:
    case U_EMR_POLYGON16:
    case U_EMR_POLYLINE16:
    case U_EMR_POLYBEZIERTO16:
    case U_EMR_POLYLINETO16:
    case U_EMR_POLYPOLYLINE16:
    case U_EMR_POLYPOLYGON16:
    case U_EMR_POLYDRAW16:
    case U_EMR_CREATEMONOBRUSH:
    case U_EMR_CREATEDIBPATTERNBRUSHPT:
    case U_EMR_EXTCREATEPEN:
    case U_EMR_SMALLTEXTOUT:
    case U_EMR_ALPHABLEND:
    case U_EMR_TRANSPARENTBLT:
    case U_EMR_GRADIENTFILL:
    case U_EMR_POLYBEZIER:
    case U_EMR_POLYGON:
    case U_EMR_POLYLINE:
    case U_EMR_POLYBEZIERTO:
    case U_EMR_POLYLINETO:
    case U_EMR_POLYPOLYLINE:
    case U_EMR_POLYPOLYGON:
    case U_EMR_RESIZEPALETTE:
      return true;
    default:
      return false;
  }
}

// Records that put something on the page (rather than set state up).
bool draws(uint32_t type) {
  auto within = [type](uint32_t first, uint32_t last) { return type >= first && type <= last; };
  return within(U_EMR_POLYBEZIER, U_EMR_POLYPOLYGON) || type == U_EMR_SETPIXELV ||
         within(U_EMR_ANGLEARC, U_EMR_PIE) || within(U_EMR_EXTFLOODFILL, U_EMR_POLYDRAW) ||
         within(U_EMR_FILLPATH, U_EMR_STROKEPATH) || within(U_EMR_FILLRGN, U_EMR_PAINTRGN) ||
         within(U_EMR_BITBLT, U_EMR_STRETCHDIBITS) || within(U_EMR_EXTTEXTOUTA, U_EMR_POLYDRAW16) ||
         type == U_EMR_POLYTEXTOUTA || type == U_EMR_POLYTEXTOUTW || type == U_EMR_SMALLTEXTOUT ||
         type == U_EMR_ALPHABLEND || type == U_EMR_TRANSPARENTBLT || type == U_EMR_GRADIENTFILL;
}

// COLORREF as the 32-bit value GDI keeps: red in the low byte.
uint32_t colorRef(const U_COLORREF& c) {
  return std::bit_cast<uint32_t>(c);
}
// A palette entry as GDI writes it: red, green, blue, then flags. libuemf's
// U_LOGPLTNTRY puts a reserved byte first, which is not what files hold.
struct PaletteEntry {
  uint8_t red, green, blue, flags;
};
static_assert(sizeof(PaletteEntry) == 4);
QRgb rgbOf(const PaletteEntry& e) {
  return qRgb(e.red, e.green, e.blue);
}

QPointF pointOf(const U_POINTL& p) {
  return QPointF(p.x, p.y);
}
QSizeF sizeOf(const U_SIZEL& s) {
  return QSizeF(s.cx, s.cy);
}
// RECTL kept as edges, as RecordReader::rect32 keeps it.
QRectF edgesOf(const U_RECTL& r) {
  return QRectF(QPointF(r.left, r.top), QPointF(r.right, r.bottom));
}

QPolygonF points32(const RecordReader& r, uint64_t off, uint32_t count) {
  QPolygonF poly;
  if (!r.has(off, uint64_t(count) * sizeof(U_POINTL))) return poly;
  poly.reserve(count);
  for (uint32_t i = 0; i < count; ++i)
    poly.append(pointOf(r.as<U_POINTL>(off + sizeof(U_POINTL) * i)));
  return poly;
}

QPolygonF points16(const RecordReader& r, uint64_t off, uint32_t count) {
  QPolygonF poly;
  if (!r.has(off, uint64_t(count) * sizeof(U_POINT16))) return poly;
  poly.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    const auto p = r.as<U_POINT16>(off + sizeof(U_POINT16) * i);
    poly.append(QPointF(p.x, p.y));
  }
  return poly;
}

// The points of POLYBEZIER, POLYGON, POLYLINE, POLYBEZIERTO and POLYLINETO,
// which share one layout, and of their 16-bit forms.
QPolygonF polyPoints(const RecordReader& r, bool wide) {
  if (wide) {
    const auto rec = r.as<U_EMRPOLYLINE>(0, offsetof(U_EMRPOLYLINE, aptl));
    return points32(r, offsetof(U_EMRPOLYLINE, aptl), rec.cptl);
  }
  const auto rec = r.as<U_EMRPOLYLINE16>(0, offsetof(U_EMRPOLYLINE16, apts));
  return points16(r, offsetof(U_EMRPOLYLINE16, apts), rec.cpts);
}

// POLYPOLYLINE / POLYPOLYGON and their 16-bit forms: the counts of the
// polygons, then all their points.
std::vector<QPolygonF> polyPolys(const RecordReader& r, bool wide) {
  std::vector<QPolygonF> result;
  uint32_t nPolys = 0, total = 0;
  if (wide) {
    const auto rec = r.as<U_EMRPOLYPOLYLINE>(0, offsetof(U_EMRPOLYPOLYLINE, aPolyCounts));
    nPolys = rec.nPolys, total = rec.cptl;
  } else {
    const auto rec = r.as<U_EMRPOLYPOLYLINE16>(0, offsetof(U_EMRPOLYPOLYLINE16, aPolyCounts));
    nPolys = rec.nPolys, total = rec.cpts;
  }
  static_assert(offsetof(U_EMRPOLYPOLYLINE, aPolyCounts) ==
                offsetof(U_EMRPOLYPOLYLINE16, aPolyCounts));
  const uint64_t countsAt = offsetof(U_EMRPOLYPOLYLINE, aPolyCounts),
                 pointsAt = countsAt + uint64_t(nPolys) * sizeof(uint32_t);
  const uint64_t pointSize = wide ? sizeof(U_POINTL) : sizeof(U_POINT16);
  if (!r.has(countsAt, uint64_t(nPolys) * sizeof(uint32_t)) ||
      !r.has(pointsAt, uint64_t(total) * pointSize))
    return result;
  uint64_t used = 0;
  for (uint32_t i = 0; i < nPolys; ++i) {
    const uint32_t n = r.u32(countsAt + sizeof(uint32_t) * i);
    if (used + n > total) break;
    const uint64_t at = pointsAt + used * pointSize;
    result.push_back(wide ? points32(r, at, n) : points16(r, at, n));
    used += n;
  }
  return result;
}

// RGNDATA at off, cb bytes long: a header, then its rectangles.
std::optional<QRegion> regionOf(const RecordReader& r, uint64_t off, uint32_t cb) {
  if (cb < sizeof(U_RGNDATAHEADER) || !r.has(off, cb)) return std::nullopt;
  const uint32_t count = r.as<U_RGNDATAHEADER>(off).nCount;
  if (uint64_t(count) * sizeof(U_RECTL) + sizeof(U_RGNDATAHEADER) > cb) return std::nullopt;
  // Uniting rectangle by rectangle keeps any order right; very long lists
  // (never written by GDI itself) fall back to their bounding rectangle.
  QRegion region;
  QRect bound;
  for (uint32_t i = 0; i < count; ++i) {
    const auto edges = r.as<U_RECTL>(off + sizeof(U_RGNDATAHEADER) + sizeof(U_RECTL) * uint64_t(i));
    auto clamp = [](int32_t v) { return std::clamp(v, -(1 << 26), 1 << 26); };
    const int left = clamp(edges.left), top = clamp(edges.top), right = clamp(edges.right),
              bottom = clamp(edges.bottom);
    if (right <= left || bottom <= top) continue;
    const QRect rect(left, top, right - left, bottom - top);
    if (i < 4000) region += rect;
    bound |= rect;
  }
  if (count >= 4000) region = QRegion(bound);
  return region;
}

// The fields that locate a record's bitmap: its colour usage, where its
// BITMAPINFO lies and how long it is, where its pixels lie and how many bytes
// they take (offsets from the record's start, so the structs must lie as the
// file does).
struct BitmapFields {
  uint32_t usage, offBmi, cbBmi, offBits, cbBits;
};
static_assert(offsetof(U_EMRBITBLT, cbBitsSrc) == 96 && sizeof(U_EMRBITBLT) == 100);
static_assert(offsetof(U_EMRSTRETCHDIBITS, iUsageSrc) == 64 &&
              offsetof(U_EMRSTRETCHDIBITS, cbBitsSrc) == 60);
static_assert(offsetof(U_EMRCREATEMONOBRUSH, cbBits) == 28);

// The records of the blt family name their bitmap's fields alike.
template <typename Blt>
BitmapFields sourceBitmapOf(const RecordReader& r) {
  const auto rec = r.as<Blt>();
  return {rec.iUsageSrc, rec.offBmiSrc, rec.cbBmiSrc, rec.offBitsSrc, rec.cbBitsSrc};
}

template <typename Brush>
BitmapFields brushBitmapOf(const RecordReader& r) {
  const auto rec = r.as<Brush>();
  return {rec.iUsage, rec.offBmi, rec.cbBmi, rec.offBits, rec.cbBits};
}

// Each record read here has passed the library's check, which holds it to at
// least its struct's size, so reading the whole struct flags nothing short.
std::optional<BitmapFields> bitmapFieldsOf(uint32_t type, const RecordReader& r) {
  switch (type) {
    case U_EMR_BITBLT:
      return sourceBitmapOf<U_EMRBITBLT>(r);
    case U_EMR_STRETCHBLT:
      return sourceBitmapOf<U_EMRSTRETCHBLT>(r);
    case U_EMR_MASKBLT:
      return sourceBitmapOf<U_EMRMASKBLT>(r);
    case U_EMR_ALPHABLEND:
      return sourceBitmapOf<U_EMRALPHABLEND>(r);
    case U_EMR_TRANSPARENTBLT:
      return sourceBitmapOf<U_EMRTRANSPARENTBLT>(r);
    case U_EMR_SETDIBITSTODEVICE:
      return sourceBitmapOf<U_EMRSETDIBITSTODEVICE>(r);
    case U_EMR_STRETCHDIBITS:
      return sourceBitmapOf<U_EMRSTRETCHDIBITS>(r);
    case U_EMR_CREATEMONOBRUSH:
      return brushBitmapOf<U_EMRCREATEMONOBRUSH>(r);
    case U_EMR_CREATEDIBPATTERNBRUSHPT:
      return brushBitmapOf<U_EMRCREATEDIBPATTERNBRUSHPT>(r);
    default:
      return std::nullopt;
  }
}

// The bitmap a record carries, if it carries one that lies inside it.
std::optional<DibRef> bitmapIn(uint32_t type, const RecordReader& r) {
  const auto fields = bitmapFieldsOf(type, r);
  if (!fields) return std::nullopt;
  const uint32_t offBmi = fields->offBmi, cbBmi = fields->cbBmi, offBits = fields->offBits,
                 cbBits = fields->cbBits;
  if (!r.ok() || cbBmi == 0 || !r.has(offBmi, cbBmi) || !r.has(offBits, cbBits))
    return std::nullopt;
  return DibRef{DibRef::Form::Split, QByteArrayView(r.data() + offBmi, cbBmi),
                QByteArrayView(r.data() + offBits, cbBits), fields->usage == U_DIB_PAL_COLORS};
}

// A world transform, or the identity when it holds values no drawing uses.
QTransform transformOf(const U_XFORM& x) {
  QTransform t(x.eM11, x.eM12, x.eM21, x.eM22, x.eDx, x.eDy);
  const double values[] = {t.m11(), t.m12(), t.m21(), t.m22(), t.dx(), t.dy()};
  for (double v : values)
    if (!std::isfinite(v) || std::abs(v) > 1e9) return QTransform();
  return t;
}

// EXTCREATEFONTINDIRECTW holds a LOGFONT, or a longer structure that begins
// with one; only the LOGFONT is read.
GdiFont logFontIn(const RecordReader& r) {
  static_assert(offsetof(U_LOGFONT_PANOSE, elfLogFont) == 0);
  return metafile::fontOf(r.as<U_LOGFONT>(offsetof(U_EMREXTCREATEFONTINDIRECTW, elfw)));
}

QString utf16At(const RecordReader& r, uint64_t off, uint32_t count) {
  QString s;
  if (!r.has(off, uint64_t(count) * sizeof(uint16_t))) return s;
  s.reserve(count);
  for (uint32_t i = 0; i < count; ++i) s.append(QChar(r.u16(off + sizeof(uint16_t) * i)));
  return s;
}

class EmfPlayback {
 public:
  EmfPlayback(GdiPlayer& p, DibCache& bitmaps) : p_(p), bitmaps_(bitmaps) {}
  void record(uint32_t type, const RecordReader& r);

 private:
  // One handler per family of records; each says whether it knew the record.
  bool stateRecord(uint32_t type, const RecordReader& r);
  bool clipRecord(uint32_t type, const RecordReader& r);
  bool objectRecord(uint32_t type, const RecordReader& r);
  bool drawingRecord(uint32_t type, const RecordReader& r);
  bool pathRecord(uint32_t type);
  bool bitmapRecord(uint32_t type, const RecordReader& r);
  bool textRecord(uint32_t type, const RecordReader& r);
  void gradientFill(const RecordReader& r);
  QImage bitmap(uint32_t type, const RecordReader& r, DibAlpha alpha);
  void text(const RecordReader& r, bool wide);
  void smallText(const RecordReader& r);
  void blt(uint32_t type, const RecordReader& r);
  const GdiBrush* brushAt(uint32_t index) const;
  std::vector<QRgb> palette() const { return p_.dc().palette; }

  GdiPlayer& p_;
  DibCache& bitmaps_;
};

QImage EmfPlayback::bitmap(uint32_t type, const RecordReader& r, DibAlpha alpha) {
  const auto dib = bitmapIn(type, r);
  return dib ? bitmaps_.image(*dib, p_.dc().palette, alpha) : QImage();
}

const GdiBrush* EmfPlayback::brushAt(uint32_t index) const {
  const GdiObject* o = p_.object(index);
  return o ? std::get_if<GdiBrush>(o) : nullptr;
}

void EmfPlayback::text(const RecordReader& r, bool wide) {
  // EXTTEXTOUTA has EXTTEXTOUTW's layout. The text's fixed part is followed
  // by its clipping rectangle (unless the options leave it out) and then by
  // the offset of its spacing array; offString and offDx count from the
  // record's start.
  static_assert(sizeof(U_EMREXTTEXTOUTA) == sizeof(U_EMREXTTEXTOUTW));
  const U_EMRTEXT emrtext = r.as<U_EMREXTTEXTOUTW>().emrtext;
  const uint32_t nChars = emrtext.nChars, offString = emrtext.offString, options = emrtext.fOptions;
  TextRun run;
  run.reference = pointOf(emrtext.ptlReference);
  run.options = options;
  uint64_t offDxAt = sizeof(U_EMREXTTEXTOUTW);
  // A writer may keep the rectangle's bytes while its options say there is
  // none: the string then starts after them, and so does the spacing offset.
  const bool rectBytes =
      !(options & U_ETO_NO_RECT) || offString >= offDxAt + sizeof(U_RECTL) + sizeof(uint32_t);
  if (rectBytes) {
    if (!(options & U_ETO_NO_RECT)) {
      run.rect = edgesOf(r.as<U_RECTL>(offDxAt));
      if (run.rect->isNull()) run.rect.reset();
    }
    offDxAt += sizeof(U_RECTL);
  }
  const uint32_t offDx = r.u32(offDxAt);
  const uint32_t count = std::min<uint32_t>(nChars, 65536);
  QByteArray bytes;
  if (wide) {
    run.text = utf16At(r, offString, count);
  } else if (r.has(offString, count)) {
    bytes = QByteArray(r.data() + offString, count);
    run.text = FontMapper::decodeAnsi(bytes, p_.dc().font);
  }
  const uint32_t step = (options & U_ETO_PDY) ? 8 : 4;
  if (offDx != 0 && r.has(offDx, uint64_t(count) * step)) {
    run.dx.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
      run.dx.push_back(r.i32(offDx + uint64_t(i) * step));
      if (step == 8) run.dy.push_back(r.i32(offDx + uint64_t(i) * step + 4));
    }
    if (!wide) spaceText(run, bytes, run.dx, run.dy, p_.dc().font);
  }
  p_.textOut(run);
}

void EmfPlayback::smallText(const RecordReader& r) {
  // The fixed part, the clipping rectangle unless the options leave it out,
  // then the characters: bytes or UTF-16 as the options say.
  const auto rec = r.as<U_EMRSMALLTEXTOUT>();
  TextRun run;
  run.reference = pointOf(rec.Dest);
  const uint32_t count = std::min<uint32_t>(rec.cChars, 65536);
  run.options = rec.fuOptions;
  uint64_t at = sizeof(U_EMRSMALLTEXTOUT);
  if (!(run.options & U_ETO_NO_RECT)) {
    run.rect = edgesOf(r.as<U_RECTL>(at));
    at += sizeof(U_RECTL);
  }
  if (run.options & U_ETO_SMALL_CHARS) {
    if (!r.has(at, count)) return;
    run.text = FontMapper::decodeAnsi(QByteArray(r.data() + at, count), p_.dc().font);
  } else {
    run.text = utf16At(r, at, count);
  }
  p_.textOut(run);
}

void EmfPlayback::blt(uint32_t type, const RecordReader& r) {
  // Destination and source rectangles: a corner and a size.
  auto area = [](const U_POINTL& corner, const U_POINTL& size) {
    return QRectF(corner.x, corner.y, size.x, size.y);
  };
  switch (type) {
    case U_EMR_BITBLT:
    case U_EMR_STRETCHBLT:
    case U_EMR_MASKBLT: {
      // STRETCHBLT and MASKBLT begin with BITBLT's fields.
      static_assert(offsetof(U_EMRSTRETCHBLT, cbBitsSrc) == offsetof(U_EMRBITBLT, cbBitsSrc) &&
                    offsetof(U_EMRMASKBLT, cbBitsSrc) == offsetof(U_EMRBITBLT, cbBitsSrc));
      const auto rec = r.as<U_EMRBITBLT>();
      const QRectF dest = area(rec.Dest, rec.cDest);
      const QTransform xform = transformOf(rec.xformSrc);
      const QImage image = bitmap(type, r, DibAlpha::Ignore);
      QSizeF srcSize = dest.size();
      if (type == U_EMR_STRETCHBLT) {
        const U_POINTL size = r.as<U_EMRSTRETCHBLT>().cSrc;
        srcSize = QSizeF(size.x, size.y);
      }
      QRectF srcRect(pointOf(rec.Src), srcSize);
      if (!xform.isIdentity() && xform.isInvertible()) srcRect = xform.mapRect(srcRect);
      p_.stretchBlt(dest, image, srcRect, rec.dwRop);
      break;
    }
    case U_EMR_SETDIBITSTODEVICE: {
      const auto rec = r.as<U_EMRSETDIBITSTODEVICE>();
      const QPointF dest = pointOf(rec.Dest);
      const QRectF src = area(rec.Src, rec.cSrc);
      const QImage image = bitmap(type, r, DibAlpha::Ignore);
      if (image.isNull()) return;
      // Source rows count from the bottom of the bitmap.
      const QRectF flipped = metafile::rowsFromBottom(src, image);
      p_.stretchBlt(QRectF(dest, src.size()), image, flipped, U_SRCCOPY);
      break;
    }
    case U_EMR_STRETCHDIBITS: {
      const auto rec = r.as<U_EMRSTRETCHDIBITS>();
      const QRectF dest = area(rec.Dest, rec.cDest);
      QRectF src = area(rec.Src, rec.cSrc);
      const QImage image = bitmap(type, r, DibAlpha::Ignore);
      // A bitmap of positive height stores its rows bottom-up.
      if (!image.isNull() && r.as<U_BITMAPINFOHEADER>(rec.offBmiSrc).biHeight > 0)
        src = metafile::rowsFromBottom(src, image);
      p_.stretchBlt(dest, image, src, rec.dwRop);
      break;
    }
    case U_EMR_ALPHABLEND: {
      const auto rec = r.as<U_EMRALPHABLEND>();
      const QRectF dest = area(rec.Dest, rec.cDest);
      const int global = rec.Blend.Global;
      // libuemf's Op is the blend's alpha format: the bitmap's own alpha counts.
      const bool perPixel = rec.Blend.Op & U_AC_SRC_ALPHA;
      const QImage image = bitmap(type, r, perPixel ? DibAlpha::Keep : DibAlpha::Ignore);
      const QRectF src = area(rec.Src, rec.cSrc);
      p_.alphaBlend(dest, image, src, global);
      break;
    }
    case U_EMR_TRANSPARENTBLT: {
      const auto rec = r.as<U_EMRTRANSPARENTBLT>();
      const QRectF dest = area(rec.Dest, rec.cDest);
      const QColor key = colorOf(rec.TColor, palette());
      const QImage image = bitmap(type, r, DibAlpha::Ignore);
      const QRectF src = area(rec.Src, rec.cSrc);
      p_.transparentBlt(dest, image, src, key.rgb());
      break;
    }
    default:
      break;
  }
}

// Mapping, drawing modes, colours, the saved contexts and the world transform.
bool EmfPlayback::stateRecord(uint32_t type, const RecordReader& r) {
  switch (type) {
    case U_EMR_SETWINDOWEXTEX:
      p_.setWindowExt(sizeOf(r.as<U_EMRSETWINDOWEXTEX>().szlExtent));
      break;
    case U_EMR_SETWINDOWORGEX:
      p_.setWindowOrg(pointOf(r.as<U_EMRSETWINDOWORGEX>().ptlOrigin));
      break;
    case U_EMR_SETVIEWPORTEXTEX:
      p_.setViewportExt(sizeOf(r.as<U_EMRSETVIEWPORTEXTEX>().szlExtent));
      break;
    case U_EMR_SETVIEWPORTORGEX:
      p_.setViewportOrg(pointOf(r.as<U_EMRSETVIEWPORTORGEX>().ptlOrigin));
      break;
    case U_EMR_SETBRUSHORGEX:
      p_.setBrushOrigin(pointOf(r.as<U_EMRSETBRUSHORGEX>().ptlOrigin));
      break;
    case U_EMR_SETMAPMODE: {
      const uint32_t m = r.as<U_EMRSETMAPMODE>().iMode;
      if (m >= U_MM_MIN && m <= U_MM_MAX) p_.setMapMode(MapMode(m));
      break;
    }
    case U_EMR_SETBKMODE:
      p_.setBkMode(r.as<U_EMRSETBKMODE>().iMode == U_TRANSPARENT ? BkMode::Transparent
                                                                 : BkMode::Opaque);
      break;
    case U_EMR_SETPOLYFILLMODE:
      p_.setFillRule(r.as<U_EMRSETPOLYFILLMODE>().iMode == U_WINDING ? Qt::WindingFill
                                                                     : Qt::OddEvenFill);
      break;
    case U_EMR_SETROP2:
      p_.setRop2(int(r.as<U_EMRSETROP2>().iMode & gdi::kRop2Mask));
      break;
    case U_EMR_SETSTRETCHBLTMODE:
      p_.setStretchBltMode(int(r.as<U_EMRSETSTRETCHBLTMODE>().iMode));
      break;
    case U_EMR_SETTEXTALIGN:
      p_.setTextAlign(r.as<U_EMRSETTEXTALIGN>().iMode);
      break;
    case U_EMR_SETTEXTCOLOR:
      p_.setTextColor(colorOf(colorRef(r.as<U_EMRSETTEXTCOLOR>().crColor), palette()));
      break;
    case U_EMR_SETBKCOLOR:
      p_.setBkColor(colorOf(colorRef(r.as<U_EMRSETBKCOLOR>().crColor), palette()));
      break;
    case U_EMR_MOVETOEX:
      p_.moveTo(pointOf(r.as<U_EMRMOVETOEX>().ptl));
      break;
    case U_EMR_SCALEVIEWPORTEXTEX: {
      const auto rec = r.as<U_EMRSCALEVIEWPORTEXTEX>();
      p_.scaleViewportExt(rec.xNum, rec.xDenom, rec.yNum, rec.yDenom);
      break;
    }
    case U_EMR_SCALEWINDOWEXTEX: {
      const auto rec = r.as<U_EMRSCALEWINDOWEXTEX>();
      p_.scaleWindowExt(rec.xNum, rec.xDenom, rec.yNum, rec.yDenom);
      break;
    }
    case U_EMR_SAVEDC:
      p_.saveDC();
      break;
    case U_EMR_RESTOREDC:
      p_.restoreDC(r.as<U_EMRRESTOREDC>().iRelative);
      break;
    case U_EMR_SETWORLDTRANSFORM:
      p_.modifyWorldTransform(transformOf(r.as<U_EMRSETWORLDTRANSFORM>().xform),
                              WorldTransformOp::Set);
      break;
    case U_EMR_MODIFYWORLDTRANSFORM: {
      const auto rec = r.as<U_EMRMODIFYWORLDTRANSFORM>();
      if (rec.iMode >= U_MWT_IDENTITY && rec.iMode <= gdi::kMwtSet)
        p_.modifyWorldTransform(transformOf(rec.xform), WorldTransformOp(rec.iMode));
      break;
    }
    case U_EMR_SETARCDIRECTION:
      p_.setArcDirection(r.as<U_EMRSETARCDIRECTION>().iArcDirection == U_AD_CLOCKWISE
                             ? ArcDirection::Clockwise
                             : ArcDirection::CounterClockwise);
      break;
    case U_EMR_SETMITERLIMIT: {
      // Written as an integer by some programs and as a float by others.
      const uint32_t raw = r.as<U_EMRSETMITERLIMIT>().eMiterLimit;
      const double limit = raw < 1000 ? double(raw) : double(std::bit_cast<float>(raw));
      if (std::isfinite(limit) && limit >= 1 && limit < 1000) p_.setMiterLimit(limit);
      break;
    }
    default:
      return false;
  }
  return true;
}

// Clipping, and the records that paint regions.
bool EmfPlayback::clipRecord(uint32_t type, const RecordReader& r) {
  switch (type) {
    case U_EMR_OFFSETCLIPRGN:
      p_.offsetClipRegion(pointOf(r.as<U_EMROFFSETCLIPRGN>().ptlOffset));
      break;
    case U_EMR_SETMETARGN:
      p_.setMetaRegion();
      break;
    case U_EMR_EXCLUDECLIPRECT:
      p_.excludeClipRect(edgesOf(r.as<U_EMREXCLUDECLIPRECT>().rclClip));
      break;
    case U_EMR_INTERSECTCLIPRECT:
      p_.intersectClipRect(edgesOf(r.as<U_EMRINTERSECTCLIPRECT>().rclClip));
      break;
    case U_EMR_SELECTCLIPPATH: {
      const uint32_t mode = r.as<U_EMRSELECTCLIPPATH>().iMode;
      if (mode >= U_RGN_MIN && mode <= U_RGN_MAX) p_.selectClipPath(RegionOp(mode));
      break;
    }
    case U_EMR_FILLRGN: {
      const auto rec = r.as<U_EMRFILLRGN>(0, offsetof(U_EMRFILLRGN, RgnData));
      const auto region = regionOf(r, offsetof(U_EMRFILLRGN, RgnData), rec.cbRgnData);
      const GdiBrush* brush = brushAt(rec.ihBrush);
      if (region && brush) p_.fillRegion(*region, *brush);
      break;
    }
    case U_EMR_FRAMERGN: {
      const auto rec = r.as<U_EMRFRAMERGN>(0, offsetof(U_EMRFRAMERGN, RgnData));
      const auto region = regionOf(r, offsetof(U_EMRFRAMERGN, RgnData), rec.cbRgnData);
      const GdiBrush* brush = brushAt(rec.ihBrush);
      if (region && brush) p_.frameRegion(*region, *brush, sizeOf(rec.szlStroke));
      break;
    }
    case U_EMR_INVERTRGN:
    case U_EMR_PAINTRGN: {
      // PAINTRGN has INVERTRGN's layout.
      const auto rec = r.as<U_EMRINVERTRGN>(0, offsetof(U_EMRINVERTRGN, RgnData));
      const auto region = regionOf(r, offsetof(U_EMRINVERTRGN, RgnData), rec.cbRgnData);
      if (!region) break;
      if (type == U_EMR_INVERTRGN)
        p_.invertRegion(*region);
      else
        p_.fillRegion(*region, p_.dc().brush);
      break;
    }
    case U_EMR_EXTSELECTCLIPRGN: {
      const auto rec = r.as<U_EMREXTSELECTCLIPRGN>(0, offsetof(U_EMREXTSELECTCLIPRGN, RgnData));
      if (rec.iMode < U_RGN_MIN || rec.iMode > U_RGN_MAX) break;
      p_.selectClipRegion(rec.cbRgnData
                              ? regionOf(r, offsetof(U_EMREXTSELECTCLIPRGN, RgnData), rec.cbRgnData)
                              : std::nullopt,
                          RegionOp(rec.iMode));
      break;
    }
    default:
      return false;
  }
  return true;
}

// Pens, brushes, fonts and palettes: made, selected and deleted.
bool EmfPlayback::objectRecord(uint32_t type, const RecordReader& r) {
  switch (type) {
    case U_EMR_SELECTOBJECT: {
      const uint32_t index = r.as<U_EMRSELECTOBJECT>().ihObject;
      if (gdi::isStockObject(index))
        p_.selectStockObject(gdi::stockIndex(index));
      else
        p_.selectObject(index);
      break;
    }
    case U_EMR_CREATEPEN: {
      const auto rec = r.as<U_EMRCREATEPEN>();
      GdiPen pen;
      pen.style = rec.lopn.lopnStyle;
      pen.width = rec.lopn.lopnWidth.x;
      pen.color = colorOf(colorRef(rec.lopn.lopnColor), palette());
      p_.createObject(rec.ihPen, pen);
      break;
    }
    case U_EMR_EXTCREATEPEN: {
      // The pen's fixed part, then its dash lengths.
      constexpr uint64_t dashesAt =
          offsetof(U_EMREXTCREATEPEN, elp) + offsetof(U_EXTLOGPEN, elpStyleEntry);
      const auto rec = r.as<U_EMREXTCREATEPEN>(0, dashesAt);
      GdiPen pen;
      pen.style = rec.elp.elpPenStyle;
      pen.width = rec.elp.elpWidth;
      if ((pen.style & U_PS_TYPE_MASK) == U_PS_COSMETIC) pen.width = 0;  // one pixel
      pen.color = colorOf(colorRef(rec.elp.elpColor), palette());
      if (rec.elp.elpBrushStyle == U_BS_NULL)
        pen.style = (pen.style & ~U_PS_STYLE_MASK) | U_PS_NULL;
      const uint32_t entries = std::min<uint32_t>(rec.elp.elpNumEntries, 64);
      for (uint32_t i = 0; i < entries && r.has(dashesAt + 4 * i, 4); ++i)
        pen.dashes.push_back(r.u32(dashesAt + 4 * i));
      p_.createObject(rec.ihPen, pen);
      break;
    }
    case U_EMR_CREATEBRUSHINDIRECT: {
      const auto rec = r.as<U_EMRCREATEBRUSHINDIRECT>();
      GdiBrush b;
      const uint32_t style = rec.lb.lbStyle;
      b.color = colorOf(colorRef(rec.lb.lbColor), palette());
      b.hatch = rec.lb.lbHatch;
      b.kind = style == U_BS_NULL      ? BrushKind::Null
               : style == U_BS_HATCHED ? BrushKind::Hatched
                                       : BrushKind::Solid;
      p_.createObject(rec.ihBrush, b);
      break;
    }
    case U_EMR_CREATEMONOBRUSH:
    case U_EMR_CREATEDIBPATTERNBRUSHPT: {
      GdiBrush b;
      b.kind = BrushKind::Pattern;
      b.pattern = bitmap(type, r, DibAlpha::Ignore);
      b.monochrome = type == U_EMR_CREATEMONOBRUSH;
      if (b.pattern.isNull()) b.kind = BrushKind::Solid, b.color = Qt::gray;
      static_assert(offsetof(U_EMRCREATEMONOBRUSH, ihBrush) ==
                    offsetof(U_EMRCREATEDIBPATTERNBRUSHPT, ihBrush));
      p_.createObject(r.as<U_EMRCREATEMONOBRUSH>().ihBrush, b);
      break;
    }
    case U_EMR_DELETEOBJECT:
      p_.deleteObject(r.as<U_EMRDELETEOBJECT>().ihObject);
      break;
    case U_EMR_SELECTPALETTE: {
      const uint32_t index = r.as<U_EMRSELECTPALETTE>().ihPal;
      if (gdi::isStockObject(index))
        p_.selectStockObject(gdi::stockIndex(U_DEFAULT_PALETTE));
      else
        p_.selectObject(index);
      break;
    }
    case U_EMR_CREATEPALETTE: {
      constexpr uint64_t entriesAt =
          offsetof(U_EMRCREATEPALETTE, lgpl) + offsetof(U_LOGPALETTE, palPalEntry);
      const auto rec = r.as<U_EMRCREATEPALETTE>(0, entriesAt);
      GdiPalette pal;
      const uint32_t n = rec.lgpl.palNumEntries;
      for (uint32_t i = 0; i < n && r.has(entriesAt + 4 * i, 4); ++i)
        pal.entries.push_back(rgbOf(r.as<PaletteEntry>(entriesAt + 4 * i)));
      p_.createObject(rec.ihPal, pal);
      break;
    }
    case U_EMR_SETPALETTEENTRIES: {
      constexpr uint64_t entriesAt = offsetof(U_EMRSETPALETTEENTRIES, aPalEntries);
      const auto rec = r.as<U_EMRSETPALETTEENTRIES>(0, entriesAt);
      std::vector<QRgb> entries;
      const uint32_t n = std::min<uint32_t>(rec.cEntries, 4096);
      for (uint32_t i = 0; i < n && r.has(entriesAt + 4 * i, 4); ++i)
        entries.push_back(rgbOf(r.as<PaletteEntry>(entriesAt + 4 * i)));
      p_.setPaletteEntries(rec.ihPal, rec.iStart, entries);
      break;
    }
    case U_EMR_EXTCREATEFONTINDIRECTW:
      p_.createObject(r.as<U_EMREXTCREATEFONTINDIRECTW>().ihFont, logFontIn(r));
      break;
    default:
      return false;
  }
  return true;
}

// Lines, curves and shapes.
bool EmfPlayback::drawingRecord(uint32_t type, const RecordReader& r) {
  switch (type) {
    case U_EMR_POLYBEZIER:
      p_.polyBezier(polyPoints(r, true));
      break;
    case U_EMR_POLYGON:
      p_.polygon(polyPoints(r, true));
      break;
    case U_EMR_POLYLINE:
      p_.polyline(polyPoints(r, true));
      break;
    case U_EMR_POLYBEZIERTO:
      p_.polyBezierTo(polyPoints(r, true));
      break;
    case U_EMR_POLYLINETO:
      p_.polylineTo(polyPoints(r, true));
      break;
    case U_EMR_POLYPOLYLINE:
      p_.polyPolyline(polyPolys(r, true));
      break;
    case U_EMR_POLYPOLYGON:
      p_.polyPolygon(polyPolys(r, true));
      break;
    case U_EMR_POLYBEZIER16:
      p_.polyBezier(polyPoints(r, false));
      break;
    case U_EMR_POLYGON16:
      p_.polygon(polyPoints(r, false));
      break;
    case U_EMR_POLYLINE16:
      p_.polyline(polyPoints(r, false));
      break;
    case U_EMR_POLYBEZIERTO16:
      p_.polyBezierTo(polyPoints(r, false));
      break;
    case U_EMR_POLYLINETO16:
      p_.polylineTo(polyPoints(r, false));
      break;
    case U_EMR_POLYPOLYLINE16:
      p_.polyPolyline(polyPolys(r, false));
      break;
    case U_EMR_POLYPOLYGON16:
      p_.polyPolygon(polyPolys(r, false));
      break;
    case U_EMR_POLYDRAW:
    case U_EMR_POLYDRAW16: {
      // The points, then one point type per point.
      const bool wide = type == U_EMR_POLYDRAW;
      const uint32_t n = wide ? r.as<U_EMRPOLYDRAW>(0, offsetof(U_EMRPOLYDRAW, aptl)).cptl
                              : r.as<U_EMRPOLYDRAW16>(0, offsetof(U_EMRPOLYDRAW16, apts)).cpts;
      const uint64_t pointsAt =
          wide ? offsetof(U_EMRPOLYDRAW, aptl) : offsetof(U_EMRPOLYDRAW16, apts);
      const QPolygonF pts = wide ? points32(r, pointsAt, n) : points16(r, pointsAt, n);
      const uint64_t typesAt =
          pointsAt + uint64_t(n) * (wide ? sizeof(U_POINTL) : sizeof(U_POINT16));
      if (pts.size() != qsizetype(n) || !r.has(typesAt, n)) break;
      std::vector<uint8_t> kinds(r.data() + typesAt, r.data() + typesAt + n);
      p_.polyDraw(pts, kinds);
      break;
    }
    case U_EMR_SETPIXELV: {
      const auto rec = r.as<U_EMRSETPIXELV>();
      p_.setPixel(pointOf(rec.ptlPixel), colorOf(colorRef(rec.crColor), palette()));
      break;
    }
    case U_EMR_ANGLEARC: {
      const auto rec = r.as<U_EMRANGLEARC>();
      p_.angleArc(pointOf(rec.ptlCenter), rec.nRadius, rec.eStartAngle, rec.eSweepAngle);
      break;
    }
    case U_EMR_ELLIPSE:
      p_.ellipse(edgesOf(r.as<U_EMRELLIPSE>().rclBox));
      break;
    case U_EMR_RECTANGLE:
      p_.rectangle(edgesOf(r.as<U_EMRRECTANGLE>().rclBox));
      break;
    case U_EMR_ROUNDRECT: {
      const auto rec = r.as<U_EMRROUNDRECT>();
      p_.roundRect(edgesOf(rec.rclBox), sizeOf(rec.szlCorner));
      break;
    }
    case U_EMR_ARC:
    case U_EMR_ARCTO:
    case U_EMR_CHORD:
    case U_EMR_PIE: {
      const ArcShape shape = type == U_EMR_ARC     ? ArcShape::Arc
                             : type == U_EMR_ARCTO ? ArcShape::ArcTo
                             : type == U_EMR_CHORD ? ArcShape::Chord
                                                   : ArcShape::Pie;
      const auto rec = r.as<U_EMRARC>();
      p_.arc(edgesOf(rec.rclBox), pointOf(rec.ptlStart), pointOf(rec.ptlEnd), shape);
      break;
    }
    case U_EMR_LINETO:
      p_.lineTo(pointOf(r.as<U_EMRLINETO>().ptl));
      break;
    default:
      return false;
  }
  return true;
}

// Paths: collected, then drawn or made the clip.
bool EmfPlayback::pathRecord(uint32_t type) {
  switch (type) {
    case U_EMR_BEGINPATH:
      p_.beginPath();
      break;
    case U_EMR_ENDPATH:
      p_.endPath();
      break;
    case U_EMR_CLOSEFIGURE:
      p_.closeFigure();
      break;
    case U_EMR_FILLPATH:
      p_.drawPath(PathDraw::Fill);
      break;
    case U_EMR_STROKEANDFILLPATH:
      p_.drawPath(PathDraw::StrokeAndFill);
      break;
    case U_EMR_STROKEPATH:
      p_.drawPath(PathDraw::Stroke);
      break;
    case U_EMR_FLATTENPATH:
      p_.flattenPath();
      break;
    case U_EMR_WIDENPATH:
      p_.widenPath();
      break;
    case U_EMR_ABORTPATH:
      p_.abortPath();
      break;
    default:
      return false;
  }
  return true;
}

// Bitmaps and gradients.
bool EmfPlayback::bitmapRecord(uint32_t type, const RecordReader& r) {
  switch (type) {
    case U_EMR_BITBLT:
    case U_EMR_STRETCHBLT:
    case U_EMR_MASKBLT:
    case U_EMR_SETDIBITSTODEVICE:
    case U_EMR_STRETCHDIBITS:
    case U_EMR_ALPHABLEND:
    case U_EMR_TRANSPARENTBLT:
      blt(type, r);
      break;
    case U_EMR_GRADIENTFILL:
      gradientFill(r);
      break;
    default:
      return false;
  }
  return true;
}

// Text output.
bool EmfPlayback::textRecord(uint32_t type, const RecordReader& r) {
  switch (type) {
    case U_EMR_EXTTEXTOUTA:
      text(r, false);
      break;
    case U_EMR_EXTTEXTOUTW:
      text(r, true);
      break;
    case U_EMR_SMALLTEXTOUT:
      smallText(r);
      break;
    default:
      return false;
  }
  return true;
}

void EmfPlayback::gradientFill(const RecordReader& r) {
  // The fixed part, the vertices, then the triangles or rectangles
  // naming them.
  const auto rec = r.as<U_EMRGRADIENTFILL>();
  const uint32_t nVer = rec.nTriVert, nObj = rec.nGradObj, mode = rec.ulMode;
  constexpr uint64_t verticesAt = sizeof(U_EMRGRADIENTFILL);
  if (!r.has(verticesAt, uint64_t(nVer) * sizeof(U_TRIVERTEX))) return;
  std::vector<GdiPlayer::Vertex> v;
  v.reserve(nVer);
  for (uint32_t i = 0; i < nVer; ++i) {
    const auto t = r.as<U_TRIVERTEX>(verticesAt + sizeof(U_TRIVERTEX) * uint64_t(i));
    v.push_back({QPointF(t.x, t.y), QColor(t.Red >> 8, t.Green >> 8, t.Blue >> 8)});
  }
  const uint64_t objAt = verticesAt + sizeof(U_TRIVERTEX) * uint64_t(nVer);
  if (mode == U_GRADIENT_FILL_TRIANGLE) {
    std::vector<std::array<uint32_t, 3>> tris;
    for (uint32_t i = 0; i < nObj; ++i) {
      const uint64_t at = objAt + sizeof(U_GRADIENT3) * uint64_t(i);
      if (!r.has(at, sizeof(U_GRADIENT3))) break;
      const auto g = r.as<U_GRADIENT3>(at);
      tris.push_back({g.Vertex1, g.Vertex2, g.Vertex3});
    }
    p_.gradientFillTriangle(v, tris);
  } else {
    std::vector<std::pair<uint32_t, uint32_t>> rects;
    for (uint32_t i = 0; i < nObj; ++i) {
      const uint64_t at = objAt + sizeof(U_GRADIENT4) * uint64_t(i);
      if (!r.has(at, sizeof(U_GRADIENT4))) break;
      const auto g = r.as<U_GRADIENT4>(at);
      rects.emplace_back(g.UpperLeft, g.LowerRight);
    }
    p_.gradientFillRect(v, rects, mode == U_GRADIENT_FILL_RECT_V);
  }
}

// Each family's handler takes the records it knows and leaves the rest.
void EmfPlayback::record(uint32_t type, const RecordReader& r) {
  if (stateRecord(type, r) || clipRecord(type, r) || objectRecord(type, r)) return;
  if (drawingRecord(type, r) || pathRecord(type) || bitmapRecord(type, r)) return;
  textRecord(type, r);
}

}  // namespace

MetafileContent EmfDecoder::parse(const QByteArray& data, const QString& fileName) {
  RecordReader h(data.constData(), uint32_t(std::min<qsizetype>(data.size(), UINT32_MAX)));
  // The oldest headers end before the pixel format fields; later fields are
  // not used.
  constexpr uint32_t kMinHeader = U_SIZE_EMRHEADER_MIN;
  static_assert(kMinHeader == 88);
  const auto header = h.as<U_EMRHEADER>(0, kMinHeader);
  if (data.size() < kMinHeader || header.emr.iType != U_EMR_HEADER ||
      header.dSignature != U_ENHMETA_SIGNATURE)
    fail(fileName,
         QCoreApplication::translate("MetafileReader", "it is not an enhanced metafile."));
  const uint32_t headerSize = header.emr.nSize;
  if (headerSize < kMinHeader || headerSize % 4 || headerSize > uint32_t(data.size()))
    fail(fileName,
         QCoreApplication::translate("MetafileReader", "the metafile header is damaged."));

  MetafileContent c;
  c.format = MetafileFormat::Emf;
  c.data = data;

  // The reference device: pixels per millimetre for the metric mapping modes.
  const double devW = header.szlDevice.cx, devH = header.szlDevice.cy,
               mmW = header.szlMillimeters.cx, mmH = header.szlMillimeters.cy;
  QSizeF ppmm(96 / 25.4, 96 / 25.4);
  if (devW > 0 && devH > 0 && mmW > 0 && mmH > 0) ppmm = QSizeF(devW / mmW, devH / mmH);
  c.setup.pixelsPerMm = ppmm;

  // rclFrame (hundredths of a millimetre, inclusive) says how big the picture
  // is; rclBounds (device pixels) stands in when the frame is missing.
  const QRectF bounds = edgesOf(header.rclBounds);
  const QRectF frame = edgesOf(header.rclFrame);
  QRectF deviceFrame;
  QSizeF natural;
  if (frame.width() > 0 && frame.height() > 0) {
    deviceFrame = QRectF(frame.left() / 100 * ppmm.width(), frame.top() / 100 * ppmm.height(),
                         (frame.width() + 1) / 100 * ppmm.width(),
                         (frame.height() + 1) / 100 * ppmm.height());
    natural = QSizeF((frame.width() + 1) / 2540 * 96, (frame.height() + 1) / 2540 * 96);
  } else if (bounds.width() >= 0 && bounds.height() >= 0) {
    deviceFrame = QRectF(bounds.left(), bounds.top(), bounds.width() + 1, bounds.height() + 1);
    natural = QSizeF(deviceFrame.width() / ppmm.width() / 25.4 * 96,
                     deviceFrame.height() / ppmm.height() / 25.4 * 96);
  } else {
    fail(fileName, QCoreApplication::translate("MetafileReader",
                                               "the metafile header gives the picture no size."));
  }
  if (!(natural.width() > 0 && natural.height() > 0) || !std::isfinite(natural.width()) ||
      !std::isfinite(natural.height()))
    fail(fileName, QCoreApplication::translate("MetafileReader",
                                               "the metafile header gives the picture no size."));
  // A frame bigger than any screen is scaled down rather than believed.
  const double over = std::max(natural.width(), natural.height()) / MetafileContent::kMaxSide;
  if (over > 1) natural /= over;
  c.naturalSize = QSizeF(std::max(1.0, natural.width()), std::max(1.0, natural.height()));
  c.deviceFrame = deviceFrame;

  // Walk the records once: sizes, library checks, what kind of content.
  const uint32_t total = uint32_t(std::min<qsizetype>(data.size(), UINT32_MAX));
  uint32_t offset = 0;
  bool sawEof = false, gdiDrawing = false;
  EmfPlusPlayback::Census plus;
  c.records.reserve(std::min<size_t>(total / 8, 1 << 16));
  DibCache budget;
  while (uint64_t(offset) + 8 <= total) {
    const auto emr = h.as<U_EMR>(offset);
    const uint32_t type = emr.iType, size = emr.nSize;
    if (size < 8 || size % 4 || uint64_t(offset) + size > total) {
      c.truncated = true;
      break;
    }
    if (c.records.size() >= MetafileContent::kMaxRecords) break;  // the rest is left out
    const char* rec = data.constData() + offset;
    if (type == U_EMR_EOF) {
      sawEof = true;
      break;
    }
    bool ok = true;
    if (libraryChecks(type) && type != U_EMR_HEADER) ok = U_emf_record_safe(rec) != 0;
    // An EMF+ comment holds EMF+ records, played beside the GDI ones.
    const bool plusComment = ok && EmfPlusPlayback::isPlusComment(rec, size);
    if (plusComment) EmfPlusPlayback::survey(rec + 16, size - 16, plus);
    if (ok) {
      const auto dib = bitmapIn(type, RecordReader(rec, size));
      if (dib && !budget.claim(*dib)) metafile::failBitmapBudget(fileName);
    }
    if (!ok) {
      ++c.rejectedRecords;
    } else {
      if (!handled(type)) ++c.unsupportedRecords;
      if (draws(type)) gdiDrawing = true;
      if ((type != U_EMR_HEADER && type != U_EMR_COMMENT) || plusComment)
        c.records.push_back({type, offset, size});
    }
    offset += size;
  }
  c.unsupportedRecords += plus.unsupported;
  c.rejectedRecords += plus.rejected;
  // A record running past the end (or one claiming no size) means the file
  // is cut short or damaged; the rest of it cannot be trusted to draw.
  if (c.truncated && !sawEof)
    fail(fileName, QCoreApplication::translate(
                       "MetafileReader",
                       "the metafile is damaged or incomplete (a record runs past its end)."));
  if (plus.header && !gdiDrawing && !plus.drawing)
    fail(fileName, QCoreApplication::translate("MetafileReader",
                                               "it holds neither GDI nor EMF+ drawing records."));
  return c;
}

void EmfDecoder::play(const MetafileContent& content, GdiPlayer& player, DibCache& bitmaps) {
  EmfPlayback playback(player, bitmaps);
  EmfPlusPlayback plus(player, bitmaps);
  const char* base = content.data.constData();
  // EMF+ records that never reach their end record stand in for no GDI
  // record after their last comment: those draw.
  const auto last = std::find_if(content.records.rbegin(), content.records.rend(),
                                 [](const MetafileRecord& r) { return r.type == U_EMR_COMMENT; });
  const MetafileRecord* lastComment = last == content.records.rend() ? nullptr : &*last;
  for (const MetafileRecord& rec : content.records) {
    if (rec.type == U_EMR_COMMENT) {
      plus.comment(base + rec.offset, rec.size);
      if (&rec == lastComment) plus.endOfComments();
    } else if (!(plus.gdiIsStandIn() && draws(rec.type))) {
      // GDI drawing that stands in for EMF+ drawing is left out: the
      // picture is drawn once, by the richer records.
      playback.record(rec.type, RecordReader(base + rec.offset, rec.size));
    }
  }
}

}  // namespace ostrel
