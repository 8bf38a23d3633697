#include "toolkit/metafile/GdiPlayer.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QLinearGradient>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPathStroker>
#include <algorithm>
#include <cmath>

#include "toolkit/metafile/FontMapper.h"
#include "toolkit/metafile/TextLayout.h"
#include "toolkit/picture/PictureLimits.h"

namespace ostrel {

namespace {

bool axisAligned(const QTransform& t) {
  return std::abs(t.m12()) < 1e-9 && std::abs(t.m21()) < 1e-9;
}

// The same figures, each closed: StrokeAndFillPath closes the figures it
// was given open, and its pen draws the closing edges as well.
QPainterPath closedFigures(const QPainterPath& path) {
  QPainterPath out;
  for (int i = 0; i < path.elementCount(); ++i) {
    const QPainterPath::Element e = path.elementAt(i);
    if (e.isMoveTo()) {
      if (i > 0) out.closeSubpath();
      out.moveTo(e);
    } else if (e.isLineTo()) {
      out.lineTo(e);
    } else if (e.isCurveTo() && i + 2 < path.elementCount()) {
      out.cubicTo(e, path.elementAt(i + 1), path.elementAt(i + 2));
      i += 2;
    }
  }
  if (!out.isEmpty()) out.closeSubpath();
  return out;
}

double metricUnitMm(MapMode mode) {
  switch (mode) {
    case MapMode::LoMetric:
      return 0.1;
    case MapMode::HiMetric:
      return 0.01;
    case MapMode::LoEnglish:
      return 0.254;
    case MapMode::HiEnglish:
      return 0.0254;
    case MapMode::Twips:
      return 25.4 / 1440;
    default:
      return 0;
  }
}

// The painter's anti-aliasing and composition mode for one drawing call:
// changed through this guard, they are back as they were when it goes, on
// every way out of the call.
class PainterModes {
 public:
  explicit PainterModes(QPainter& painter)
      : painter_(painter),
        antialiased_(painter.testRenderHint(QPainter::Antialiasing)),
        mode_(painter.compositionMode()) {}
  ~PainterModes() {
    painter_.setCompositionMode(mode_);
    painter_.setRenderHint(QPainter::Antialiasing, antialiased_);
  }
  PainterModes(const PainterModes&) = delete;
  PainterModes& operator=(const PainterModes&) = delete;

  void setAntialiasing(bool on) { painter_.setRenderHint(QPainter::Antialiasing, on); }
  void setComposition(QPainter::CompositionMode mode) { painter_.setCompositionMode(mode); }

 private:
  QPainter& painter_;
  bool antialiased_;
  QPainter::CompositionMode mode_;
};

QColor invertedColor(QColor c) {
  return QColor(255 - c.red(), 255 - c.green(), 255 - c.blue());
}

Qt::BrushStyle hatchStyle(uint32_t hatch) {
  switch (hatch) {
    case U_HS_HORIZONTAL:
      return Qt::HorPattern;
    case U_HS_VERTICAL:
      return Qt::VerPattern;
    case U_HS_FDIAGONAL:
      return Qt::FDiagPattern;
    case U_HS_BDIAGONAL:
      return Qt::BDiagPattern;
    case U_HS_CROSS:
      return Qt::CrossPattern;
    case U_HS_DIAGCROSS:
      return Qt::DiagCrossPattern;
    default:
      return Qt::SolidPattern;
  }
}

}  // namespace

GdiPlayer::GdiPlayer(QPainter& painter, const PlaybackSetup& setup)
    : painter_(painter), setup_(setup) {
  dc_.mapMode = setup.mapMode;
  dc_.windowOrg = setup.window.topLeft();
  dc_.windowExt = setup.window.size();
  dc_.viewportOrg = setup.viewport.topLeft();
  dc_.viewportExt = setup.viewport.size();
  dc_.font.face = QStringLiteral("System");
  dc_.font.height = 0;
  painter_.save();
  painter_.setRenderHint(QPainter::Antialiasing, true);
  painter_.setRenderHint(QPainter::TextAntialiasing, true);
  painter_.setRenderHint(QPainter::SmoothPixmapTransform, true);
  // Clip regions live in output pixels, bounded by the paint device, so a
  // region built from absurd coordinates costs no more than the output does.
  QRect universe = setup.outputClip.toAlignedRect();
  if (painter_.device())
    universe =
        universe.isEmpty()
            ? QRect(0, 0, painter_.device()->width(), painter_.device()->height())
            : universe & QRect(0, 0, painter_.device()->width(), painter_.device()->height());
  universe_ = universe.adjusted(-2, -2, 2, 2);
  rasterOps_ =
      painter_.paintEngine() && painter_.paintEngine()->hasFeature(QPaintEngine::RasterOpModes);
}

GdiPlayer::~GdiPlayer() {
  painter_.restore();
}

// ---------------------------------------------------------------- mapping

QTransform GdiPlayer::pageTransform() const {
  double sx = 1, sy = 1;
  switch (dc_.mapMode) {
    case MapMode::Text:
      break;
    case MapMode::Isotropic:
    case MapMode::Anisotropic: {
      const QSizeF w = dc_.windowExt, v = dc_.viewportExt;
      sx = w.width() != 0 ? v.width() / w.width() : 1;
      sy = w.height() != 0 ? v.height() / w.height() : 1;
      if (dc_.mapMode == MapMode::Isotropic) {
        // GDI shrinks the viewport so both axes share the smaller scale.
        const double m = std::min(std::abs(sx), std::abs(sy));
        sx = std::copysign(m, sx);
        sy = std::copysign(m, sy);
      }
      break;
    }
    default: {
      const double unit = metricUnitMm(dc_.mapMode);
      sx = setup_.pixelsPerMm.width() * unit;
      sy = -setup_.pixelsPerMm.height() * unit;  // metric modes have y pointing up
    }
  }
  if (!std::isfinite(sx) || sx == 0) sx = 1;
  if (!std::isfinite(sy) || sy == 0) sy = 1;
  return QTransform(sx, 0, 0, sy, dc_.viewportOrg.x() - dc_.windowOrg.x() * sx,
                    dc_.viewportOrg.y() - dc_.windowOrg.y() * sy);
}

QTransform GdiPlayer::logicalToDevice() const {
  return dc_.world * pageTransform();
}

QTransform GdiPlayer::logicalToOutput() const {
  return logicalToDevice() * setup_.deviceToOutput;
}

double GdiPlayer::outputScale() const {
  return std::sqrt(std::abs(setup_.deviceToOutput.determinant()));
}

void GdiPlayer::setMapMode(MapMode mode) {
  if (mode == dc_.mapMode) return;
  dc_.mapMode = mode;
  if (mode == MapMode::Isotropic) {
    // Switching to isotropic keeps the extents GDI had for the metric modes.
    dc_.windowExt = QSizeF(1, 1);
    dc_.viewportExt = QSizeF(1, 1);
  }
}
void GdiPlayer::setWindowOrg(QPointF p) {
  dc_.windowOrg = p;
}
void GdiPlayer::setViewportOrg(QPointF p) {
  dc_.viewportOrg = p;
}
void GdiPlayer::setWindowExt(QSizeF s) {
  if (dc_.mapMode != MapMode::Isotropic && dc_.mapMode != MapMode::Anisotropic) return;
  if (s.width() == 0 || s.height() == 0) return;
  dc_.windowExt = s;
}
void GdiPlayer::setViewportExt(QSizeF s) {
  if (dc_.mapMode != MapMode::Isotropic && dc_.mapMode != MapMode::Anisotropic) return;
  if (s.width() == 0 || s.height() == 0) return;
  dc_.viewportExt = s;
}
void GdiPlayer::offsetWindowOrg(QPointF d) {
  dc_.windowOrg += d;
}
void GdiPlayer::offsetViewportOrg(QPointF d) {
  dc_.viewportOrg += d;
}
void GdiPlayer::scaleWindowExt(double xn, double xd, double yn, double yd) {
  if (xd == 0 || yd == 0 || xn == 0 || yn == 0) return;
  setWindowExt(QSizeF(dc_.windowExt.width() * xn / xd, dc_.windowExt.height() * yn / yd));
}
void GdiPlayer::scaleViewportExt(double xn, double xd, double yn, double yd) {
  if (xd == 0 || yd == 0 || xn == 0 || yn == 0) return;
  setViewportExt(QSizeF(dc_.viewportExt.width() * xn / xd, dc_.viewportExt.height() * yn / yd));
}

void GdiPlayer::modifyWorldTransform(const QTransform& t, WorldTransformOp op) {
  if (!t.isInvertible() && op != WorldTransformOp::Identity) return;
  switch (op) {
    case WorldTransformOp::Identity:
      dc_.world = QTransform();
      break;
    case WorldTransformOp::LeftMultiply:
      dc_.world = t * dc_.world;
      break;
    case WorldTransformOp::RightMultiply:
      dc_.world = dc_.world * t;
      break;
    case WorldTransformOp::Set:
      dc_.world = t;
      break;
  }
}

// ---------------------------------------------------------------- state

void GdiPlayer::saveDC() {
  if (saved_.size() >= kMaxSaveDepth) return;
  saved_.push_back(dc_);
}

void GdiPlayer::restoreDC(int relative) {
  const int depth = static_cast<int>(saved_.size());
  int target = relative < 0 ? depth + relative : relative - 1;
  if (target < 0 || target >= depth) return;
  dc_ = saved_[target];
  saved_.resize(target);
  clipApplied_ = false;
}

// ---------------------------------------------------------------- objects

void GdiPlayer::createObject(uint32_t index, GdiObject object) {
  if (index >= kMaxObjects) return;
  if (index >= objects_.size()) objects_.resize(index + 1);
  objects_[index] = std::move(object);
}

uint32_t GdiPlayer::addObject(GdiObject object) {
  uint32_t i = firstFree_;
  while (i < objects_.size() && !std::holds_alternative<std::monostate>(objects_[i])) ++i;
  if (i >= kMaxObjects) return kMaxObjects;
  createObject(i, std::move(object));
  firstFree_ = i + 1;
  return i;
}

const GdiObject* GdiPlayer::object(uint32_t index) const {
  if (index >= objects_.size() || std::holds_alternative<std::monostate>(objects_[index]))
    return nullptr;
  return &objects_[index];
}

void GdiPlayer::selectObject(uint32_t index) {
  const GdiObject* o = object(index);
  if (!o) return;
  if (auto* pen = std::get_if<GdiPen>(o)) {
    dc_.pen = *pen;
  } else if (auto* brush = std::get_if<GdiBrush>(o)) {
    dc_.brush = *brush;
  } else if (auto* font = std::get_if<GdiFont>(o)) {
    dc_.font = *font;
  } else if (auto* palette = std::get_if<GdiPalette>(o)) {
    dc_.palette = palette->entries;
  } else if (auto* region = std::get_if<GdiRegion>(o)) {
    QPainterPath p;
    p.addRegion(region->region);
    combineClip(deviceRegionOf(logicalToDevice().map(p), Qt::WindingFill), RegionOp::Copy);
  }
}

void GdiPlayer::selectStockObject(uint32_t stock) {
  auto brush = [](BrushKind kind, QColor c) {
    GdiBrush b;
    b.kind = kind;
    b.color = c;
    return b;
  };
  auto pen = [](uint32_t style, QColor c) {
    GdiPen p;
    p.style = style;
    p.color = c;
    return p;
  };
  using gdi::stockIndex;
  switch (stock) {
    case stockIndex(U_WHITE_BRUSH):
    case gdi::kStockDcBrush:
      dc_.brush = brush(BrushKind::Solid, Qt::white);
      break;
    case stockIndex(U_LTGRAY_BRUSH):
      dc_.brush = brush(BrushKind::Solid, QColor(192, 192, 192));
      break;
    case stockIndex(U_GRAY_BRUSH):
      dc_.brush = brush(BrushKind::Solid, QColor(128, 128, 128));
      break;
    case stockIndex(U_DKGRAY_BRUSH):
      dc_.brush = brush(BrushKind::Solid, QColor(64, 64, 64));
      break;
    case stockIndex(U_BLACK_BRUSH):
      dc_.brush = brush(BrushKind::Solid, Qt::black);
      break;
    case stockIndex(U_NULL_BRUSH):
      dc_.brush = brush(BrushKind::Null, Qt::black);
      break;
    case stockIndex(U_WHITE_PEN):
      dc_.pen = pen(U_PS_SOLID, Qt::white);
      break;
    case stockIndex(U_BLACK_PEN):
    case gdi::kStockDcPen:
      dc_.pen = pen(U_PS_SOLID, Qt::black);
      break;
    case stockIndex(U_NULL_PEN):
      dc_.pen = pen(U_PS_NULL, Qt::black);
      break;
    case stockIndex(U_OEM_FIXED_FONT):
    case stockIndex(U_ANSI_FIXED_FONT):
    case stockIndex(U_SYSTEM_FIXED_FONT):
      dc_.font = GdiFont{.height = 12, .face = QStringLiteral("Courier New")};
      break;
    case stockIndex(U_ANSI_VAR_FONT):
    case stockIndex(U_SYSTEM_FONT):
    case stockIndex(U_DEVICE_DEFAULT_FONT):
    case stockIndex(U_DEFAULT_GUI_FONT):
      dc_.font = GdiFont{.height = -11, .face = QStringLiteral("Arial")};
      break;
    case stockIndex(U_DEFAULT_PALETTE):
      dc_.palette.clear();
      break;
    default:
      break;
  }
}

void GdiPlayer::deleteObject(uint32_t index) {
  if (index >= objects_.size()) return;
  objects_[index] = std::monostate{};
  firstFree_ = std::min(firstFree_, index);
}

void GdiPlayer::setPaletteEntries(uint32_t index, uint32_t start,
                                  const std::vector<QRgb>& entries) {
  if (index >= objects_.size()) return;
  auto* palette = std::get_if<GdiPalette>(&objects_[index]);
  if (!palette || start > 4096) return;
  const size_t end = std::min<size_t>(start + entries.size(), 4096);
  if (palette->entries.size() < end) palette->entries.resize(end, qRgb(0, 0, 0));
  for (size_t i = start; i < end; ++i) palette->entries[i] = entries[i - start];
}

// ---------------------------------------------------------------- pens, brushes, output

QPen GdiPlayer::qtPen() const {
  const GdiPen& p = dc_.pen;
  const uint32_t style = p.style & U_PS_STYLE_MASK;
  if (style == U_PS_NULL) return Qt::NoPen;
  const QColor color = mixedColor(p.color);

  // The world transform's area scale, the page's across: a world transform
  // that stretches one way and squeezes the other keeps a pen's weight.
  const QTransform page = pageTransform();
  const double scale =
      std::sqrt(std::abs(dc_.world.determinant())) * std::hypot(page.m11(), page.m12());
  double deviceWidth = std::min(std::abs(p.width) * scale, 1e5);
  if (!std::isfinite(deviceWidth)) deviceWidth = 0;
  QPen pen(color);
  // Width 0 is one device pixel whatever the mapping; any other width is in
  // logical units, but never thinner than a pixel on the output.
  const bool hairline = p.width == 0 || deviceWidth * outputScale() < 1.0;
  if (hairline) {
    pen.setWidthF(0);  // one output pixel, whatever the scale
    pen.setCosmetic(true);
  } else {
    pen.setWidthF(deviceWidth);
  }
  switch (p.style & U_PS_ENDCAP_MASK) {
    case U_PS_ENDCAP_SQUARE:
      pen.setCapStyle(Qt::SquareCap);
      break;
    case U_PS_ENDCAP_FLAT:
      pen.setCapStyle(Qt::FlatCap);
      break;
    default:
      pen.setCapStyle(Qt::RoundCap);
  }
  switch (p.style & U_PS_JOIN_MASK) {
    case U_PS_JOIN_BEVEL:
      pen.setJoinStyle(Qt::BevelJoin);
      break;
    case U_PS_JOIN_MITER:
      pen.setJoinStyle(Qt::MiterJoin);
      pen.setMiterLimit(dc_.miterLimit);
      break;
    default:
      pen.setJoinStyle(Qt::RoundJoin);
  }
  // GDI's dash lengths: in pen widths for the geometric pens, in device
  // pixels for the cosmetic ones (Qt counts in pen widths, so those are
  // divided by the pen's width; a hairline counts in output pixels).
  const bool geometric = (p.style & U_PS_TYPE_MASK) == U_PS_GEOMETRIC || std::abs(p.width) > 1;
  const double perPixel = hairline || geometric ? 1 : 1 / deviceWidth;
  QList<qreal> dashes;
  switch (style) {
    case U_PS_DASH:
      dashes = geometric ? QList<qreal>{3, 1} : QList<qreal>{18, 6};
      break;
    case U_PS_DOT:
      dashes = geometric ? QList<qreal>{1, 1} : QList<qreal>{3, 3};
      break;
    case U_PS_DASHDOT:
      dashes = geometric ? QList<qreal>{3, 1, 1, 1} : QList<qreal>{9, 6, 3, 6};
      break;
    case U_PS_DASHDOTDOT:
      dashes = geometric ? QList<qreal>{3, 1, 1, 1, 1, 1} : QList<qreal>{9, 3, 3, 3, 3, 3};
      break;
    case U_PS_ALTERNATE:
      dashes = {1, 1};
      break;
    case U_PS_USERSTYLE:
      for (double d : p.dashes)
        dashes.append(std::max(0.1, hairline || p.width <= 0 ? d * scale : d / p.width));
      if (dashes.size() % 2) dashes.append(dashes.back());
      break;
    default:
      break;
  }
  if (style != U_PS_USERSTYLE)
    for (qreal& d : dashes) d *= perPixel;
  if (!dashes.isEmpty()) {
    if (!hairline && pen.capStyle() != Qt::FlatCap) {
      // Qt adds the caps to each dash; GDI's lengths already include them.
      pen.setCapStyle(Qt::FlatCap);
    }
    pen.setDashPattern(dashes);
  }
  return pen;
}

// The colour a pen or brush leaves under the mix modes that ignore or
// invert it.
QColor GdiPlayer::mixedColor(QColor color) const {
  switch (dc_.rop2) {
    case U_R2_BLACK:
      return Qt::black;
    case U_R2_WHITE:
      return Qt::white;
    case U_R2_NOTCOPYPEN:
      return invertedColor(color);
    default:
      return color;
  }
}

QBrush GdiPlayer::qtBrush(const GdiBrush& b) const {
  const QColor color = mixedColor(b.color);
  switch (b.kind) {
    case BrushKind::Null:
      return Qt::NoBrush;
    case BrushKind::Solid:
      return QBrush(color);
    case BrushKind::Hatched:
      return QBrush(color, hatchStyle(b.hatch));
    case BrushKind::Pattern: {
      if (b.pattern.isNull()) return QBrush(color);
      if (!b.monochrome) return QBrush(b.pattern);
      // Monochrome patterns take the text colour for 0 bits, background for 1.
      QImage img = b.pattern.convertToFormat(QImage::Format_RGB32);
      for (int y = 0; y < img.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x)
          line[x] = qGray(line[x]) < 128 ? dc_.textColor.rgb() : dc_.bkColor.rgb();
      }
      return QBrush(img);
    }
  }
  return QBrush(color);
}

QPainter::CompositionMode GdiPlayer::compositionForRop2() const {
  QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
  if (rasterOps_) {
    switch (dc_.rop2) {
      case U_R2_NOT:
        mode = QPainter::RasterOp_NotDestination;
        break;
      case U_R2_XORPEN:
        mode = QPainter::CompositionMode_Difference;  // XOR, alpha-safe (see stretchBlt)
        break;
      case U_R2_MASKPEN:
        mode = QPainter::CompositionMode_Multiply;  // AND
        break;
      case U_R2_NOTXORPEN:
        mode = QPainter::RasterOp_NotSourceXorDestination;
        break;
      case U_R2_MERGEPEN:
        mode = QPainter::CompositionMode_Screen;  // OR
        break;
      case U_R2_MASKNOTPEN:
        mode = QPainter::RasterOp_NotSourceAndDestination;
        break;
      default:
        break;
    }
  }
  return mode;
}

void GdiPlayer::applyClip() {
  if (clipApplied_) return;
  clipApplied_ = true;
  std::optional<QRegion> clip = dc_.clip;
  if (dc_.metaClip) clip = clip ? clip->intersected(*dc_.metaClip) : *dc_.metaClip;
  painter_.setTransform(QTransform());
  if (setup_.outputClip.isEmpty())
    painter_.setClipping(false);
  else
    painter_.setClipRect(setup_.outputClip);
  if (!clip) return;
  painter_.setClipRegion(*clip, setup_.outputClip.isEmpty() ? Qt::ReplaceClip : Qt::IntersectClip);
}

void GdiPlayer::fillDevice(const QPainterPath& device, const GdiBrush& brush) {
  if (brush.kind == BrushKind::Null) return;
  if (brush.kind == BrushKind::Hatched && dc_.bkMode == BkMode::Opaque)
    painter_.fillPath(device, dc_.bkColor);
  painter_.fillPath(device, qtBrush(brush));
}

// GDI draws a line through the centres of the output pixels its points
// fall on, so a one-pixel line lights one row of pixels. Qt's pixel centres
// are half a pixel in: a line on a pixel edge would smear over two rows.
QPainterPath GdiPlayer::onPixelCentres(const QPainterPath& device) const {
  const QTransform& t = setup_.deviceToOutput;
  auto centre = [](double v) { return std::floor(v + 0.5) + 0.5; };
  if (t.type() <= QTransform::TxScale && t.m11() != 0 && t.m22() != 0) {
    // The usual case, a scale and a shift: snapped in place, without a second path.
    QPainterPath out = device;
    for (int i = 0; i < out.elementCount(); ++i) {
      const QPainterPath::Element e = out.elementAt(i);
      out.setElementPositionAt(i, (centre(e.x * t.m11() + t.dx()) - t.dx()) / t.m11(),
                               (centre(e.y * t.m22() + t.dy()) - t.dy()) / t.m22());
    }
    return out;
  }
  if (!t.isInvertible()) return device;
  QPainterPath out = t.map(device);
  for (int i = 0; i < out.elementCount(); ++i) {
    const QPainterPath::Element e = out.elementAt(i);
    out.setElementPositionAt(i, centre(e.x), centre(e.y));
  }
  return t.inverted().map(out);
}

void GdiPlayer::strokeDevice(const QPainterPath& device) {
  QPen pen = qtPen();
  if (pen.style() == Qt::NoPen) return;
  painter_.strokePath(onPixelCentres(device), pen);
}

// Every drawing call costs its share of the budget, and what it fills the
// output pixels it covers; past the budget the rest are left out rather than
// hold the program (a few kilobytes of records can ask for minutes of work).
bool GdiPlayer::spend(const QRectF& outputArea, qint64 pixelsPerWork) {
  const QRect covered = outputArea.toAlignedRect() & universe_;
  return spendWork(PictureLimits::kDrawingCallWork +
                   qint64(covered.width()) * covered.height() / pixelsPerWork);
}

bool GdiPlayer::spendWork(qint64 work) {
  if (work_ + work > setup_.workBudget) {
    ++drawingsLeftOut_;
    return false;
  }
  work_ += std::max<qint64>(work, 0);
  return true;
}

bool GdiPlayer::spendOnDevice(const QPainterPath& device, bool filled) {
  return spend(filled ? setup_.deviceToOutput.mapRect(device.controlPointRect()) : QRectF(),
               PictureLimits::kFillPixelsPerWork);
}

void GdiPlayer::drawDeviceShape(const QPainterPath& device, bool fill, bool stroke) {
  if (inPath_) {
    path_.addPath(device);
    return;
  }
  if (dc_.rop2 == U_R2_NOP) return;
  if (!spendOnDevice(device, fill)) return;
  applyClip();
  painter_.setTransform(setup_.deviceToOutput);
  PainterModes modes(painter_);
  modes.setComposition(compositionForRop2());
  if (fill) {
    QPainterPath p = device;
    p.setFillRule(dc_.fillRule);
    fillDevice(p, dc_.brush);
  }
  if (stroke) strokeDevice(device);
}

void GdiPlayer::drawShape(const QPainterPath& logical, bool fill, bool stroke) {
  drawDeviceShape(logicalToDevice().map(logical), fill, stroke);
}

// GDI leaves out the right and bottom edges of rectangles, rounded
// rectangles and ellipses: a one-pixel pen's outline covers pixels
// left..right-1, and without a pen the interior ends a pixel before it.
QRectF GdiPlayer::gdiRectDevice(const QRectF& edges) const {
  QRectF r = logicalToDevice().mapRect(edges.normalized());
  if (r.width() < 2 || r.height() < 2) return r;
  return r.adjusted(0, 0, -1, -1);
}

// ---------------------------------------------------------------- lines and shapes

void GdiPlayer::moveTo(QPointF p) {
  dc_.currentPosition = p;
  if (inPath_) path_.moveTo(logicalToDevice().map(p));
}

void GdiPlayer::lineTo(QPointF p) {
  const QTransform t = logicalToDevice();
  if (inPath_) {
    if (path_.elementCount() == 0) path_.moveTo(t.map(dc_.currentPosition));
    path_.lineTo(t.map(p));
  } else {
    QPainterPath path(t.map(dc_.currentPosition));
    path.lineTo(t.map(p));
    drawDeviceShape(path, false, true);
  }
  dc_.currentPosition = p;
}

void GdiPlayer::polyline(const QPolygonF& points) {
  if (points.size() < 2) return;
  QPainterPath path;
  path.addPolygon(points);
  drawShape(path, false, true);
}

void GdiPlayer::polylineTo(const QPolygonF& points) {
  if (points.isEmpty()) return;
  const QTransform t = logicalToDevice();
  if (inPath_) {
    if (path_.elementCount() == 0) path_.moveTo(t.map(dc_.currentPosition));
    for (const QPointF& p : points) path_.lineTo(t.map(p));
  } else {
    QPainterPath path(t.map(dc_.currentPosition));
    for (const QPointF& p : points) path.lineTo(t.map(p));
    drawDeviceShape(path, false, true);
  }
  dc_.currentPosition = points.back();
}

void GdiPlayer::polygon(const QPolygonF& points) {
  if (points.size() < 2) return;
  QPainterPath path;
  path.addPolygon(points);
  path.closeSubpath();
  drawShape(path, true, true);
}

void GdiPlayer::polyPolygon(const std::vector<QPolygonF>& polygons) {
  QPainterPath path;
  for (const QPolygonF& poly : polygons) {
    if (poly.size() < 2) continue;
    path.addPolygon(poly);
    path.closeSubpath();
  }
  drawShape(path, true, true);
}

void GdiPlayer::polyPolyline(const std::vector<QPolygonF>& polylines) {
  QPainterPath path;
  for (const QPolygonF& poly : polylines)
    if (poly.size() >= 2) path.addPolygon(poly);
  drawShape(path, false, true);
}

void GdiPlayer::polyBezier(const QPolygonF& points) {
  if (points.size() < 4) return;
  QPainterPath path(points[0]);
  for (qsizetype i = 1; i + 2 < points.size(); i += 3)
    path.cubicTo(points[i], points[i + 1], points[i + 2]);
  drawShape(path, false, true);
}

void GdiPlayer::polyBezierTo(const QPolygonF& points) {
  if (points.size() < 3) return;
  const QTransform t = logicalToDevice();
  QPainterPath local;
  QPainterPath& target = inPath_ ? path_ : local;
  if (!inPath_ || path_.elementCount() == 0) target.moveTo(t.map(dc_.currentPosition));
  qsizetype i = 0;
  for (; i + 2 < points.size(); i += 3)
    target.cubicTo(t.map(points[i]), t.map(points[i + 1]), t.map(points[i + 2]));
  dc_.currentPosition = points[i - 1];
  if (!inPath_) drawDeviceShape(local, false, true);
}

void GdiPlayer::polyDraw(const QPolygonF& points, const std::vector<uint8_t>& types) {
  const QTransform t = logicalToDevice();
  QPainterPath local;
  QPainterPath& target = inPath_ ? path_ : local;
  QPointF cp = dc_.currentPosition;
  if (!inPath_ || path_.elementCount() == 0) target.moveTo(t.map(cp));
  QPointF figureStart = cp;
  for (qsizetype i = 0; i < points.size() && i < qsizetype(types.size()); ++i) {
    const uint8_t type = types[i] & gdi::kPointTypeMask;
    if (type == U_PT_MOVETO) {
      target.moveTo(t.map(points[i]));
      figureStart = points[i];
      cp = points[i];
    } else if (type == U_PT_LINETO) {
      target.lineTo(t.map(points[i]));
      cp = points[i];
    } else if (type == U_PT_BEZIERTO && i + 2 < points.size()) {
      target.cubicTo(t.map(points[i]), t.map(points[i + 1]), t.map(points[i + 2]));
      cp = points[i + 2];
      i += 2;
    }
    if (types[std::min<size_t>(i, types.size() - 1)] & U_PT_CLOSEFIGURE) {
      target.closeSubpath();
      cp = figureStart;
    }
  }
  dc_.currentPosition = cp;
  if (!inPath_) drawDeviceShape(local, false, true);
}

void GdiPlayer::rectangle(const QRectF& edges) {
  boxShape(edges, BoxKind::Rectangle);
}

void GdiPlayer::roundRect(const QRectF& edges, QSizeF corner) {
  boxShape(edges, BoxKind::RoundRect, QSizeF(std::abs(corner.width()), std::abs(corner.height())));
}

void GdiPlayer::ellipse(const QRectF& edges) {
  boxShape(edges, BoxKind::Ellipse);
}

// A rectangle, a rounded one (corner: the corners' ellipse, logical units)
// or an ellipse: on an axis-aligned mapping drawn on GDI's own pixel edges,
// otherwise as the mapped shape.
void GdiPlayer::boxShape(const QRectF& edges, BoxKind kind, QSizeF corner) {
  const QTransform toDevice = logicalToDevice();
  const bool onPixels = axisAligned(toDevice) && !inPath_;
  const QRectF box = onPixels ? gdiRectDevice(edges) : edges.normalized();
  QPainterPath path;
  if (kind == BoxKind::Ellipse) {
    path.addEllipse(box);
  } else if (kind == BoxKind::Rectangle || corner.isEmpty()) {
    path.addRect(box);
  } else {
    if (onPixels)
      corner = QSizeF(corner.width() * std::abs(toDevice.m11()),
                      corner.height() * std::abs(toDevice.m22()));
    path.addRoundedRect(box, std::min(corner.width(), box.width()) / 2,
                        std::min(corner.height(), box.height()) / 2);
  }
  if (onPixels)
    drawDeviceShape(path, true, true);
  else
    drawShape(path, true, true);
}

QPainterPath GdiPlayer::arcPath(const QRectF& edges, QPointF start, QPointF end,
                                ArcShape shape) const {
  const QRectF r = edges.normalized();
  const QPointF c = r.center();
  const double a = r.width() / 2, b = r.height() / 2;
  auto angleOf = [&](QPointF p) {
    // Parametric angle of where the radial line through p meets the ellipse,
    // in Qt's convention (degrees, counter-clockwise with y pointing down).
    return std::atan2(-(p.y() - c.y()) * (a > 0 ? a : 1), (p.x() - c.x()) * (b > 0 ? b : 1)) * 180 /
           M_PI;
  };
  const double a0 = angleOf(start), a1 = angleOf(end);
  // The arc direction is seen on the device; a flipped mapping reverses it.
  bool ccw = dc_.arcDirection == ArcDirection::CounterClockwise;
  if (logicalToDevice().determinant() < 0) ccw = !ccw;
  double sweep = a1 - a0;
  if (ccw) {
    while (sweep <= 0) sweep += 360;
    while (sweep > 360) sweep -= 360;
  } else {
    while (sweep >= 0) sweep -= 360;
    while (sweep < -360) sweep += 360;
  }
  QPainterPath path;
  if (shape == ArcShape::Pie) {
    path.moveTo(c);
    path.arcTo(r, a0, sweep);
    path.closeSubpath();
  } else {
    path.arcMoveTo(r, a0);
    path.arcTo(r, a0, sweep);
    if (shape == ArcShape::Chord) path.closeSubpath();
  }
  return path;
}

void GdiPlayer::arc(const QRectF& edges, QPointF start, QPointF end, ArcShape shape) {
  if (edges.width() == 0 || edges.height() == 0) return;
  QPainterPath path = arcPath(edges, start, end, shape);
  if (shape == ArcShape::ArcTo) {
    // A line from the current position to the arc's start comes first. Qt's
    // connectPath drops a path's lone move instead of drawing from it, so
    // the line is drawn here.
    const QTransform t = logicalToDevice();
    const QPainterPath dev = t.map(path);
    QPainterPath joined(t.map(dc_.currentPosition));
    QPainterPath& onto = inPath_ ? path_ : joined;
    if (onto.elementCount() == 0) onto.moveTo(joined.currentPosition());
    onto.lineTo(dev.elementAt(0));
    onto.connectPath(dev);
    if (!inPath_) drawDeviceShape(joined, false, true);
    dc_.currentPosition = path.currentPosition();
    return;
  }
  const bool closed = shape != ArcShape::Arc;
  drawShape(path, closed, true);
}

void GdiPlayer::angleArc(QPointF center, double radius, double startDeg, double sweepDeg) {
  const QRectF r(center.x() - radius, center.y() - radius, 2 * radius, 2 * radius);
  QPainterPath arcOnly;
  arcOnly.arcMoveTo(r, startDeg);
  arcOnly.arcTo(r, startDeg, sweepDeg);
  const QTransform t = logicalToDevice();
  QPainterPath dev(t.map(dc_.currentPosition));
  dev.connectPath(t.map(arcOnly));
  if (inPath_) {
    if (path_.elementCount() == 0) path_.moveTo(t.map(dc_.currentPosition));
    path_.connectPath(t.map(arcOnly));
  } else {
    drawDeviceShape(dev, false, true);
  }
  dc_.currentPosition = arcOnly.currentPosition();
}

void GdiPlayer::setPixel(QPointF p, QColor c) {
  if (inPath_ || !spend(QRectF())) return;
  applyClip();
  painter_.setTransform(setup_.deviceToOutput);
  const QPointF d = logicalToDevice().map(p);
  painter_.fillRect(QRectF(std::floor(d.x()), std::floor(d.y()), 1, 1), c);
}

// ---------------------------------------------------------------- text

void GdiPlayer::textOut(const TextRun& run, bool updateCurrentPosition) {
  if (inPath_ || (run.text.isEmpty() && !(run.options & U_ETO_OPAQUE))) return;
  if (!spend(QRectF())) return;
  const QTransform l2d = logicalToDevice();
  const uint32_t align = dc_.textAlign;
  const QPointF ref = (align & U_TA_UPDATECP) ? dc_.currentPosition : run.reference;

  applyClip();
  painter_.save();
  painter_.setTransform(setup_.deviceToOutput);
  if ((run.options & U_ETO_CLIPPED) && run.rect) {
    QPainterPath clip;
    clip.addPolygon(l2d.map(QPolygonF(run.rect->normalized())));
    painter_.setClipPath(clip, painter_.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
  }
  if ((run.options & U_ETO_OPAQUE) && run.rect) {
    QPainterPath box;
    box.addPolygon(l2d.map(QPolygonF(run.rect->normalized())));
    painter_.fillPath(box, dc_.bkColor);
  }

  const TextLayout layout(run, dc_, l2d, ref);
  const QTransform toOutput = layout.toDevice() * setup_.deviceToOutput;
  if (needsTextBackground(run, layout, l2d)) {
    painter_.setTransform(toOutput);
    painter_.fillRect(layout.cell(), dc_.bkColor);
  }
  if (dc_.rop2 != U_R2_NOP) {
    painter_.setFont(layout.font());
    painter_.setPen(dc_.textColor);
    const QRawFont numbered =
        layout.glyphIndices() ? QRawFont::fromFont(layout.font()) : QRawFont();
    for (const TextLayout::Glyph& g : layout.glyphs()) {
      painter_.setTransform(layout.glyphScale() *
                            QTransform::fromTranslate(g.origin.x(), g.origin.y()) * toOutput);
      drawGlyphs(g.text, layout.font(), layout.pixelSize(), numbered);
    }
  }
  painter_.restore();

  if (updateCurrentPosition && (align & U_TA_UPDATECP) && l2d.isInvertible())
    dc_.currentPosition = l2d.inverted().map(layout.endDevice());
}

// An opaque background mode fills the text's cell, unless the run's own
// opaque rectangle already covers it or holds the text clipped within it.
bool GdiPlayer::needsTextBackground(const TextRun& run, const TextLayout& layout,
                                    const QTransform& logicalToDevice) const {
  if (dc_.bkMode != BkMode::Opaque || !layout.hasText()) return false;
  if (!(run.options & U_ETO_OPAQUE) || !run.rect) return true;
  if (run.options & U_ETO_CLIPPED) return false;
  const QRectF opaque = logicalToDevice.mapRect(run.rect->normalized());
  return !opaque.contains(layout.toDevice().mapRect(layout.cell()));
}

// Qt's glyph cache fails on huge or badly skewed glyphs: those are drawn as
// outlines, and ones too small to see are not drawn at all. A valid
// numbered font means s holds glyph numbers of that font, not characters.
void GdiPlayer::drawGlyphs(const QString& s, const QFont& font, int pixelSize,
                           const QRawFont& numbered) {
  const QTransform t = painter_.transform();
  const double sx = std::hypot(t.m11(), t.m12()), sy = std::hypot(t.m21(), t.m22());
  const double em = pixelSize * std::sqrt(std::abs(t.determinant()));
  if (!std::isfinite(em) || em < 0.3) return;
  if (em > 256 || sx > 8 * sy || sy > 8 * sx) {
    QPainterPath outline;
    if (numbered.isValid()) {
      for (const QChar c : s) outline.addPath(numbered.pathForGlyph(c.unicode()));
    } else {
      outline.addText(QPointF(0, 0), font, s);
    }
    painter_.fillPath(outline, dc_.textColor);
  } else if (numbered.isValid()) {
    QGlyphRun glyphs;
    glyphs.setRawFont(numbered);
    QList<quint32> indexes;
    for (const QChar c : s) indexes.append(c.unicode());
    glyphs.setGlyphIndexes(indexes);
    glyphs.setPositions(QList<QPointF>(indexes.size(), QPointF(0, 0)));
    painter_.drawGlyphRun(QPointF(0, 0), glyphs);
  } else {
    painter_.drawText(QPointF(0, 0), s);
  }
}

// ---------------------------------------------------------------- paths

void GdiPlayer::beginPath() {
  path_ = QPainterPath();
  inPath_ = true;
}
void GdiPlayer::endPath() {
  inPath_ = false;
}
void GdiPlayer::closeFigure() {
  if (inPath_) path_.closeSubpath();
}
void GdiPlayer::abortPath() {
  path_ = QPainterPath();
  inPath_ = false;
}

void GdiPlayer::drawPath(PathDraw how) {
  if (inPath_) inPath_ = false;  // GDI fails the call; drawing what was collected is kinder
  QPainterPath p = path_;
  path_ = QPainterPath();
  if (how == PathDraw::Fill) {
    // A filled path closes its open figures.
    drawDeviceShape(p, true, false);
  } else if (how == PathDraw::StrokeAndFill) {
    drawDeviceShape(closedFigures(p), true, true);
  } else {
    drawDeviceShape(p, false, true);
  }
}

void GdiPlayer::flattenPath() {
  QPainterPath flat;
  for (const QPolygonF& poly : path_.toSubpathPolygons()) flat.addPolygon(poly);
  path_ = flat;
}

void GdiPlayer::widenPath() {
  QPen pen = qtPen();
  if (pen.style() == Qt::NoPen) return;
  QPainterPathStroker stroker(pen);
  if (pen.isCosmetic() || pen.widthF() <= 0) stroker.setWidth(1);
  path_ = stroker.createStroke(path_);
}

void GdiPlayer::selectClipPath(RegionOp op) {
  inPath_ = false;
  QPainterPath p = path_;
  path_ = QPainterPath();
  combineClip(deviceRegionOf(p, dc_.fillRule), op);
}

// ---------------------------------------------------------------- clipping

QRegion GdiPlayer::deviceRegionOf(const QPainterPath& devicePath, Qt::FillRule rule) const {
  QPainterPath out = setup_.deviceToOutput.map(devicePath);
  out.setFillRule(rule);
  const QRectF bounds = out.boundingRect();
  if (bounds.isEmpty() || !bounds.intersects(QRectF(universe_))) return QRegion();
  if (out.elementCount() > 20000) return QRegion(bounds.toAlignedRect() & universe_);
  if (!QRectF(universe_).contains(bounds)) {
    QPainterPath box;
    box.addRect(QRectF(universe_));
    out = out.intersected(box);
    out.setFillRule(rule);
  }
  QRegion region;
  for (const QPolygonF& poly : out.toFillPolygons()) region += QRegion(poly.toPolygon(), rule);
  return region & universe_;
}

void GdiPlayer::combineClip(const QRegion& region, RegionOp op) {
  clipApplied_ = false;
  const QRegion current = dc_.clip ? *dc_.clip : QRegion(universe_);
  switch (op) {
    case RegionOp::Copy:
      dc_.clip = region;
      break;
    case RegionOp::And:
      dc_.clip = current.intersected(region);
      break;
    case RegionOp::Or:
      dc_.clip = dc_.clip ? current.united(region) : current;
      break;
    case RegionOp::Xor:
      dc_.clip = current.xored(region);
      break;
    case RegionOp::Diff:
      dc_.clip = current.subtracted(region);
      break;
  }
  // Regions built from many records can grow without end; GDI keeps them
  // as rectangle lists too, but a bound keeps clipping fast.
  if (dc_.clip && dc_.clip->rectCount() > 20000) dc_.clip = dc_.clip->boundingRect();
}

void GdiPlayer::intersectClipRect(const QRectF& edges) {
  QPainterPath p;
  p.addRect(edges.normalized());
  combineClip(deviceRegionOf(logicalToDevice().map(p), Qt::WindingFill), RegionOp::And);
}

void GdiPlayer::excludeClipRect(const QRectF& edges) {
  QPainterPath p;
  p.addRect(edges.normalized());
  combineClip(deviceRegionOf(logicalToDevice().map(p), Qt::WindingFill), RegionOp::Diff);
}

void GdiPlayer::selectClipRegion(const std::optional<QRegion>& deviceRegion, RegionOp op) {
  if (!deviceRegion) {
    if (op == RegionOp::Copy) {
      dc_.clip.reset();
      clipApplied_ = false;
    }
    return;
  }
  const QTransform& t = setup_.deviceToOutput;
  if (axisAligned(t) && t.isInvertible()) {
    // Rectangles stay rectangles: clamp them to the output, then scale them.
    const QRect deviceUniverse = t.inverted().mapRect(QRectF(universe_)).toAlignedRect();
    combineClip(t.map(*deviceRegion & deviceUniverse) & universe_, op);
    return;
  }
  QPainterPath p;
  p.addRegion(*deviceRegion);
  combineClip(deviceRegionOf(p, Qt::WindingFill), op);
}

void GdiPlayer::offsetClipRegion(QPointF logicalOffset) {
  if (!dc_.clip) return;
  const QTransform t = logicalToOutput();
  const QPointF d = t.map(logicalOffset) - t.map(QPointF(0, 0));
  if (std::abs(d.x()) > 1e6 || std::abs(d.y()) > 1e6) return;
  dc_.clip->translate(int(std::lround(d.x())), int(std::lround(d.y())));
  *dc_.clip &= universe_;
  clipApplied_ = false;
}

void GdiPlayer::setMetaRegion() {
  if (dc_.clip) dc_.metaClip = dc_.metaClip ? dc_.metaClip->intersected(*dc_.clip) : *dc_.clip;
  dc_.clip.reset();
  clipApplied_ = false;
}

void GdiPlayer::fillRegion(const QRegion& logical, const GdiBrush& brush) {
  if (inPath_) return;
  QPainterPath p;
  p.addRegion(logical);
  const QPainterPath dev = logicalToDevice().map(p);
  if (!spendOnDevice(dev, true)) return;
  applyClip();
  painter_.setTransform(setup_.deviceToOutput);
  fillDevice(dev, brush);
}

void GdiPlayer::frameRegion(const QRegion& logical, const GdiBrush& brush, QSizeF stroke) {
  if (inPath_) return;
  // The frame is the region minus itself shrunk by the stroke size.
  // Strokes wider than any region are as good as the region's own width.
  constexpr double kWidest = 1 << 24;
  const int w = std::max(1, int(std::min(std::abs(stroke.width()), kWidest))),
            h = std::max(1, int(std::min(std::abs(stroke.height()), kWidest)));
  QRegion inner = logical.translated(w, 0)
                      .intersected(logical.translated(-w, 0))
                      .intersected(logical.translated(0, h))
                      .intersected(logical.translated(0, -h));
  fillRegion(logical.subtracted(inner), brush);
}

void GdiPlayer::invertRegion(const QRegion& logical) {
  if (inPath_ || !rasterOps_) return;
  QPainterPath p;
  p.addRegion(logical);
  const QPainterPath dev = logicalToDevice().map(p);
  if (!spendOnDevice(dev, true)) return;
  applyClip();
  painter_.setTransform(setup_.deviceToOutput);
  PainterModes modes(painter_);
  modes.setComposition(QPainter::RasterOp_NotDestination);
  painter_.fillPath(dev, Qt::black);
}

// ---------------------------------------------------------------- bitmaps

void GdiPlayer::drawImageDevice(const QRectF& dest, const QImage& image, const QRectF& src) {
  // dest is in logical units; a negative extent mirrors the bitmap, as in GDI.
  QRectF s = src.normalized().intersected(QRectF(image.rect()));
  if (s.isEmpty() || dest.width() == 0 || dest.height() == 0) return;
  const QTransform toOutput = logicalToOutput();
  const QRectF target = dest.normalized();
  if (!spend(toOutput.mapRect(target))) return;
  const QRect whole = s.toAlignedRect();
  const bool mirrorX = (dest.width() < 0) != (src.width() < 0);
  const bool mirrorY = (dest.height() < 0) != (src.height() < 0);
  // A copy of a large bitmap costs as much as its decoding; most records
  // draw the whole of theirs, unmirrored.
  QImage part = whole == image.rect() ? image : image.copy(whole);
  if (mirrorX || mirrorY) part = part.mirrored(mirrorX, mirrorY);
  // Antialiased edges would let the paper show through between tiled bitmaps.
  PainterModes modes(painter_);
  modes.setAntialiasing(false);
  const QPainter::CompositionMode mode = painter_.compositionMode();
  if (mode < QPainter::RasterOp_SourceOrDestination) {
    painter_.setTransform(toOutput);
    painter_.drawImage(target, part);
  } else {
    // Qt applies raster operations only to untransformed images: scale the
    // bitmap to its place on the output first, then combine it pixel for pixel.
    QRect out = toOutput.mapRect(target).toAlignedRect();
    if (painter_.device())
      out &= QRect(0, 0, painter_.device()->width(), painter_.device()->height());
    if (out.isEmpty()) return;
    QImage placed(out.size(), QImage::Format_ARGB32_Premultiplied);
    placed.fill(Qt::transparent);
    {
      QPainter p(&placed);
      p.setRenderHint(QPainter::SmoothPixmapTransform, true);
      p.setTransform(toOutput * QTransform::fromTranslate(-out.left(), -out.top()));
      p.drawImage(target, part);
    }
    painter_.setTransform(QTransform());
    painter_.drawImage(out.topLeft(), placed);
  }
}

void GdiPlayer::stretchBlt(const QRectF& dest, const QImage& source, const QRectF& sourceRect,
                           uint32_t rop) {
  if (inPath_) return;
  const uint32_t op = gdi::rop3::indexOf(rop);
  if (source.isNull() || op == gdi::rop3::PatCopy || op == gdi::rop3::PatInvert ||
      op == gdi::rop3::DstInvert || op == gdi::rop3::Blackness || op == gdi::rop3::Whiteness) {
    patBlt(dest, rop);
    return;
  }
  if (op == gdi::rop3::Dest) return;
  applyClip();
  // The transparent-bitmap idiom: an AND mask, then the picture XORed or ORed
  // onto the same place. Drawing the picture through the mask gives what the
  // idiom means even when the picture is not black outside the mask.
  const QTransform toDevice = logicalToDevice();
  if ((op == gdi::rop3::SrcInvert || op == gdi::rop3::SrcPaint) && !andMask_.isNull() &&
      dest == andMaskDest_ && toDevice == andMaskTransform_) {
    const QRectF s = sourceRect.normalized().intersected(QRectF(source.rect()));
    QImage masked = source.copy(s.toAlignedRect()).convertToFormat(QImage::Format_ARGB32);
    if (masked.size() == andMask_.size()) {
      for (int y = 0; y < masked.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(masked.scanLine(y));
        const auto* mask = reinterpret_cast<const QRgb*>(andMask_.constScanLine(y));
        for (int x = 0; x < masked.width(); ++x)
          if (qGray(mask[x]) >= 128) line[x] = 0;
      }
      andMask_ = QImage();
      drawImageDevice(dest, masked, QRectF(QPointF(0, 0), QSizeF(masked.size())));
      return;
    }
  }
  andMask_ = QImage();
  if (op == gdi::rop3::SrcAnd) {
    const QRectF s = sourceRect.normalized().intersected(QRectF(source.rect()));
    andMask_ = source.copy(s.toAlignedRect()).convertToFormat(QImage::Format_RGB32);
    andMaskDest_ = dest;
    andMaskTransform_ = toDevice;
  }
  QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
  QImage image = source;
  // AND, OR and XOR as the multiply, screen and difference blends: the same
  // for black-and-white masks on paper, and they keep working on a
  // transparent canvas, where bitwise operations would wipe the alpha out.
  switch (op) {
    case gdi::rop3::SrcAnd:
      mode = QPainter::CompositionMode_Multiply;
      break;
    case gdi::rop3::SrcPaint:
      mode = QPainter::CompositionMode_Screen;
      break;
    case gdi::rop3::SrcInvert:
      mode = QPainter::CompositionMode_Difference;
      break;
    case gdi::rop3::SrcErase:
      if (rasterOps_) mode = QPainter::RasterOp_SourceAndNotDestination;
      break;
    case gdi::rop3::NotSrcErase:
      if (rasterOps_) mode = QPainter::RasterOp_NotSourceAndNotDestination;
      break;
    case gdi::rop3::MergePaint:
      if (rasterOps_) mode = QPainter::RasterOp_NotSourceOrDestination;
      break;
    case gdi::rop3::NotSrcCopy:
      image = source.convertToFormat(QImage::Format_RGB32);
      image.invertPixels();
      break;
    case gdi::rop3::Dspdxax: {
      // DSPDxax: the brush shows where the source is white, the destination elsewhere.
      QImage mask = source.convertToFormat(QImage::Format_ARGB32);
      const QRgb brush = dc_.brush.color.rgb();
      for (int y = 0; y < mask.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(mask.scanLine(y));
        for (int x = 0; x < mask.width(); ++x)
          line[x] = qGray(line[x]) >= 128 ? (brush | 0xFF000000) : 0;
      }
      image = mask;
      break;
    }
    default:
      break;
  }
  PainterModes modes(painter_);
  modes.setComposition(mode);
  drawImageDevice(dest, image, sourceRect);
}

void GdiPlayer::alphaBlend(const QRectF& dest, const QImage& source, const QRectF& sourceRect,
                           int constantAlpha) {
  if (inPath_ || source.isNull()) return;
  applyClip();
  painter_.setOpacity(std::clamp(constantAlpha, 0, 255) / 255.0);
  drawImageDevice(dest, source, sourceRect);
  painter_.setOpacity(1);
}

void GdiPlayer::transparentBlt(const QRectF& dest, const QImage& source, const QRectF& sourceRect,
                               QRgb transparent) {
  if (inPath_ || source.isNull()) return;
  QImage image = source.convertToFormat(QImage::Format_ARGB32);
  const QRgb key = transparent & 0xFFFFFF;
  for (int y = 0; y < image.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x)
      if ((line[x] & 0xFFFFFF) == key) line[x] = 0;
  }
  applyClip();
  drawImageDevice(dest, image, sourceRect);
}

void GdiPlayer::patBlt(const QRectF& dest, uint32_t rop) {
  if (inPath_) return;
  const uint32_t op = gdi::rop3::indexOf(rop);
  QPainterPath p;
  p.addRect(dest.normalized());
  const QPainterPath dev = logicalToDevice().map(p);
  if (!spendOnDevice(dev, true)) return;
  applyClip();
  painter_.setTransform(setup_.deviceToOutput);
  PainterModes modes(painter_);
  modes.setAntialiasing(false);
  switch (op) {
    case gdi::rop3::Blackness:
      painter_.fillPath(dev, Qt::black);
      break;
    case gdi::rop3::Whiteness:
      painter_.fillPath(dev, Qt::white);
      break;
    case gdi::rop3::DstInvert:
      if (rasterOps_) {
        modes.setComposition(QPainter::RasterOp_NotDestination);
        painter_.fillPath(dev, Qt::black);
      }
      break;
    case gdi::rop3::PatInvert:
      if (rasterOps_) {
        modes.setComposition(QPainter::RasterOp_SourceXorDestination);
        painter_.fillPath(dev, qtBrush(dc_.brush));
      }
      break;
    case gdi::rop3::Dest:
      break;
    default:
      fillDevice(dev, dc_.brush);
      break;
  }
}

void GdiPlayer::gradientFillRect(const std::vector<Vertex>& v,
                                 const std::vector<std::pair<uint32_t, uint32_t>>& rects,
                                 bool vertical) {
  if (inPath_) return;
  applyClip();
  const QTransform toOutput = logicalToOutput();
  painter_.setTransform(toOutput);
  PainterModes modes(painter_);
  modes.setAntialiasing(false);
  for (const auto& [a, b] : rects) {
    if (a >= v.size() || b >= v.size()) continue;
    const QRectF r = QRectF(v[a].point, v[b].point).normalized();
    if (!spend(toOutput.mapRect(r), PictureLimits::kFillPixelsPerWork)) break;
    QLinearGradient g(v[a].point, vertical ? QPointF(v[a].point.x(), v[b].point.y())
                                           : QPointF(v[b].point.x(), v[a].point.y()));
    g.setColorAt(0, v[a].color);
    g.setColorAt(1, v[b].color);
    painter_.fillRect(r, g);
  }
}

void GdiPlayer::gradientFillTriangle(const std::vector<Vertex>& v,
                                     const std::vector<std::array<uint32_t, 3>>& triangles) {
  if (inPath_) return;
  applyClip();
  const QTransform toOutput = logicalToOutput();
  painter_.setTransform(toOutput);
  PainterModes modes(painter_);
  modes.setAntialiasing(false);
  painter_.setPen(Qt::NoPen);
  // Gouraud shading, approximated by flat sub-triangles with interpolated colour.
  constexpr int kSteps = 8;
  auto mix = [](const Vertex& a, const Vertex& b, const Vertex& c, double u, double w) {
    const double t = 1 - u - w;
    return QColor::fromRgbF(
        float(a.color.redF() * t + b.color.redF() * u + c.color.redF() * w),
        float(a.color.greenF() * t + b.color.greenF() * u + c.color.greenF() * w),
        float(a.color.blueF() * t + b.color.blueF() * u + c.color.blueF() * w));
  };
  for (const auto& tri : triangles) {
    if (tri[0] >= v.size() || tri[1] >= v.size() || tri[2] >= v.size()) continue;
    const Vertex &a = v[tri[0]], &b = v[tri[1]], &c = v[tri[2]];
    if (!spend(toOutput.map(QPolygonF{a.point, b.point, c.point}).boundingRect(),
               PictureLimits::kFillPixelsPerWork))
      break;
    auto at = [&](double u, double w) { return a.point * (1 - u - w) + b.point * u + c.point * w; };
    for (int i = 0; i < kSteps; ++i) {
      for (int j = 0; j + i < kSteps; ++j) {
        const double u0 = double(i) / kSteps, w0 = double(j) / kSteps, d = 1.0 / kSteps;
        QPolygonF up{at(u0, w0), at(u0 + d, w0), at(u0, w0 + d)};
        painter_.setBrush(mix(a, b, c, u0 + d / 3, w0 + d / 3));
        painter_.drawPolygon(up);
        if (i + j + 1 < kSteps) {
          QPolygonF down{at(u0 + d, w0), at(u0 + d, w0 + d), at(u0, w0 + d)};
          painter_.setBrush(mix(a, b, c, u0 + 2 * d / 3, w0 + 2 * d / 3));
          painter_.drawPolygon(down);
        }
      }
    }
  }
}

}  // namespace ostrel
