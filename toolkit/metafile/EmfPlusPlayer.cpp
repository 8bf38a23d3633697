#include "toolkit/metafile/EmfPlusPlayer.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

#include "toolkit/metafile/DibCache.h"
#include "toolkit/metafile/EmfPlusBrush.h"
#include "toolkit/metafile/EmfPlusFont.h"
#include "toolkit/metafile/EmfPlusImage.h"
#include "toolkit/metafile/EmfPlusPen.h"
#include "toolkit/metafile/EmfPlusStringFormat.h"
#include "toolkit/metafile/EmfPlusTextLayout.h"
#include "toolkit/metafile/FontMapper.h"
#include "toolkit/metafile/GdiPlayer.h"
#include "toolkit/metafile/MetafileDrawing.h"
#include "toolkit/picture/PictureLimits.h"

namespace ostrel {

namespace {

// A transform no drawing uses: not finite, or collapsing everything.
bool usable(const QTransform& t) {
  const double values[] = {t.m11(), t.m12(), t.m21(), t.m22(), t.dx(), t.dy()};
  for (double v : values)
    if (!std::isfinite(v) || std::abs(v) > 1e12) return false;
  return t.isInvertible();
}

// Font sizes Qt is asked for, in output pixels; the rest of the size is a
// scale of the glyphs.
constexpr int kLargestPixelSize = 2048;
// Glyphs smaller than this many output pixels are not seen; larger ones
// than the other, or stretched more than kMostSkew times one way than the
// other, are filled as outlines rather than through Qt's glyph cache.
constexpr double kSmallestGlyph = 0.3;
constexpr double kLargestCachedGlyph = 256;
constexpr double kMostSkew = 8;

// What a drawing costs beyond its call and the pixels it covers: a point of
// an outline filled, stroked or combined into the clip is worth as much
// work as eight pixels filled; a character laid out, as eight points.
constexpr qint64 kElementWork = 8;
constexpr qint64 kCharacterElements = 8;

// Text is drawn with the pen's brush; its width plays no part.
QPen textPen(const QBrush& ink) {
  QPen pen;
  pen.setBrush(ink);
  return pen;
}

// Drops length from the end of a polyline; false when nothing is left.
bool shortenEnd(QPolygonF& line, double length) {
  while (length > 0 && line.size() >= 2) {
    const QPointF step = line.back() - line[line.size() - 2];
    const double l = std::hypot(step.x(), step.y());
    if (l > length) {
      line.back() -= step * (length / l);
      return true;
    }
    length -= l;
    line.removeLast();
  }
  return line.size() >= 2;
}

// The open figures of a path pulled back from their ends by start and end
// world units, flattened finely enough for the output; closed figures as
// they are.
QPainterPath pulledBack(const QPainterPath& world, const QTransform& toOutput, double start,
                        double end) {
  bool invertible = false;
  const QTransform toWorld = toOutput.inverted(&invertible);
  if (!invertible) return world;
  QPainterPath out;
  for (QPolygonF figure : world.toSubpathPolygons(toOutput)) {
    figure = toWorld.map(figure);
    if (figure.size() < 2 || figure.isClosed()) {
      out.addPolygon(figure);
      out.closeSubpath();
      continue;
    }
    std::reverse(figure.begin(), figure.end());
    if (!shortenEnd(figure, start)) continue;
    std::reverse(figure.begin(), figure.end());
    if (shortenEnd(figure, end)) out.addPolygon(figure);
  }
  return out;
}

}  // namespace

EmfPlusPlayer::EmfPlusPlayer(GdiPlayer& gdi, DibCache& bitmaps) : gdi_(gdi), bitmaps_(bitmaps) {}

void EmfPlusPlayer::setResolution(double dpiX, double dpiY, bool video) {
  if (dpiX > 0 && dpiY > 0 && dpiX < 1e5 && dpiY < 1e5) dpiX_ = dpiX, dpiY_ = dpiY;
  video_ = video;
}

double EmfPlusPlayer::pixelsPerUnit(uint32_t unit) const {
  switch (unit) {
    case U_UT_Display:
      return video_ ? 1 : dpiX_ / 100;
    case U_UT_Point:
      return dpiX_ / 72;
    case U_UT_Inch:
      return dpiX_;
    case U_UT_Document:
      return dpiX_ / 300;
    case U_UT_Millimeter:
      return dpiX_ / 25.4;
    default:
      return 1;  // pixels, and world units where a page unit is meant
  }
}

// ---------------------------------------------------------------- transforms

QTransform EmfPlusPlayer::pageTransform() const {
  const double unitX = pixelsPerUnit(state_.pageUnit);
  const double unitY = unitX * dpiY_ / dpiX_;
  return QTransform::fromScale(state_.pageScale * unitX, state_.pageScale * unitY);
}

QTransform EmfPlusPlayer::worldToOutput() const {
  // EMF+ device pixels are the EMF's reference-device pixels.
  return state_.world * state_.container * pageTransform() * gdi_.setup().deviceToOutput;
}

double EmfPlusPlayer::outputScale() const {
  return std::sqrt(std::abs(worldToOutput().determinant()));
}

double EmfPlusPlayer::worldLength(double length, uint32_t unit) const {
  if (unit == U_UT_World) return length;
  // A length in another unit is one in page units converted: the page
  // scale and the world transform apply to it as to world units.
  return length * pixelsPerUnit(unit) / pixelsPerUnit(state_.pageUnit);
}

void EmfPlusPlayer::setWorldTransform(const QTransform& t) {
  if (usable(t)) state_.world = t;
}

void EmfPlusPlayer::multiplyWorldTransform(const QTransform& t, bool post) {
  const QTransform result = post ? state_.world * t : t * state_.world;
  if (usable(result)) state_.world = result;
}

void EmfPlusPlayer::setPageTransform(uint32_t unit, double scale) {
  if (!(scale > 0) || !std::isfinite(scale) || scale > 1e6) return;
  state_.pageUnit = unit;
  state_.pageScale = scale;
}

// ---------------------------------------------------------------- saved states

void EmfPlusPlayer::save(uint32_t id) {
  if (saved_.size() < kMaxSaved) saved_.push_back({id, state_});
}

void EmfPlusPlayer::restore(uint32_t id) {
  for (size_t i = saved_.size(); i-- > 0;) {
    if (saved_[i].id != id) continue;
    state_ = saved_[i].state;
    saved_.resize(i);
    return;
  }
}

void EmfPlusPlayer::beginContainer(uint32_t id, const QRectF& dst, const QRectF& src,
                                   uint32_t unit) {
  save(id);
  if (src.width() == 0 || src.height() == 0) return beginContainer(id);
  const double k = worldLength(1, unit);
  const QRectF d(dst.topLeft() * k, dst.size() * k);
  const QTransform map = QTransform::fromTranslate(-src.left(), -src.top()) *
                         QTransform::fromScale(d.width() / src.width(), d.height() / src.height()) *
                         QTransform::fromTranslate(d.left(), d.top());
  const QTransform container = map * state_.world * state_.container;
  if (usable(container)) state_.container = container;
  state_.world = QTransform();
  state_.containerClip = state_.clip;
}

void EmfPlusPlayer::beginContainer(uint32_t id) {
  if (saved_.empty() || saved_.back().id != id) save(id);
  state_.container = state_.world * state_.container;
  state_.world = QTransform();
  state_.containerClip = state_.clip;
}

// ---------------------------------------------------------------- clipping

void EmfPlusPlayer::resetClip() {
  state_.clip = state_.containerClip;
}

void EmfPlusPlayer::clip(const EmfPlusRegion& world, Combine how) {
  // Combining outlines costs by their points, and one path object can be
  // combined again and again.
  const qint64 elements = (world.isInfinite() ? 0 : world.path().elementCount()) +
                          (state_.clip.isInfinite() ? 0 : state_.clip.path().elementCount());
  if (!gdi_.spendWork(PictureLimits::kDrawingCallWork + elements * kElementWork)) return;
  const EmfPlusRegion output =
      world.isInfinite() ? world : EmfPlusRegion(worldToOutput().map(world.path()));
  EmfPlusRegion combined = EmfPlusRegion::combine(state_.clip, output, how);
  // A container's clip bounds everything set inside it.
  if (how == Combine::Replace || how == Combine::Union || how == Combine::Xor ||
      how == Combine::Complement)
    combined = EmfPlusRegion::combine(state_.containerClip, combined, Combine::Intersect);
  state_.clip = combined;
}

void EmfPlusPlayer::offsetClip(QPointF world) {
  if (state_.clip.isInfinite()) return;
  const QTransform t = worldToOutput();
  const QPointF d = t.map(world) - t.map(QPointF(0, 0));
  state_.clip = EmfPlusRegion(state_.clip.path().translated(d));
}

// ---------------------------------------------------------------- drawing

bool EmfPlusPlayer::begin(const QRectF& outputArea, qint64 pixelsPerWork, qint64 elements) {
  if (!gdi_.spend(outputArea, pixelsPerWork) || !gdi_.spendWork(elements * kElementWork))
    return false;
  QPainter& p = gdi_.painter();
  p.save();
  p.setTransform(QTransform());
  const QRectF frame = gdi_.setup().outputClip;
  if (!frame.isEmpty())
    p.setClipRect(frame);
  else
    p.setClipping(false);
  if (!state_.clip.isInfinite())
    p.setClipPath(state_.clip.path(), frame.isEmpty() ? Qt::ReplaceClip : Qt::IntersectClip);
  p.setRenderHint(QPainter::Antialiasing, state_.antiAlias);
  p.setRenderHint(QPainter::TextAntialiasing, state_.textAntiAlias);
  p.setCompositionMode(state_.copy ? QPainter::CompositionMode_Source
                                   : QPainter::CompositionMode_SourceOver);
  p.setTransform(worldToOutput());
  return true;
}

void EmfPlusPlayer::end() {
  gdi_.painter().restore();
}

void EmfPlusPlayer::clear(QColor color) {
  const QRectF frame = gdi_.setup().outputClip;
  if (!begin(frame, PictureLimits::kFillPixelsPerWork)) return;
  QPainter& p = gdi_.painter();
  p.setTransform(QTransform());
  p.setCompositionMode(QPainter::CompositionMode_Source);
  p.fillRect(frame.isEmpty() ? QRectF(p.viewport()) : frame, color);
  end();
}

void EmfPlusPlayer::fill(const QPainterPath& world, const EmfPlusBrush& brush) {
  if (world.isEmpty()) return;
  const QRectF area = worldToOutput().mapRect(world.controlPointRect());
  const qint64 elements =
      world.elementCount() + (brush.boundary() ? brush.boundary()->elementCount() : 0);
  if (!begin(area, PictureLimits::kFillPixelsPerWork, elements)) return;
  fillOutput(world, brush);
  end();
}

void EmfPlusPlayer::fillOutput(const QPainterPath& world, const EmfPlusBrush& brush) {
  QPainter& p = gdi_.painter();
  QPainterPath shape = world;
  if (brush.boundary()) {
    // A path gradient paints nothing outside its boundary.
    shape = shape.intersected(*brush.boundary());
    shape.setFillRule(world.fillRule());
  }
  if (brush.kind() == EmfPlusBrush::Kind::Hatch) {
    // Hatch patterns are in output pixels, whatever the transforms.
    if (brush.background()) p.fillPath(shape, *brush.background());
    QBrush pattern = brush.brush();
    pattern.setTransform(p.transform().inverted());
    p.fillPath(shape, pattern);
    return;
  }
  if (brush.kind() == EmfPlusBrush::Kind::PathGradient) {
    const QTransform toOutput = p.transform();
    bool invertible = false;
    const QTransform toWorld = toOutput.inverted(&invertible);
    const QRect area = toOutput.mapRect(shape.boundingRect()).toAlignedRect() &
                       QRect(0, 0, p.device()->width(), p.device()->height());
    const QImage image = invertible ? brush.pathGradientImage(toOutput, area) : QImage();
    if (!image.isNull()) {
      QBrush painted(image);
      painted.setTransform(QTransform::fromTranslate(area.left(), area.top()) * toWorld);
      p.fillPath(shape, painted);
      return;
    }
  }
  p.fillPath(shape, brush.brush());
}

void EmfPlusPlayer::stroke(const QPainterPath& world, const EmfPlusPen& pen) {
  if (world.isEmpty()) return;
  if (!begin(QRectF(), PictureLimits::kFillPixelsPerWork, world.elementCount())) return;
  double width = worldLength(pen.width(), pen.unit());
  // GDI+ draws no pen thinner than a pixel: what would be thinner is a
  // hairline on the output.
  if (width * outputScale() < 1) width = 0;
  const double capWidth = width > 0 ? width : 1 / std::max(outputScale(), 1e-12);
  const double startInset = pen.startCap().inset(capWidth), endInset = pen.endCap().inset(capWidth);
  gdi_.painter().strokePath(startInset > 0 || endInset > 0
                                ? pulledBack(world, worldToOutput(), startInset, endInset)
                                : world,
                            pen.qtPen(width));
  strokeCaps(world, pen, capWidth);
  end();
}

void EmfPlusPlayer::strokeCaps(const QPainterPath& world, const EmfPlusPen& pen, double width) {
  if (pen.startCap().kind() == EmfPlusLineCap::Kind::None &&
      pen.endCap().kind() == EmfPlusLineCap::Kind::None)
    return;
  QPainter& p = gdi_.painter();
  QPen outline = pen.qtPen(width);
  outline.setDashPattern(QList<qreal>());
  outline.setStyle(Qt::SolidLine);
  auto draw = [&](const EmfPlusLineCap& cap, QPointF at, QPointF from) {
    const QPainterPath shape = cap.shapeAt(at, from, width);
    if (shape.isEmpty()) return;
    if (cap.filled())
      p.fillPath(shape, outline.brush());
    else
      p.strokePath(shape, outline);
  };
  for (const QPolygonF& figure : world.toSubpathPolygons()) {
    if (figure.size() < 2 || figure.isClosed()) continue;
    // The direction at each end: from the nearest point that is not the end.
    qsizetype a = 1, b = figure.size() - 2;
    while (a + 1 < figure.size() && figure[a] == figure[0]) ++a;
    while (b > 0 && figure[b] == figure.back()) --b;
    draw(pen.startCap(), figure[0], figure[a]);
    draw(pen.endCap(), figure.back(), figure[b]);
  }
}

void EmfPlusPlayer::drawImage(const EmfPlusImage& image, const QRectF& src, uint32_t srcUnit,
                              const QPolygonF& dst) {
  if (image.isNull() || dst.size() < 3) return;
  const double k = srcUnit == U_UT_Pixel ? 1 : pixelsPerUnit(srcUnit);
  const QRectF s(src.topLeft() * k, src.size() * k);
  if (s.width() == 0 || s.height() == 0) return;
  const QPointF across = dst[1] - dst[0], down = dst[2] - dst[0];
  const QTransform toDst(across.x(), across.y(), down.x(), down.y(), dst[0].x(), dst[0].y());
  const QTransform imageToWorld = QTransform::fromTranslate(-s.left(), -s.top()) *
                                  QTransform::fromScale(1 / s.width(), 1 / s.height()) * toDst;
  if (!usable(imageToWorld)) return;
  const QRectF area = (imageToWorld * worldToOutput()).mapRect(s);
  if (image.metafile()) return drawMetafile(image, imageToWorld);
  if (!begin(area, 1)) return;
  QPainter& p = gdi_.painter();
  p.setTransform(imageToWorld * p.transform());
  p.setRenderHint(QPainter::SmoothPixmapTransform, true);
  const QRectF part = s.intersected(image.bounds());
  if (!part.isEmpty()) p.drawImage(part, image.bitmap(), part);
  end();
}

void EmfPlusPlayer::drawMetafile(const EmfPlusImage& image, const QTransform& imageToWorld) {
  const PlaybackSetup& setup = gdi_.setup();
  const qint64 left = setup.workBudget - gdi_.work();
  if (left <= PictureLimits::kDrawingCallWork || !begin(QRectF(), 1)) return;
  QPainter& p = gdi_.painter();
  p.setTransform(imageToWorld * p.transform());
  DibCache nested(bitmaps_.pixelsLeft());
  // The drawing's frame lands on its bounds in image units.
  const MetafileContent& content = *image.metafile();
  const MetafileDrawing::PaintWork work =
      MetafileDrawing::play(content, p, image.bounds(), nested, left, setup.nesting + 1);
  bitmaps_.claimPixels(nested.claimedTotal());
  gdi_.spendWork(work.work);
  end();
}

// ---------------------------------------------------------------- text

// Qt's glyph cache fails on huge or badly skewed glyphs (and can crash on
// them): those are filled as outlines, and ones too small to see are left
// out. The painter holds the text's transform and pen already.
void EmfPlusPlayer::drawText(QPointF origin, const QString& text, const QFont& font,
                             const QBrush& ink) {
  QPainter& p = gdi_.painter();
  const QTransform t = p.transform();
  const double sx = std::hypot(t.m11(), t.m12()), sy = std::hypot(t.m21(), t.m22());
  const double em = font.pixelSize() * std::sqrt(std::abs(t.determinant()));
  if (!std::isfinite(em) || em < kSmallestGlyph) return;
  if (em > kLargestCachedGlyph || sx > kMostSkew * sy || sy > kMostSkew * sx) {
    QPainterPath outline;
    outline.addText(origin, font, text);
    p.fillPath(outline, ink);
  } else {
    p.drawText(origin, text);
  }
}

std::optional<EmfPlusPlayer::TextFont> EmfPlusPlayer::textFont(const EmfPlusFont& font) const {
  const double em = worldLength(font.emSize(), font.unit());
  const double pixels = em * outputScale();
  if (!(pixels >= 0.5) || !std::isfinite(pixels)) return std::nullopt;  // too small to see
  // The font is asked for at about its size on the output; glyph units are
  // world units times scale.
  TextFont t;
  const int pixelSize = std::clamp(int(std::lround(pixels)), 1, kLargestPixelSize);
  t.scale = em / pixelSize;
  const GdiFont mapped{.face = font.family()};
  t.font = QFont(FontMapper::familyFor(mapped));
  t.font.setPixelSize(pixelSize);
  t.font.setBold(font.bold());
  t.font.setItalic(font.italic());
  t.font.setUnderline(font.underline());
  t.font.setStrikeOut(font.strikeOut());
  t.symbols = FontMapper::isSymbolFont(mapped);
  return t;
}

void EmfPlusPlayer::drawString(const QString& text, const EmfPlusFont& font,
                               const EmfPlusStringFormat* format, const QRectF& layout,
                               const EmfPlusBrush& brush) {
  const auto t = textFont(font);
  if (text.isEmpty() || !t || !begin(QRectF(), 1, text.size() * kCharacterElements)) return;
  QPainter& p = gdi_.painter();
  const double k = t->scale;
  const QTransform glyphToWorld(k, 0, 0, k, layout.left(), layout.top());
  const QRectF box(0, 0, layout.width() / k, layout.height() / k);
  if (layout.width() > 0 && layout.height() > 0 && !(format && format->noClip()))
    p.setClipRect(layout, Qt::IntersectClip);
  p.setTransform(glyphToWorld * p.transform());
  QBrush ink = brush.brush();
  ink.setTransform(ink.transform() * glyphToWorld.inverted());
  p.setPen(textPen(ink));
  p.setFont(t->font);
  const QString shown =
      t->symbols ? FontMapper::mapSymbols(text, GdiFont{.face = font.family()}) : text;
  const EmfPlusTextLayout lines(shown, t->font, box, format ? format->alignment() : 0,
                                format ? format->lineAlignment() : 0,
                                !(format && format->noWrap()));
  for (const EmfPlusTextLayout::Line& line : lines.lines())
    drawText(line.origin, line.text, t->font, ink);
  end();
}

void EmfPlusPlayer::drawGlyphs(const QString& text, const std::vector<QPointF>& origins,
                               const EmfPlusFont& font, const EmfPlusBrush& brush,
                               const QTransform& glyphs) {
  const auto t = textFont(font);
  if (text.isEmpty() || !t || !begin(QRectF(), 1, text.size() * kCharacterElements)) return;
  QPainter& p = gdi_.painter();
  const double k = t->scale;
  p.setFont(t->font);
  const QString shown =
      t->symbols ? FontMapper::mapSymbols(text, GdiFont{.face = font.family()}) : text;
  const QTransform toOutput = p.transform();
  // One origin for several characters: they follow each other at the
  // font's own advances.
  const bool run = origins.size() == 1 && shown.size() > 1;
  for (qsizetype i = 0; i < shown.size() && size_t(i) < origins.size(); ++i) {
    const QPointF origin = origins[size_t(i)];
    const QTransform at =
        QTransform::fromScale(k, k) * QTransform::fromTranslate(origin.x(), origin.y()) * glyphs;
    p.setTransform(at * toOutput);
    QBrush ink = brush.brush();
    ink.setTransform(ink.transform() * at.inverted());
    p.setPen(textPen(ink));
    drawText(QPointF(0, 0), run ? shown : QString(shown.at(i)), t->font, ink);
  }
  end();
}

}  // namespace ostrel
