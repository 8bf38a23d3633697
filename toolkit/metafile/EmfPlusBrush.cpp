#include "toolkit/metafile/EmfPlusBrush.h"

#include <QLinearGradient>
#include <QRadialGradient>
#include <algorithm>

#include "toolkit/metafile/EmfPlusImage.h"
#include "toolkit/metafile/EmfPlusNames.h"
#include "toolkit/metafile/EmfPlusPath.h"
#include "toolkit/metafile/EmfPlusReader.h"

namespace ostrel {

namespace {

// A blend: colours at positions, or factors at positions.
struct Blend {
  std::vector<float> positions;
  std::vector<QColor> colors;
  std::vector<float> factors;
};

Blend readBlend(EmfPlusReader& r, uint32_t flags) {
  Blend b;
  auto positions = [&](uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) b.positions.push_back(r.f32());
  };
  if (flags & emfplus::kBrushPresetColors) {
    const uint32_t count = r.u32();
    if (!r.fits(count, 8)) return r.fail(), b;
    positions(count);
    for (uint32_t i = 0; i < count; ++i) b.colors.push_back(r.argb());
  } else if (flags & (emfplus::kBrushBlendFactorsH | emfplus::kBrushBlendFactorsV)) {
    // A vertical blend alone stands in for the horizontal one; with both,
    // the horizontal one is used.
    const uint32_t count = r.u32();
    if (!r.fits(count, 8)) return r.fail(), b;
    positions(count);
    for (uint32_t i = 0; i < count; ++i) b.factors.push_back(r.f32());
  }
  return b;
}

// How a gradient goes on past its rectangle. It runs along x: flipping the
// tiles in y changes nothing of it.
QGradient::Spread spreadOf(int32_t wrap) {
  switch (wrap) {
    case emfplus::kWrapTile:
    case emfplus::kWrapTileFlipY:
      return QGradient::RepeatSpread;
    case emfplus::kWrapTileFlipX:
    case emfplus::kWrapTileFlipXY:
      return QGradient::ReflectSpread;
    default:
      return QGradient::PadSpread;
  }
}

QColor mix(QColor a, QColor b, double t) {
  auto lerp = [t](int x, int y) { return int(std::lround(x + (y - x) * t)); };
  return QColor(lerp(a.red(), b.red()), lerp(a.green(), b.green()), lerp(a.blue(), b.blue()),
                lerp(a.alpha(), b.alpha()));
}

// A path gradient's first surrounding colour, or the average of them all.
QColor surroundOf(const std::vector<QColor>& colors) {
  if (colors.empty()) return Qt::white;
  double r = 0, g = 0, b = 0, a = 0;
  for (const QColor& c : colors) r += c.redF(), g += c.greenF(), b += c.blueF(), a += c.alphaF();
  const double n = double(colors.size());
  return QColor::fromRgbF(float(r / n), float(g / n), float(b / n), float(a / n));
}

// The colours of stops at count even steps from 0 to 1, premultiplied.
std::vector<QRgb> colourTable(const QGradientStops& stops, int count) {
  std::vector<QRgb> out(size_t(count), 0);
  qsizetype k = 0;
  for (int i = 0; i < count; ++i) {
    const double x = double(i) / (count - 1);
    while (k + 2 < stops.size() && stops[k + 1].first < x) ++k;
    const QGradientStop& a = stops[k];
    const QGradientStop& b = stops[std::min(k + 1, stops.size() - 1)];
    const double span = b.first - a.first;
    const double t = span > 0 ? std::clamp((x - a.first) / span, 0.0, 1.0) : 1.0;
    out[size_t(i)] = qPremultiply(mix(a.second, b.second, t).rgba());
  }
  return out;
}

}  // namespace

QGradientStops EmfPlusBrush::stops(QColor start, QColor end, const std::vector<float>& positions,
                                   const std::vector<QColor>& colors,
                                   const std::vector<float>& factors) {
  QGradientStops out;
  for (size_t i = 0; i < positions.size(); ++i) {
    const float p = positions[i];
    if (p < 0 || p > 1) continue;
    if (i < colors.size())
      out.append({p, colors[i]});
    else if (i < factors.size())
      out.append({p, mix(start, end, std::clamp(factors[i], 0.0F, 1.0F))});
  }
  if (out.isEmpty()) return {{0, start}, {1, end}};
  std::stable_sort(out.begin(), out.end(), [](const QGradientStop& a, const QGradientStop& b) {
    return a.first < b.first;
  });
  // The ends hold their nearest colour, as GDI+ draws them.
  if (out.front().first > 0) out.prepend({0, out.front().second});
  if (out.back().first < 1) out.append({1, out.back().second});
  return out;
}

Qt::BrushStyle EmfPlusBrush::hatchPattern(uint32_t style) {
  switch (style) {
    case U_HSP_Horizontal:
    case U_HSP_LightHorizontal:
    case U_HSP_NarrowHorizontal:
    case U_HSP_DarkHorizontal:
    case U_HSP_DashedHorizontal:
      return Qt::HorPattern;
    case U_HSP_Vertical:
    case U_HSP_LightVertical:
    case U_HSP_NarrowVertical:
    case U_HSP_DarkVertical:
    case U_HSP_DashedVertical:
      return Qt::VerPattern;
    case U_HSP_ForwardDiagonal:
    case U_HSP_LightDownwardDiagonal:
    case U_HSP_DarkDownwardDiagonal:
    case U_HSP_WideDownwardDiagonal:
    case U_HSP_DashedDownwardDiagonal:
      return Qt::FDiagPattern;
    case U_HSP_BackwardDiagonal:
    case U_HSP_LightUpwardDiagonal:
    case U_HSP_DarkUpwardDiagonal:
    case U_HSP_WideUpwardDiagonal:
    case U_HSP_DashedUpwardDiagonal:
      return Qt::BDiagPattern;
    case U_HSP_LargeGrid:
    case U_HSP_SmallGrid:
    case U_HSP_DottedGrid:
      return Qt::CrossPattern;
    case U_HSP_DiagonalCross:
    case U_HSP_OutlinedDiamond:
    case U_HSP_DottedDiamond:
      return Qt::DiagCrossPattern;
    case U_HSP_05Percent:
      return Qt::Dense7Pattern;
    case U_HSP_10Percent:
    case U_HSP_20Percent:
      return Qt::Dense6Pattern;
    case U_HSP_25Percent:
    case U_HSP_30Percent:
    case U_HSP_40Percent:
      return Qt::Dense5Pattern;
    case U_HSP_50Percent:
      return Qt::Dense4Pattern;
    case U_HSP_60Percent:
    case U_HSP_70Percent:
    case U_HSP_75Percent:
      return Qt::Dense3Pattern;
    case U_HSP_80Percent:
      return Qt::Dense2Pattern;
    case U_HSP_90Percent:
    case U_HSP_SolidDiamond:
      return Qt::Dense1Pattern;
    default:
      return Qt::Dense4Pattern;  // the rest cover about half their cell
  }
}

EmfPlusBrush EmfPlusBrush::read(EmfPlusReader& r, DibCache& bitmaps, int nesting) {
  r.u32();  // version
  switch (r.u32()) {
    case U_BT_SolidColor:
      return EmfPlusBrush(r.argb());
    case U_BT_HatchFill:
      return hatch(r);
    case U_BT_TextureFill:
      return texture(r, bitmaps, nesting);
    case U_BT_PathGradient:
      return pathGradient(r);
    case U_BT_LinearGradient:
      return linear(r);
    default:
      r.fail();
      return EmfPlusBrush();
  }
}

EmfPlusBrush EmfPlusBrush::hatch(EmfPlusReader& r) {
  const uint32_t style = r.u32();
  const QColor fore = r.argb(), back = r.argb();
  EmfPlusBrush b(fore);
  b.kind_ = Kind::Hatch;
  b.brush_ = QBrush(fore, hatchPattern(style));
  b.background_ = back;
  return b;
}

EmfPlusBrush EmfPlusBrush::linear(EmfPlusReader& r) {
  const uint32_t flags = r.u32();
  const int32_t wrap = r.i32();
  const QRectF rect = r.rectF();
  const QColor start = r.argb(), end = r.argb();
  r.skip(8);  // reserved
  const QTransform transform = (flags & emfplus::kBrushTransform) ? r.matrix() : QTransform();
  const Blend blend = readBlend(r, flags);
  // The colours run along the rectangle's width; an angle is in the transform.
  QLinearGradient g(rect.topLeft(), rect.topRight());
  g.setStops(stops(start, end, blend.positions, blend.colors, blend.factors));
  g.setSpread(spreadOf(wrap));
  // GDI+ blends the colours as they are, alpha as one channel more; Qt's
  // premultiplied blending would turn a colour fading out into a paler other.
  g.setInterpolationMode(QGradient::ComponentInterpolation);
  EmfPlusBrush b(mix(start, end, 0.5));
  b.kind_ = Kind::LinearGradient;
  b.brush_ = QBrush(g);
  b.brush_.setTransform(transform);
  return b;
}

EmfPlusBrush EmfPlusBrush::pathGradient(EmfPlusReader& r) {
  const uint32_t flags = r.u32();
  r.i32();  // wrap mode: outside its boundary a path gradient paints nothing
  const QColor center = r.argb();
  const QPointF centerPoint = r.pointF();
  const uint32_t colorCount = r.u32();
  if (!r.fits(colorCount, 4)) return r.fail(), EmfPlusBrush(center);
  std::vector<QColor> surrounding;
  for (uint32_t i = 0; i < colorCount; ++i) surrounding.push_back(r.argb());
  QPainterPath boundary;
  if (flags & emfplus::kBrushPath) {
    const int32_t size = r.i32();
    EmfPlusReader part = r.sub(uint32_t(std::max(size, 0)));
    boundary = EmfPlusPath::read(part);
  } else {
    const uint32_t count = r.u32();
    boundary.addPolygon(r.points(count, false, false));
    boundary.closeSubpath();
  }
  const QTransform transform = (flags & emfplus::kBrushTransform) ? r.matrix() : QTransform();
  const Blend blend = readBlend(r, flags);
  float focus = 0;
  if (flags & emfplus::kBrushFocusScales) {
    r.u32();  // count, always 2
    focus = (r.f32() + r.f32()) / 2;
  }
  const QColor surround = surroundOf(surrounding);
  // Qt has no gradient along a path: an ellipse through the boundary's box,
  // centred on the centre point, stands in for it. Blend positions count
  // from the boundary (0) to the centre (1).
  std::vector<float> fromCenter;
  for (float p : blend.positions) fromCenter.push_back(1 - p);
  QGradientStops s = stops(surround, center, fromCenter, blend.colors, blend.factors);
  if (blend.positions.empty()) s = {{0, center}, {1, surround}};
  if (focus > 0 && focus < 1 && blend.positions.empty())
    s = {{0, center}, {focus, center}, {1, surround}};
  const QRectF box = boundary.boundingRect();
  const double rx = std::max({centerPoint.x() - box.left(), box.right() - centerPoint.x(), 1e-6});
  const double ry = std::max({centerPoint.y() - box.top(), box.bottom() - centerPoint.y(), 1e-6});
  QRadialGradient g(QPointF(0, 0), 1);
  g.setStops(s);
  g.setInterpolationMode(QGradient::ComponentInterpolation);
  EmfPlusBrush b(mix(center, surround, 0.5));
  b.kind_ = Kind::PathGradient;
  b.brush_ = QBrush(g);
  b.brush_.setTransform(QTransform::fromScale(rx, ry) *
                        QTransform::fromTranslate(centerPoint.x(), centerPoint.y()) * transform);
  b.boundary_ = transform.map(boundary);
  b.center_ = transform.map(centerPoint);
  b.stops_ = s;
  return b;
}

QImage EmfPlusBrush::pathGradientImage(const QTransform& worldToOutput, const QRect& area) const {
  if (kind_ != Kind::PathGradient || !boundary_ || area.isEmpty() || stops_.isEmpty()) return {};
  struct Edge {
    QPointF from, along;
  };
  std::vector<Edge> edges;
  for (const QPolygonF& figure : boundary_->toSubpathPolygons(worldToOutput)) {
    for (qsizetype i = 0; i < figure.size(); ++i) {
      const QPointF next = figure[(i + 1) % figure.size()];
      if (next != figure[i]) edges.push_back({figure[i], next - figure[i]});
    }
  }
  constexpr double kMostWork = 1 << 24;  // pixels times edges
  if (edges.empty() || double(edges.size()) * area.width() * area.height() > kMostWork) return {};
  constexpr int kSteps = 1024;
  const std::vector<QRgb> table = colourTable(stops_, kSteps);
  const QPointF c = worldToOutput.map(center_);
  QImage image(area.size(), QImage::Format_ARGB32_Premultiplied);
  for (int y = 0; y < area.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < area.width(); ++x) {
      // The ray from the centre through the pixel meets the boundary at
      // c + u * d: the pixel is on the copy scaled by 1 / u.
      const QPointF d = QPointF(area.left() + x + 0.5, area.top() + y + 0.5) - c;
      double scale = 0;
      for (const Edge& e : edges) {
        const double across = d.x() * e.along.y() - d.y() * e.along.x();
        if (across == 0) continue;
        const QPointF toEdge = e.from - c;
        const double u = (toEdge.x() * e.along.y() - toEdge.y() * e.along.x()) / across;
        const double v = (toEdge.x() * d.y() - toEdge.y() * d.x()) / across;
        if (u > 0 && v >= 0 && v <= 1) scale = std::max(scale, 1 / u);
      }
      row[x] = table[size_t(std::lround(std::min(scale, 1.0) * (kSteps - 1)))];
    }
  }
  return image;
}

EmfPlusBrush EmfPlusBrush::texture(EmfPlusReader& r, DibCache& bitmaps, int nesting) {
  const uint32_t flags = r.u32();
  r.i32();  // wrap mode: textures tile
  const QTransform transform = (flags & emfplus::kBrushTransform) ? r.matrix() : QTransform();
  const EmfPlusImage image = EmfPlusImage::read(r, bitmaps, nesting);
  if (image.bitmap().isNull()) return EmfPlusBrush(Qt::gray);
  EmfPlusBrush b(Qt::gray);
  b.kind_ = Kind::Texture;
  b.brush_ = QBrush(image.bitmap());
  b.brush_.setTransform(transform);
  return b;
}

}  // namespace ostrel
