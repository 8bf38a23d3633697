#include "toolkit/metafile/EmfPlusLineCap.h"

#include <QPolygonF>
#include <QTransform>
#include <cmath>

#include "toolkit/metafile/EmfPlusNames.h"
#include "toolkit/metafile/EmfPlusPath.h"
#include "toolkit/metafile/EmfPlusReader.h"

namespace ostrel {

namespace {

QPainterPath polygonPath(const QPolygonF& points) {
  QPainterPath p;
  p.addPolygon(points);
  p.closeSubpath();
  return p;
}

}  // namespace

EmfPlusLineCap EmfPlusLineCap::ofType(int32_t capType) {
  EmfPlusLineCap cap;
  // Outlines in pen widths, the line's end at the origin, y along the line
  // beyond its end.
  switch (capType) {
    case U_LCT_Triangle:
      cap.kind_ = Kind::Triangle;
      cap.path_ = polygonPath({{-0.5, 0}, {0, 0.5}, {0.5, 0}});
      break;
    case U_LCT_SquareAnchor:
      cap.kind_ = Kind::SquareAnchor;
      cap.path_.addRect(QRectF(-1, -1, 2, 2));
      break;
    case U_LCT_RoundAnchor:
      cap.kind_ = Kind::RoundAnchor;
      cap.path_.addEllipse(QPointF(0, 0), 1, 1);
      break;
    case U_LCT_DiamondAnchor:
      cap.kind_ = Kind::DiamondAnchor;
      cap.path_ = polygonPath({{0, -1.5}, {1.5, 0}, {0, 1.5}, {-1.5, 0}});
      break;
    case U_LCT_ArrowAnchor:
      cap.kind_ = Kind::ArrowAnchor;
      cap.path_ = polygonPath({{-1, -2}, {0, 0}, {1, -2}});
      break;
    default:
      break;
  }
  return cap;
}

EmfPlusLineCap EmfPlusLineCap::read(EmfPlusReader& r) {
  EmfPlusLineCap cap;
  r.u32();  // version
  const int32_t type = r.i32();
  if (type == emfplus::kCustomCapArrow) {
    const float width = r.f32(), height = r.f32(), inset = r.f32();
    cap.filled_ = r.u32() != 0;
    r.skip(4 * 3);  // the stroke's own caps and join
    r.f32();        // its miter limit
    cap.widthScale_ = r.f32();
    if (!r.ok()) return {};
    cap.kind_ = Kind::Arrow;
    const double w = width / 2, h = height;
    cap.path_ = polygonPath({{-w, -h}, {0, 0}, {w, -h}, {0, -h + inset}});
    return cap;
  }
  if (type != emfplus::kCustomCapDefault) return {};
  const uint32_t flags = r.u32();
  r.skip(4);  // base cap
  const float inset = r.f32();
  r.skip(4 * 3);
  r.f32();  // miter limit
  cap.widthScale_ = r.f32();
  r.skip(4 * 4);  // hot spots, unused by GDI+ itself
  if (flags & (emfplus::kCustomCapFillPath | emfplus::kCustomCapLinePath)) {
    const int32_t length = r.i32();
    EmfPlusReader part = r.sub(uint32_t(std::max(length, 0)));
    cap.path_ = EmfPlusPath::read(part);
    cap.filled_ = flags & emfplus::kCustomCapFillPath;
  }
  if (!r.ok() || cap.path_.isEmpty()) return {};
  cap.kind_ = Kind::Path;
  if (std::isfinite(inset) && inset > 0) cap.inset_ = inset;
  return cap;
}

double EmfPlusLineCap::inset(double penWidth) const {
  return inset_ * penWidth * (widthScale_ > 0 ? widthScale_ : 1);
}

QPainterPath EmfPlusLineCap::shapeAt(QPointF end, QPointF from, double penWidth) const {
  if (kind_ == Kind::None) return {};
  const QPointF d = end - from;
  const double length = std::hypot(d.x(), d.y());
  if (length <= 0 || !std::isfinite(length)) return {};
  const QPointF u = d / length;  // along the line, beyond its end
  const double s = penWidth * (widthScale_ > 0 ? widthScale_ : 1);
  // x across the line, y along it: (0, 1) goes to u.
  const QTransform place(u.y() * s, -u.x() * s, u.x() * s, u.y() * s, end.x(), end.y());
  return place.map(path_);
}

}  // namespace ostrel
