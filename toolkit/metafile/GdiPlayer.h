#pragma once

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRawFont>
#include <QRectF>
#include <QString>
#include <QTransform>
#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "toolkit/metafile/DeviceContext.h"
#include "toolkit/metafile/GdiObject.h"
#include "toolkit/picture/PictureLimits.h"

namespace ostrel {

enum class ArcShape { Arc, ArcTo, Chord, Pie };
enum class RegionOp {
  And = U_RGN_AND,
  Or = U_RGN_OR,
  Xor = U_RGN_XOR,
  Diff = U_RGN_DIFF,
  Copy = U_RGN_COPY
};
enum class WorldTransformOp {
  Identity = U_MWT_IDENTITY,
  LeftMultiply = U_MWT_LEFTMULTIPLY,
  RightMultiply = U_MWT_RIGHTMULTIPLY,
  Set = gdi::kMwtSet
};
enum class PathDraw { Fill, Stroke, StrokeAndFill };

// Where the picture's device space lands and how the context starts out.
struct PlaybackSetup {
  QTransform deviceToOutput;                 // reference-device pixels to the painter's coordinates
  QSizeF pixelsPerMm{96 / 25.4, 96 / 25.4};  // reference device, for the metric map modes
  MapMode mapMode = MapMode::Text;
  QRectF window{0, 0, 1, 1};    // initial window origin and extent
  QRectF viewport{0, 0, 1, 1};  // initial viewport origin and extent
  QRectF outputClip;            // the picture's frame in the painter's coordinates
  // The work this playing may do (PictureLimits::kMaxDrawingWork's measure):
  // a picture drawn inside another spends what its host has left.
  qint64 workBudget = PictureLimits::kMaxDrawingWork;
  int nesting = 0;  // pictures this one is drawn inside
};

class TextLayout;

// One text output, already decoded from whichever record carried it.
struct TextRun {
  QPointF reference;  // logical units
  QString text;
  std::vector<double> dx;      // advance of each character in logical units (may be empty)
  std::vector<double> dy;      // vertical advances (ETO_PDY), logical units, y up
  uint32_t options = 0;        // ETO_* flags
  std::optional<QRectF> rect;  // clipping / opaquing rectangle, logical units
};

// The GDI drawing model both metafile formats play into: one device context
// with its save stack, the object table, mapping modes and world transform,
// paths, clipping, text and bitmaps, drawn onto a QPainter. Coordinates are
// logical units unless a name says otherwise.
class GdiPlayer {
 public:
  static constexpr int kMaxSaveDepth = 1024;
  static constexpr uint32_t kMaxObjects = 65536;

  GdiPlayer(QPainter& painter, const PlaybackSetup& setup);
  ~GdiPlayer();
  GdiPlayer(const GdiPlayer&) = delete;
  GdiPlayer& operator=(const GdiPlayer&) = delete;

  // Mapping.
  void setMapMode(MapMode mode);
  MapMode mapMode() const { return dc_.mapMode; }
  void setWindowOrg(QPointF p);
  void setWindowExt(QSizeF s);
  void setViewportOrg(QPointF p);
  void setViewportExt(QSizeF s);
  void offsetWindowOrg(QPointF d);
  void offsetViewportOrg(QPointF d);
  void scaleWindowExt(double xNum, double xDenom, double yNum, double yDenom);
  void scaleViewportExt(double xNum, double xDenom, double yNum, double yDenom);
  void modifyWorldTransform(const QTransform& t, WorldTransformOp op);

  // State.
  void saveDC();
  void restoreDC(int relative);
  void setTextColor(QColor c) { dc_.textColor = c; }
  void setBkColor(QColor c) { dc_.bkColor = c; }
  void setBkMode(BkMode m) { dc_.bkMode = m; }
  void setRop2(int rop) { dc_.rop2 = rop; }
  void setFillRule(Qt::FillRule r) { dc_.fillRule = r; }
  void setTextAlign(uint32_t a) { dc_.textAlign = a; }
  void setStretchBltMode(int m) { dc_.stretchBltMode = m; }
  void setArcDirection(ArcDirection d) { dc_.arcDirection = d; }
  void setMiterLimit(double m) { dc_.miterLimit = m; }
  void setTextCharExtra(int e) { dc_.textCharExtra = e; }
  void setBrushOrigin(QPointF p) { dc_.brushOrigin = p; }
  const DeviceContext& dc() const { return dc_; }

  // Objects. EMF names its slots; WMF takes the lowest free one.
  void createObject(uint32_t index, GdiObject object);
  uint32_t addObject(GdiObject object);
  void selectObject(uint32_t index);
  void selectStockObject(uint32_t stock);
  void deleteObject(uint32_t index);
  const GdiObject* object(uint32_t index) const;
  void setPaletteEntries(uint32_t index, uint32_t start, const std::vector<QRgb>& entries);

  // Lines and shapes.
  void moveTo(QPointF p);
  void lineTo(QPointF p);
  void polyline(const QPolygonF& points);
  void polylineTo(const QPolygonF& points);
  void polygon(const QPolygonF& points);
  void polyPolygon(const std::vector<QPolygonF>& polygons);
  void polyPolyline(const std::vector<QPolygonF>& polylines);
  void polyBezier(const QPolygonF& points);
  void polyBezierTo(const QPolygonF& points);
  void polyDraw(const QPolygonF& points, const std::vector<uint8_t>& types);
  void rectangle(const QRectF& edges);
  void roundRect(const QRectF& edges, QSizeF corner);
  void ellipse(const QRectF& edges);
  void arc(const QRectF& edges, QPointF start, QPointF end, ArcShape shape);
  void angleArc(QPointF center, double radius, double startDeg, double sweepDeg);
  void setPixel(QPointF p, QColor c);

  // Text.
  void textOut(const TextRun& run, bool updateCurrentPosition = true);

  // Paths.
  void beginPath();
  void endPath();
  void closeFigure();
  void abortPath();
  void drawPath(PathDraw how);
  void flattenPath();
  void widenPath();
  void selectClipPath(RegionOp op);

  // Clipping. Device regions are in reference-device pixels; the context
  // keeps its clip in output pixels.
  void intersectClipRect(const QRectF& edges);
  void excludeClipRect(const QRectF& edges);
  void selectClipRegion(const std::optional<QRegion>& deviceRegion, RegionOp op);
  void offsetClipRegion(QPointF logicalOffset);
  void setMetaRegion();

  // Regions drawn with a brush (logical rectangles).
  void fillRegion(const QRegion& logical, const GdiBrush& brush);
  void frameRegion(const QRegion& logical, const GdiBrush& brush, QSizeF stroke);
  void invertRegion(const QRegion& logical);

  // Bitmaps. source may be null for raster operations that use no source.
  void stretchBlt(const QRectF& dest, const QImage& source, const QRectF& sourceRect, uint32_t rop);
  void alphaBlend(const QRectF& dest, const QImage& source, const QRectF& sourceRect,
                  int constantAlpha);
  void transparentBlt(const QRectF& dest, const QImage& source, const QRectF& sourceRect,
                      QRgb transparent);
  void patBlt(const QRectF& dest, uint32_t rop);

  struct Vertex {
    QPointF point;
    QColor color;
  };
  void gradientFillRect(const std::vector<Vertex>& vertices,
                        const std::vector<std::pair<uint32_t, uint32_t>>& rects, bool vertical);
  void gradientFillTriangle(const std::vector<Vertex>& vertices,
                            const std::vector<std::array<uint32_t, 3>>& triangles);

  // Logical units to reference-device pixels under the current mapping.
  QTransform logicalToDevice() const;

  // The work done so far (PictureLimits::kMaxDrawingWork), and the drawing
  // calls left out once it was spent.
  qint64 work() const { return work_; }
  int drawingsLeftOut() const { return drawingsLeftOut_; }

  // For a second player drawing on the same page (EMF+ records): the
  // painter, the frame, and the one work budget both pay into. A drawing
  // covering outputArea costs its share; false means the budget is spent
  // and the drawing is left out.
  QPainter& painter() { return painter_; }
  const PlaybackSetup& setup() const { return setup_; }
  bool spend(const QRectF& outputArea, qint64 pixelsPerWork = 1);
  // Work measured otherwise (a picture drawn inside this one, text by its
  // length, clipping by its outline's points), paid the same way.
  bool spendWork(qint64 work);

 private:
  QTransform pageTransform() const;
  QTransform logicalToOutput() const;
  bool spendOnDevice(const QPainterPath& device, bool filled);
  void applyClip();
  QRegion deviceRegionOf(const QPainterPath& devicePath, Qt::FillRule rule) const;
  void combineClip(const QRegion& region, RegionOp op);
  void drawShape(const QPainterPath& logical, bool fill, bool stroke);
  void drawDeviceShape(const QPainterPath& device, bool fill, bool stroke);
  void strokeDevice(const QPainterPath& device);
  QPainterPath onPixelCentres(const QPainterPath& device) const;
  void fillDevice(const QPainterPath& device, const GdiBrush& brush);
  QPen qtPen() const;
  QBrush qtBrush(const GdiBrush& brush) const;
  QColor mixedColor(QColor color) const;
  QPainter::CompositionMode compositionForRop2() const;
  QRectF gdiRectDevice(const QRectF& edges) const;
  enum class BoxKind { Rectangle, RoundRect, Ellipse };
  void boxShape(const QRectF& edges, BoxKind kind, QSizeF corner = {});
  void drawGlyphs(const QString& s, const QFont& font, int pixelSize, const QRawFont& numbered);
  bool needsTextBackground(const TextRun& run, const TextLayout& layout,
                           const QTransform& logicalToDevice) const;
  QPainterPath arcPath(const QRectF& edges, QPointF start, QPointF end, ArcShape shape) const;
  double outputScale() const;
  void drawImageDevice(const QRectF& dest, const QImage& image, const QRectF& sourceRect);

  QPainter& painter_;
  PlaybackSetup setup_;
  DeviceContext dc_;
  std::vector<DeviceContext> saved_;
  std::vector<GdiObject> objects_;
  uint32_t firstFree_ = 0;
  QPainterPath path_;  // device pixels
  bool inPath_ = false;
  bool clipApplied_ = false;
  bool rasterOps_ = false;
  QRect universe_;  // output pixels a clip region can cover
  qint64 work_ = 0;
  int drawingsLeftOut_ = 0;
  // The last SRCAND bitmap, for the mask-then-picture idiom.
  QImage andMask_;
  QRectF andMaskDest_;
  QTransform andMaskTransform_;
};

}  // namespace ostrel
