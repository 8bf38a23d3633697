#include "toolkit/metafile/EmfPlusPath.h"

#include "toolkit/metafile/EmfPlusNames.h"
#include "toolkit/metafile/EmfPlusReader.h"

namespace ostrel {

namespace {

// The point types, one a point, from runs of (count, type) byte pairs.
std::vector<uint8_t> runLengthTypes(EmfPlusReader& r, uint32_t count) {
  std::vector<uint8_t> types;
  while (types.size() < count && r.ok()) {
    const uint32_t run = r.u8() & emfplus::kRunCountMask;
    const uint8_t type = r.u8();
    if (!r.ok()) break;
    types.insert(types.end(), std::min<size_t>(run, count - types.size()), type);
  }
  return types;
}

}  // namespace

QPainterPath EmfPlusPath::read(EmfPlusReader& r) {
  r.u32();  // version
  const uint32_t count = r.u32();
  const uint32_t flags = r.u32();
  const QPolygonF points =
      r.points(count, flags & emfplus::kPathCompressed, flags & emfplus::kPathRelative);
  std::vector<uint8_t> types;
  if (flags & emfplus::kPathRunLengths) {
    types = runLengthTypes(r, count);
  } else if (r.fits(count, 1)) {
    types.assign(r.current(), r.current() + count);
    r.skip(count);
  } else {
    r.fail();
  }
  if (!r.ok() || types.size() != count) return {};
  return fromPoints(points, types);
}

QPainterPath EmfPlusPath::fromPoints(const QPolygonF& points, const std::vector<uint8_t>& types) {
  QPainterPath path;
  const qsizetype n = std::min<qsizetype>(points.size(), qsizetype(types.size()));
  bool open = false;  // a figure has begun
  for (qsizetype i = 0; i < n; ++i) {
    const uint8_t kind = types[i] & emfplus::kPointTypeMask;
    qsizetype last = i;
    if (kind == emfplus::kPointStart || !open) {
      path.moveTo(points[i]);
      open = true;
    } else if (kind == emfplus::kPointBezier && i + 2 < n) {
      path.cubicTo(points[i], points[i + 1], points[i + 2]);
      last = i + 2;
    } else {
      path.lineTo(points[i]);
    }
    if (types[last] & emfplus::kPointClose) {
      path.closeSubpath();
      open = false;
    }
    i = last;
  }
  return path;
}

}  // namespace ostrel
