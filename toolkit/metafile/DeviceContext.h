#pragma once

#include <QColor>
#include <QPointF>
#include <QRegion>
#include <QSizeF>
#include <QTransform>
#include <cstdint>
#include <optional>
#include <vector>

#include "toolkit/metafile/GdiNames.h"
#include "toolkit/metafile/GdiObject.h"

namespace ostrel {

enum class MapMode {
  Text = U_MM_TEXT,
  LoMetric = U_MM_LOMETRIC,
  HiMetric = U_MM_HIMETRIC,
  LoEnglish = U_MM_LOENGLISH,
  HiEnglish = U_MM_HIENGLISH,
  Twips = U_MM_TWIPS,
  Isotropic = U_MM_ISOTROPIC,
  Anisotropic = U_MM_ANISOTROPIC
};
enum class BkMode { Transparent = U_TRANSPARENT, Opaque = U_OPAQUE };
enum class ArcDirection { CounterClockwise = U_AD_COUNTERCLOCKWISE, Clockwise = U_AD_CLOCKWISE };

// What SaveDC saves: the whole drawing state of a GDI device context. The
// selected pen, brush and font are copies, so deleting a selected object (which
// GDI refuses anyway) cannot leave the context pointing at nothing.
struct DeviceContext {
  MapMode mapMode = MapMode::Text;
  QPointF windowOrg{0, 0};
  QSizeF windowExt{1, 1};
  QPointF viewportOrg{0, 0};
  QSizeF viewportExt{1, 1};
  QTransform world;  // EMF only; identity for WMF

  GdiPen pen;
  GdiBrush brush;
  GdiFont font;
  std::vector<QRgb> palette;

  QColor textColor = Qt::black;
  QColor bkColor = Qt::white;
  BkMode bkMode = BkMode::Opaque;
  int rop2 = U_R2_COPYPEN;
  Qt::FillRule fillRule = Qt::OddEvenFill;
  uint32_t textAlign = 0;
  int stretchBltMode = U_BLACKONWHITE;
  ArcDirection arcDirection = ArcDirection::CounterClockwise;
  double miterLimit = 10;
  int textCharExtra = 0;
  QPointF currentPosition{0, 0};  // logical units
  QPointF brushOrigin{0, 0};

  // Clipping, in output pixels (GDI keeps it in device pixels; output pixels
  // are the device here). No value means no clipping.
  std::optional<QRegion> clip;
  std::optional<QRegion> metaClip;
};

}  // namespace ostrel
