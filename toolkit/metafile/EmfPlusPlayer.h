#pragma once

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QPainterPath>
#include <QPolygonF>
#include <QRectF>
#include <QString>
#include <QTransform>
#include <cstdint>
#include <optional>
#include <vector>

#include "toolkit/metafile/EmfPlusNames.h"
#include "toolkit/metafile/EmfPlusRegion.h"

namespace ostrel {

class DibCache;
class EmfPlusBrush;
class EmfPlusFont;
class EmfPlusImage;
class EmfPlusPen;
class EmfPlusStringFormat;
class GdiPlayer;

// The EMF+ graphics state and its drawing, on the GDI player's painter and
// within its work budget: world and page transforms, clipping (kept in
// output pixels), saved states and containers, anti-aliasing and the
// compositing mode. Shapes come in world units; each drawing sets the
// painter up for itself and leaves it as the GDI playing had it.
class EmfPlusPlayer {
 public:
  using Combine = EmfPlusRegion::Combine;
  // Saved states and containers held at once; deeper ones are not kept.
  static constexpr size_t kMaxSaved = 1024;

  EmfPlusPlayer(GdiPlayer& gdi, DibCache& bitmaps);

  // The reference device: its resolution, for the physical units.
  void setResolution(double dpiX, double dpiY, bool video);
  // Pixels a unit is worth on the reference device (x direction).
  double pixelsPerUnit(uint32_t unit) const;

  // Transforms. A multiplication comes before the current transform
  // (pre-multiplied), or after it when post.
  void setWorldTransform(const QTransform& t);
  void multiplyWorldTransform(const QTransform& t, bool post);
  void setPageTransform(uint32_t unit, double scale);
  const QTransform& worldTransform() const { return state_.world; }
  // World units to output pixels, through every transform in force.
  QTransform worldToOutput() const;

  // Saved states (Save/Restore) and containers share one stack, each entry
  // named by the record that made it; restoring one drops those above it.
  void save(uint32_t id);
  void restore(uint32_t id);
  // A container whose src rectangle (world units) lands on dst (in unit).
  void beginContainer(uint32_t id, const QRectF& dst, const QRectF& src, uint32_t unit);
  void beginContainer(uint32_t id);

  void setAntiAlias(bool on) { state_.antiAlias = on; }
  void setTextAntiAlias(bool on) { state_.textAntiAlias = on; }
  void setCompositingCopy(bool copy) { state_.copy = copy; }

  // Clipping: a world-unit area combined with the clip in force.
  void resetClip();
  void clip(const EmfPlusRegion& world, Combine how);
  void offsetClip(QPointF world);

  // Drawing.
  void clear(QColor color);
  void fill(const QPainterPath& world, const EmfPlusBrush& brush);
  void stroke(const QPainterPath& world, const EmfPlusPen& pen);
  // The src rectangle of the image (in srcUnit) onto the parallelogram of
  // dst's first three points: top left, top right, bottom left.
  void drawImage(const EmfPlusImage& image, const QRectF& src, uint32_t srcUnit,
                 const QPolygonF& dst);
  // Text laid out in a rectangle (wrapped and aligned by the format; an
  // empty rectangle is a point the text aligns to).
  void drawString(const QString& text, const EmfPlusFont& font, const EmfPlusStringFormat* format,
                  const QRectF& layout, const EmfPlusBrush& brush);
  // Characters each at its own origin on the baseline (one origin for all:
  // they follow each other), under glyphs, a transform of origins and
  // glyphs alike.
  void drawGlyphs(const QString& text, const std::vector<QPointF>& origins, const EmfPlusFont& font,
                  const EmfPlusBrush& brush, const QTransform& glyphs);

 private:
  struct State {
    QTransform world;
    QTransform container;  // what the containers around the drawing add
    uint32_t pageUnit = U_UT_Display;
    double pageScale = 1;
    EmfPlusRegion clip;  // output pixels
    EmfPlusRegion containerClip;
    bool antiAlias = false;
    bool textAntiAlias = true;
    bool copy = false;
  };
  struct Saved {
    uint32_t id;
    State state;
  };

  // A font as Qt draws it: at about its size on the output, its glyphs
  // scaled by scale to world units; none when too small to see.
  struct TextFont {
    QFont font;
    double scale = 1;
    bool symbols = false;  // a symbol font, whose codes stand for other characters
  };
  std::optional<TextFont> textFont(const EmfPlusFont& font) const;
  void drawText(QPointF origin, const QString& text, const QFont& font, const QBrush& ink);
  QTransform pageTransform() const;
  // World units of a length given in unit (the em size of a font, a pen width).
  double worldLength(double length, uint32_t unit) const;
  // Pays for a drawing covering outputArea (or only its call when empty)
  // and for the outline points or characters it works through, and sets
  // the painter up for it: false when the budget is spent.
  bool begin(const QRectF& outputArea, qint64 pixelsPerWork, qint64 elements = 0);
  void end();
  void fillOutput(const QPainterPath& world, const EmfPlusBrush& brush);
  void strokeCaps(const QPainterPath& world, const EmfPlusPen& pen, double width);
  void drawMetafile(const EmfPlusImage& image, const QTransform& imageToWorld);
  double outputScale() const;

  GdiPlayer& gdi_;
  DibCache& bitmaps_;
  double dpiX_ = 96, dpiY_ = 96;
  bool video_ = true;
  State state_;
  std::vector<Saved> saved_;
};

}  // namespace ostrel
