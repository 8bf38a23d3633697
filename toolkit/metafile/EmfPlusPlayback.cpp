#include "toolkit/metafile/EmfPlusPlayback.h"

#include <cmath>

#include "toolkit/metafile/DibCache.h"
#include "toolkit/metafile/EmfPlusGeometry.h"
#include "toolkit/metafile/EmfPlusNames.h"
#include "toolkit/metafile/EmfPlusReader.h"
#include "toolkit/metafile/GdiPlayer.h"
#include "toolkit/metafile/RecordReader.h"

namespace ostrel {

namespace {

// The EMF+ records of a comment lie after the EMF record's header, its
// data size and the "EMF+" identifier.
constexpr uint32_t kPlusRecordsAt = 16;

bool draws(uint16_t type) {
  return (type >= U_PMR_CLEAR && type <= U_PMR_DRAWSTRING) || type == U_PMR_DRAWDRIVERSTRING;
}

// Records known and deliberately left undrawn are counted with the unknown
// ones: effects on images, terminal-server caches, the GDI-like
// stroke-and-fill, and alternative formats of a picture.
bool played(uint16_t type) {
  switch (type) {
    case U_PMR_SERIALIZABLEOBJECT:
    case U_PMR_SETTSGRAPHICS:
    case U_PMR_SETTSCLIP:
    case U_PMR_STROKEFILLPATH:
    case U_PMR_MULTIFORMATSTART:
    case U_PMR_MULTIFORMATSECTION:
    case U_PMR_MULTIFORMATEND:
      return false;
    default:
      return type >= U_PMR_MIN && type <= U_PMR_MAX;
  }
}

// Walks the records of one comment: type, flags and a reader of the data,
// for each record whose sizes hold together; false for one that does not
// (the rest of the comment is not trusted).
template <typename Visit>
void walk(const char* data, uint32_t size, Visit&& visit) {
  const RecordReader r(data, size);
  uint32_t at = 0;
  while (uint64_t(at) + emfplus::kRecordHeaderSize <= size) {
    const uint16_t type = r.u16(at), flags = r.u16(at + 2);
    const uint32_t length = r.u32(at + 4), dataSize = r.u32(at + 8);
    const bool fits = length >= emfplus::kRecordHeaderSize && length <= size - at &&
                      dataSize <= length - emfplus::kRecordHeaderSize;
    EmfPlusReader body(fits ? data + at + emfplus::kRecordHeaderSize : nullptr,
                       fits ? dataSize : 0);
    if (!visit(type, flags, body, fits) || !fits) return;
    at += length;
  }
}

}  // namespace

bool EmfPlusPlayback::isPlusComment(const char* record, uint32_t size) {
  const RecordReader r(record, size);
  // At least one record (a header's worth) after the identifier.
  return size >= kPlusRecordsAt + emfplus::kRecordHeaderSize && r.u32(0) == U_EMR_COMMENT &&
         r.u32(12) == emfplus::kCommentIdent;
}

void EmfPlusPlayback::survey(const char* data, uint32_t size, Census& census) {
  walk(data, size, [&](uint16_t type, uint16_t, EmfPlusReader&, bool fits) {
    if (!fits) {
      ++census.rejected;
      return false;
    }
    const uint16_t kind = emfplus::recordType(type);
    if (!emfplus::isPlusRecord(type) || !played(kind)) {
      ++census.unsupported;
      return true;
    }
    if (kind == U_PMR_HEADER) census.header = true;
    if (draws(kind)) census.drawing = true;
    return true;
  });
}

EmfPlusPlayback::EmfPlusPlayback(GdiPlayer& gdi, DibCache& bitmaps)
    : bitmaps_(bitmaps), player_(gdi, bitmaps), objects_(bitmaps, gdi.setup().nesting) {}

void EmfPlusPlayback::comment(const char* record, uint32_t size) {
  if (!isPlusComment(record, size)) return;
  walk(record + kPlusRecordsAt, size - kPlusRecordsAt,
       [&](uint16_t type, uint16_t flags, EmfPlusReader& body, bool fits) {
         if (fits && emfplus::isPlusRecord(type))
           this->record(emfplus::recordType(type), flags, body);
         return true;
       });
}

void EmfPlusPlayback::record(uint16_t type, uint16_t flags, EmfPlusReader& r) {
  switch (type) {
    case U_PMR_HEADER: {
      r.u32();  // version
      const bool video = r.u32() & U_PPF_VIDEO;
      const uint32_t dpiX = r.u32(), dpiY = r.u32();
      if (r.ok()) player_.setResolution(dpiX, dpiY, video);
      active_ = true;
      afterGetDC_ = false;
      return;
    }
    case U_PMR_ENDOFFILE:
      active_ = false;
      afterGetDC_ = false;
      return;
    case U_PMR_GETDC:
      afterGetDC_ = true;
      return;
    default:
      afterGetDC_ = false;
      break;
  }
  if (stateRecord(type, flags, r) || transformRecord(type, flags, r)) return;
  if (clipRecord(type, flags, r) || shapeRecord(type, flags, r)) return;
  if (curveRecord(type, flags, r) || imageRecord(type, flags, r)) return;
  textRecord(type, flags, r);
}

const EmfPlusBrush* EmfPlusPlayback::brushOf(uint16_t flags, uint32_t value) {
  if (!(flags & emfplus::kBrushIsColor)) return objects_.brush(value);
  colorBrush_ = EmfPlusBrush(QColor::fromRgba(value));
  return &colorBrush_;
}

void EmfPlusPlayback::fillOrStroke(const QPainterPath& path, uint16_t flags,
                                   const EmfPlusBrush* brush) {
  if (brush) {
    player_.fill(path, *brush);
  } else if (const EmfPlusPen* pen = penOf(flags & emfplus::kObjectIdMask)) {
    player_.stroke(path, *pen);
  }
}

// Objects, saved states, containers and rendering modes.
bool EmfPlusPlayback::stateRecord(uint16_t type, uint16_t flags, EmfPlusReader& r) {
  switch (type) {
    case U_PMR_OBJECT:
      objects_.define(flags, r);
      break;
    case U_PMR_SAVE:
      player_.save(r.u32());
      break;
    case U_PMR_RESTORE:
    case U_PMR_ENDCONTAINER:
      player_.restore(r.u32());
      break;
    case U_PMR_BEGINCONTAINER: {
      const QRectF dst = r.rectF(), src = r.rectF();
      const uint32_t id = r.u32();
      if (r.ok()) player_.beginContainer(id, dst, src, (flags >> 8) & emfplus::kPageUnitMask);
      break;
    }
    case U_PMR_BEGINCONTAINERNOPARAMS:
      player_.beginContainer(r.u32());
      break;
    case U_PMR_SETANTIALIASMODE:
      player_.setAntiAlias(flags & emfplus::kAntiAliasOn);
      break;
    case U_PMR_SETTEXTRENDERINGHINT: {
      const uint8_t hint = flags & 0xFF;
      player_.setTextAntiAlias(hint != emfplus::kTextSingleBitPerPixelGridFit &&
                               hint != emfplus::kTextSingleBitPerPixel);
      break;
    }
    case U_PMR_SETCOMPOSITINGMODE:
      player_.setCompositingCopy((flags & 0xFF) == emfplus::kCompositingCopy);
      break;
    case U_PMR_COMMENT:
    case U_PMR_SETRENDERINGORIGIN:
    case U_PMR_SETTEXTCONTRAST:
    case U_PMR_SETINTERPOLATIONMODE:
    case U_PMR_SETPIXELOFFSETMODE:
    case U_PMR_SETCOMPOSITINGQUALITY:
      break;  // nothing this player draws differently
    default:
      return false;
  }
  return true;
}

bool EmfPlusPlayback::transformRecord(uint16_t type, uint16_t flags, EmfPlusReader& r) {
  const bool post = flags & emfplus::kPostMultiply;
  switch (type) {
    case U_PMR_SETWORLDTRANSFORM: {
      const QTransform t = r.matrix();
      if (r.ok()) player_.setWorldTransform(t);
      break;
    }
    case U_PMR_RESETWORLDTRANSFORM:
      player_.setWorldTransform(QTransform());
      break;
    case U_PMR_MULTIPLYWORLDTRANSFORM: {
      const QTransform t = r.matrix();
      if (r.ok()) player_.multiplyWorldTransform(t, post);
      break;
    }
    case U_PMR_TRANSLATEWORLDTRANSFORM: {
      const double dx = r.f32(), dy = r.f32();
      if (r.ok()) player_.multiplyWorldTransform(QTransform::fromTranslate(dx, dy), post);
      break;
    }
    case U_PMR_SCALEWORLDTRANSFORM: {
      const double sx = r.f32(), sy = r.f32();
      if (r.ok()) player_.multiplyWorldTransform(QTransform::fromScale(sx, sy), post);
      break;
    }
    case U_PMR_ROTATEWORLDTRANSFORM: {
      const double angle = r.f32();
      if (r.ok()) player_.multiplyWorldTransform(QTransform().rotate(angle), post);
      break;
    }
    case U_PMR_SETPAGETRANSFORM: {
      const double scale = r.f32();
      if (r.ok()) player_.setPageTransform(flags & emfplus::kPageUnitMask, scale);
      break;
    }
    default:
      return false;
  }
  return true;
}

bool EmfPlusPlayback::clipRecord(uint16_t type, uint16_t flags, EmfPlusReader& r) {
  const auto how = EmfPlusPlayer::Combine(
      std::min<int>((flags >> emfplus::kCombineModeShift) & emfplus::kCombineModeMask,
                    int(EmfPlusPlayer::Combine::Complement)));
  switch (type) {
    case U_PMR_RESETCLIP:
      player_.resetClip();
      break;
    case U_PMR_SETCLIPRECT: {
      const QRectF rect = r.rectF();
      if (!r.ok()) break;
      QPainterPath p;
      p.addRect(rect.normalized());
      player_.clip(EmfPlusRegion(p), how);
      break;
    }
    case U_PMR_SETCLIPPATH:
      if (const QPainterPath* path = objects_.path(flags & emfplus::kObjectIdMask))
        player_.clip(EmfPlusRegion(*path), how);
      break;
    case U_PMR_SETCLIPREGION:
      if (const EmfPlusRegion* region = objects_.region(flags & emfplus::kObjectIdMask))
        player_.clip(*region, how);
      break;
    case U_PMR_OFFSETCLIP: {
      const double dx = r.f32(), dy = r.f32();
      if (r.ok()) player_.offsetClip(QPointF(dx, dy));
      break;
    }
    default:
      return false;
  }
  return true;
}

// Rectangles, polygons, lines, ellipses, pies, arcs, paths and regions.
bool EmfPlusPlayback::shapeRecord(uint16_t type, uint16_t flags, EmfPlusReader& r) {
  const bool compressed = flags & emfplus::kCompressed, relative = flags & emfplus::kRelative;
  switch (type) {
    case U_PMR_CLEAR: {
      const QColor color = r.argb();
      if (r.ok()) player_.clear(color);
      break;
    }
    case U_PMR_FILLRECTS:
    case U_PMR_DRAWRECTS: {
      const EmfPlusBrush* brush = type == U_PMR_FILLRECTS ? brushOf(flags, r.u32()) : nullptr;
      const std::vector<QRectF> rects = r.rects(r.u32(), compressed);
      if (!r.ok() || (type == U_PMR_FILLRECTS && !brush)) break;
      QPainterPath path;
      for (const QRectF& rect : rects) path.addRect(rect);
      fillOrStroke(path, flags, brush);
      break;
    }
    case U_PMR_FILLPOLYGON:
    case U_PMR_DRAWLINES: {
      const EmfPlusBrush* brush = type == U_PMR_FILLPOLYGON ? brushOf(flags, r.u32()) : nullptr;
      const QPolygonF points = r.points(r.u32(), compressed, relative);
      if (!r.ok() || points.size() < 2 || (type == U_PMR_FILLPOLYGON && !brush)) break;
      QPainterPath path;
      path.addPolygon(points);
      if (brush || (flags & emfplus::kClosedLines)) path.closeSubpath();
      fillOrStroke(path, flags, brush);
      break;
    }
    case U_PMR_FILLELLIPSE:
    case U_PMR_DRAWELLIPSE: {
      const EmfPlusBrush* brush = type == U_PMR_FILLELLIPSE ? brushOf(flags, r.u32()) : nullptr;
      const QRectF rect = r.rect(compressed);
      if (!r.ok() || (type == U_PMR_FILLELLIPSE && !brush)) break;
      QPainterPath path;
      path.addEllipse(rect.normalized());
      fillOrStroke(path, flags, brush);
      break;
    }
    case U_PMR_FILLPIE:
    case U_PMR_DRAWPIE:
    case U_PMR_DRAWARC: {
      const EmfPlusBrush* brush = type == U_PMR_FILLPIE ? brushOf(flags, r.u32()) : nullptr;
      const double start = r.f32(), sweep = r.f32();
      const QRectF rect = r.rect(compressed);
      if (!r.ok() || (type == U_PMR_FILLPIE && !brush)) break;
      fillOrStroke(EmfPlusGeometry::arc(rect, start, sweep, type != U_PMR_DRAWARC), flags, brush);
      break;
    }
    case U_PMR_FILLPATH:
    case U_PMR_FILLREGION: {
      const EmfPlusBrush* brush = brushOf(flags, r.u32());
      const uint32_t id = flags & emfplus::kObjectIdMask;
      const QPainterPath* path = objects_.path(id);
      const EmfPlusRegion* region = objects_.region(id);
      if (!r.ok() || !brush) break;
      if (type == U_PMR_FILLPATH && path) player_.fill(*path, *brush);
      if (type == U_PMR_FILLREGION && region && !region->isInfinite())
        player_.fill(region->path(), *brush);
      break;
    }
    case U_PMR_DRAWPATH: {
      const QPainterPath* path = objects_.path(flags & emfplus::kObjectIdMask);
      const EmfPlusPen* pen = penOf(r.u32());
      if (r.ok() && path && pen) player_.stroke(*path, *pen);
      break;
    }
    default:
      return false;
  }
  return true;
}

// Cardinal splines and Beziers.
bool EmfPlusPlayback::curveRecord(uint16_t type, uint16_t flags, EmfPlusReader& r) {
  const bool compressed = flags & emfplus::kCompressed, relative = flags & emfplus::kRelative;
  switch (type) {
    case U_PMR_FILLCLOSEDCURVE: {
      const EmfPlusBrush* brush = brushOf(flags, r.u32());
      const double tension = r.f32();
      const QPolygonF points = r.points(r.u32(), compressed, relative);
      if (!r.ok() || !brush) break;
      QPainterPath path = EmfPlusGeometry::closedCurve(points, tension);
      path.setFillRule((flags & emfplus::kWindingFill) ? Qt::WindingFill : Qt::OddEvenFill);
      player_.fill(path, *brush);
      break;
    }
    case U_PMR_DRAWCLOSEDCURVE: {
      const double tension = r.f32();
      const QPolygonF points = r.points(r.u32(), compressed, relative);
      if (r.ok()) fillOrStroke(EmfPlusGeometry::closedCurve(points, tension), flags, nullptr);
      break;
    }
    case U_PMR_DRAWCURVE: {
      const double tension = r.f32();
      const uint32_t offset = r.u32(), segments = r.u32();
      const QPolygonF points = r.points(r.u32(), compressed, false);
      if (!r.ok() || offset > uint32_t(INT32_MAX) || segments > uint32_t(INT32_MAX)) break;
      fillOrStroke(EmfPlusGeometry::curve(points, tension, int(offset), int(segments)), flags,
                   nullptr);
      break;
    }
    case U_PMR_DRAWBEZIERS: {
      const QPolygonF points = r.points(r.u32(), compressed, relative);
      if (r.ok()) fillOrStroke(EmfPlusGeometry::beziers(points), flags, nullptr);
      break;
    }
    default:
      return false;
  }
  return true;
}

bool EmfPlusPlayback::imageRecord(uint16_t type, uint16_t flags, EmfPlusReader& r) {
  if (type != U_PMR_DRAWIMAGE && type != U_PMR_DRAWIMAGEPOINTS) return false;
  const EmfPlusImage* image = objects_.image(flags & emfplus::kObjectIdMask);
  r.u32();  // image attributes
  const uint32_t srcUnit = r.u32();
  const QRectF src = r.rectF();
  QPolygonF dst;
  if (type == U_PMR_DRAWIMAGE) {
    const QRectF rect = r.rect(flags & emfplus::kCompressed);
    dst = {rect.topLeft(), rect.topRight(), rect.bottomLeft()};
  } else {
    const uint32_t count = r.u32();
    if (count != 3) return true;
    dst = r.points(count, flags & emfplus::kCompressed, flags & emfplus::kRelative);
  }
  if (r.ok() && image) player_.drawImage(*image, src, srcUnit, dst);
  return true;
}

bool EmfPlusPlayback::textRecord(uint16_t type, uint16_t flags, EmfPlusReader& r) {
  const EmfPlusFont* font = objects_.font(flags & emfplus::kObjectIdMask);
  if (type == U_PMR_DRAWSTRING) {
    const EmfPlusBrush* brush = brushOf(flags, r.u32());
    const EmfPlusStringFormat* format = objects_.format(r.u32());
    const uint32_t length = r.u32();
    const QRectF layout = r.rectF();
    if (!r.fits(length, 2) || !brush || !font) return true;
    QString text;
    text.reserve(length);
    for (uint32_t i = 0; i < length; ++i) text.append(QChar(r.u16()));
    if (r.ok()) player_.drawString(text, *font, format, layout, *brush);
    return true;
  }
  if (type != U_PMR_DRAWDRIVERSTRING) return false;
  const EmfPlusBrush* brush = brushOf(flags, r.u32());
  const uint32_t options = r.u32();
  const bool matrix = r.u32() != 0;
  const uint32_t count = r.u32();
  // Each glyph takes a code and a position: ten bytes.
  if (!r.fits(count, 10) || !brush || !font) return true;
  QString text;
  for (uint32_t i = 0; i < count; ++i) text.append(QChar(r.u16()));
  std::vector<QPointF> origins;
  for (uint32_t i = 0; i < count; ++i) origins.push_back(r.pointF());
  const QTransform glyphs = matrix ? r.matrix() : QTransform();
  // Glyph numbers name glyphs of the writer's font, which is not here.
  if (!r.ok() || !(options & emfplus::kDriverCmapLookup)) return true;
  if (options & emfplus::kDriverRealizedAdvance) origins.resize(std::min<size_t>(1, count));
  player_.drawGlyphs(text, origins, *font, *brush, glyphs);
  return true;
}

}  // namespace ostrel
