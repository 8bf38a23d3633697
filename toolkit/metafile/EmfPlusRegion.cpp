#include "toolkit/metafile/EmfPlusRegion.h"

#include "toolkit/metafile/EmfPlusNames.h"
#include "toolkit/metafile/EmfPlusPath.h"
#include "toolkit/metafile/EmfPlusReader.h"

namespace ostrel {

namespace {

// Deeper or larger trees than these are no real region's; a hostile one
// could otherwise exhaust the stack, or the time its combinations take.
constexpr int kMaxDepth = 64;
constexpr int kMaxNodes = 1024;
// Boolean operations on paths grow with their points; beyond this many the
// shapes' bounding rectangles stand in for them.
constexpr int kMaxBooleanElements = 20000;
// The infinite region where an operation needs an area: far beyond any
// coordinate a drawing keeps.
const QRectF kPlane(-1e9, -1e9, 2e9, 2e9);

QPainterPath planePath() {
  QPainterPath p;
  p.addRect(kPlane);
  return p;
}

QPainterPath bounded(const QPainterPath& p) {
  if (p.elementCount() <= kMaxBooleanElements) return p;
  QPainterPath box;
  box.addRect(p.boundingRect());
  return box;
}

}  // namespace

const QPainterPath& EmfPlusRegion::path() const {
  static const QPainterPath plane = planePath();
  return path_ ? *path_ : plane;
}

EmfPlusRegion EmfPlusRegion::read(EmfPlusReader& r) {
  r.u32();  // version
  r.u32();  // node count: the tree says it again
  int nodes = 0;
  EmfPlusRegion region = node(r, 0, nodes);
  if (!r.ok()) return EmfPlusRegion(QPainterPath());
  return region;
}

EmfPlusRegion EmfPlusRegion::node(EmfPlusReader& r, int depth, int& nodes) {
  if (depth > kMaxDepth || ++nodes > kMaxNodes) {
    r.fail();
    return EmfPlusRegion(QPainterPath());
  }
  const uint32_t type = r.u32();
  switch (type) {
    case U_RNDT_And:
    case U_RNDT_Or:
    case U_RNDT_Xor:
    case U_RNDT_Exclude:
    case U_RNDT_Complement: {
      const EmfPlusRegion left = node(r, depth + 1, nodes);
      const EmfPlusRegion right = node(r, depth + 1, nodes);
      return combine(left, right, Combine(type));
    }
    case U_RNDT_Rect: {
      QPainterPath p;
      p.addRect(r.rectF().normalized());
      return EmfPlusRegion(p);
    }
    case U_RNDT_Path: {
      const int32_t length = r.i32();
      EmfPlusReader part = r.sub(uint32_t(std::max(length, 0)));
      QPainterPath p = EmfPlusPath::read(part);
      if (!part.ok()) r.fail();
      p.setFillRule(Qt::WindingFill);
      return EmfPlusRegion(p);
    }
    case U_RNDT_Empty:
      return EmfPlusRegion(QPainterPath());
    case U_RNDT_Infinite:
      return EmfPlusRegion();
    default:
      r.fail();
      return EmfPlusRegion(QPainterPath());
  }
}

EmfPlusRegion EmfPlusRegion::combine(const EmfPlusRegion& current, const EmfPlusRegion& added,
                                     Combine how) {
  const QPainterPath a = bounded(current.path()), b = bounded(added.path());
  switch (how) {
    case Combine::Replace:
      return added;
    case Combine::Intersect:
      if (current.isInfinite()) return added;
      if (added.isInfinite()) return current;
      return EmfPlusRegion(a.intersected(b));
    case Combine::Union:
      if (current.isInfinite() || added.isInfinite()) return EmfPlusRegion();
      return EmfPlusRegion(a.united(b));
    case Combine::Xor:
      return EmfPlusRegion(a.united(b).subtracted(a.intersected(b)));
    case Combine::Exclude:
      return EmfPlusRegion(a.subtracted(b));
    case Combine::Complement:
      return EmfPlusRegion(b.subtracted(a));
  }
  return current;
}

}  // namespace ostrel
