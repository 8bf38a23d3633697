#pragma once

#include <QColor>
#include <QImage>
#include <QRegion>
#include <QString>
#include <cstdint>
#include <variant>
#include <vector>

#include "toolkit/metafile/GdiNames.h"

namespace ostrel {

// The graphics objects a metafile creates and selects. They keep the values
// the records gave (logical units, GDI style codes); the player turns them
// into Qt pens, brushes and fonts when it draws, because the conversion
// depends on the mapping in force at that moment.

struct GdiPen {
  uint32_t style = 0;  // PS_* style, end cap, join and type bits
  double width = 0;    // logical units; 0 means one device pixel
  QColor color = Qt::black;
  std::vector<double> dashes;  // PS_USERSTYLE entries, logical units
  bool isNull() const { return (style & U_PS_STYLE_MASK) == U_PS_NULL; }
};

enum class BrushKind { Solid, Null, Hatched, Pattern };

struct GdiBrush {
  BrushKind kind = BrushKind::Solid;
  QColor color = Qt::white;
  uint32_t hatch = 0;
  QImage pattern;  // pattern and DIB pattern brushes; monochrome ones are indexed
  bool monochrome = false;
};

struct GdiFont {
  int32_t height = 0;  // negative: character height, positive: cell height
  int32_t width = 0;
  int32_t escapement = 0;  // tenths of a degree, counter-clockwise
  int32_t orientation = 0;
  int32_t weight = U_FW_NORMAL;
  bool italic = false;
  bool underline = false;
  bool strikeOut = false;
  uint8_t charSet = 0;
  uint8_t pitchAndFamily = 0;
  QString face;
};

struct GdiPalette {
  std::vector<QRgb> entries;
};

struct GdiRegion {
  QRegion region;  // logical units of the record that made it
};

// An object that takes a table slot but draws nothing (WMF bitmap objects,
// or a creation record too damaged to read): later indexes stay right.
struct GdiPlaceholder {};

using GdiObject =
    std::variant<std::monostate, GdiPen, GdiBrush, GdiFont, GdiPalette, GdiRegion, GdiPlaceholder>;

}  // namespace ostrel
