#pragma once

// The EMF+ vocabulary of the metafile code. libuemf names the record types
// (U_PMR_*), object types (U_OT_*), brush types (U_BT_*), clip combine modes
// (U_CM_*), units (U_UT_*), line caps and joins (U_LCT_*, U_LJT_*), pen data
// flags (U_PD_*), region nodes (U_RNDT_*), string format flags (U_SF_*),
// hatch styles (U_HSP_*) and the image and metafile kinds; this header
// brings those in and names what libuemf leaves as bare numbers. No other
// file of the EMF+ player writes an EMF+ value as a bare number.

#include <uemf.h>
#include <upmf.h>

#include <cstdint>

namespace ostrel::emfplus {

// An EMF comment holding EMF+ records starts with this identifier ("EMF+").
inline constexpr uint32_t kCommentIdent = U_EMR_COMMENT_EMFPLUSRECORD;
// Every EMF+ record starts with its type, flags, size and data size.
inline constexpr uint32_t kRecordHeaderSize = 12;

// A record's type without the bit that marks it as EMF+.
constexpr uint16_t recordType(uint16_t type) {
  return type & U_PMR_TYPE_MASK;
}
constexpr bool isPlusRecord(uint16_t type) {
  return (type & ~U_PMR_TYPE_MASK) == U_PMR_RECFLAG;
}

// Every object starts with a graphics version whose high 20 bits are this.
inline constexpr uint32_t kVersionSignature = 0xDBC01;
inline constexpr uint32_t kVersionSignatureShift = 12;
constexpr bool isVersion(uint32_t version) {
  return (version >> kVersionSignatureShift) == kVersionSignature;
}

// Record flags. Many records keep an object id in the low byte.
inline constexpr uint16_t kObjectIdMask = 0x00FF;
inline constexpr int kObjectTable = 64;                // ids 0..63
inline constexpr uint16_t kBrushIsColor = U_PPF_B;     // the brush field is an ARGB colour
inline constexpr uint16_t kCompressed = 0x4000;        // int16 coordinates
inline constexpr uint16_t kRelative = U_PPF_P;         // points relative to the previous one
inline constexpr uint16_t kClosedLines = 0x2000;       // DrawLines closes its figure
inline constexpr uint16_t kWindingFill = 0x2000;       // FillClosedCurve's fill rule
inline constexpr uint16_t kPostMultiply = U_PPF_XM;    // transform applied after the current one
inline constexpr uint16_t kContinuedObject = U_PPF_N;  // Object: more of it in the next record
inline constexpr uint16_t kAntiAliasOn = U_PPF_AA;     // SetAntiAliasMode
inline constexpr uint16_t kDualFile = U_PPF_DM;        // Header: GDI records draw the same picture
inline constexpr uint16_t kCompositingCopy = 1;        // SetCompositingMode: SourceCopy
inline constexpr int kObjectTypeShift = 8;
inline constexpr uint16_t kObjectTypeMask = 0x7F;
inline constexpr int kCombineModeShift = 8;
inline constexpr uint16_t kCombineModeMask = 0x0F;
inline constexpr uint16_t kPageUnitMask = 0x00FF;

// Path point types: the kind in the low bits, flags beside it.
inline constexpr uint8_t kPointTypeMask = 0x07;
inline constexpr uint8_t kPointStart = 0;
inline constexpr uint8_t kPointLine = 1;
inline constexpr uint8_t kPointBezier = 3;
inline constexpr uint8_t kPointClose = U_PTP_CloseSubpath;
// Path object flags: compressed, run-length coded types, relative points.
inline constexpr uint32_t kPathCompressed = 0x4000;
inline constexpr uint32_t kPathRunLengths = U_PPF_R;
inline constexpr uint32_t kPathRelative = U_PPF_P;
// A run of point types: the count in these bits, the Bezier flag in the top one.
inline constexpr uint8_t kRunCountMask = 0x3F;
// Relative coordinates: one byte of seven bits, or two bytes of fifteen.
inline constexpr uint8_t kInteger15Flag = 0x80;

// Brush data flags.
inline constexpr uint32_t kBrushPath = 0x01;
inline constexpr uint32_t kBrushTransform = 0x02;
inline constexpr uint32_t kBrushPresetColors = 0x04;
inline constexpr uint32_t kBrushBlendFactorsH = 0x08;
inline constexpr uint32_t kBrushBlendFactorsV = 0x10;
inline constexpr uint32_t kBrushFocusScales = 0x40;
// Wrap modes of gradients and textures.
inline constexpr int32_t kWrapTile = 0;
inline constexpr int32_t kWrapTileFlipX = 1;
inline constexpr int32_t kWrapTileFlipY = 2;
inline constexpr int32_t kWrapTileFlipXY = 3;
inline constexpr int32_t kWrapClamp = 4;

// Pen line styles and dashed-line caps.
inline constexpr int32_t kLineSolid = 0;
inline constexpr int32_t kLineDash = 1;
inline constexpr int32_t kLineDot = 2;
inline constexpr int32_t kLineDashDot = 3;
inline constexpr int32_t kLineDashDotDot = 4;
inline constexpr int32_t kLineCustom = 5;
inline constexpr int32_t kDashCapFlat = 0;
inline constexpr int32_t kDashCapRound = 2;
inline constexpr int32_t kDashCapTriangle = 3;
// Custom line caps: the default kind (paths) and the adjustable arrow.
inline constexpr int32_t kCustomCapDefault = 0;
inline constexpr int32_t kCustomCapArrow = 1;
inline constexpr uint32_t kCustomCapFillPath = 0x01;
inline constexpr uint32_t kCustomCapLinePath = 0x02;

// Image kinds, bitmap storage and pixel formats (index in the low byte,
// bits per pixel in the next, then the format's flags).
inline constexpr uint32_t kImageBitmap = U_IDT_Bitmap;
inline constexpr uint32_t kImageMetafile = U_IDT_Metafile;
inline constexpr uint32_t kBitmapPixels = U_BDT_Pixel;
inline constexpr uint32_t kBitmapCompressed = U_BDT_Compressed;
inline constexpr uint32_t kPixelFormatIndexed = 0x00010000;
inline constexpr uint32_t kPixelFormatAlpha = 0x00040000;
inline constexpr uint32_t kPixelFormatPremultiplied = 0x00080000;
constexpr int bitsPerPixel(uint32_t format) {
  return int((format >> 8) & 0xFF);
}
inline constexpr uint32_t kPixelFormat16Gray = 0x00101004;
inline constexpr uint32_t kPixelFormat16Rgb555 = 0x00021005;
inline constexpr uint32_t kPixelFormat16Rgb565 = 0x00021006;
inline constexpr uint32_t kPixelFormat16Argb1555 = 0x00061007;
inline constexpr uint32_t kPixelFormat24Rgb = 0x00021808;
inline constexpr uint32_t kPixelFormat32Rgb = 0x00022009;
inline constexpr uint32_t kPixelFormat32Argb = 0x0026200A;
inline constexpr uint32_t kPixelFormat32Pargb = 0x000E200B;
inline constexpr uint32_t kPixelFormat48Rgb = 0x0010300C;
inline constexpr uint32_t kPixelFormat64Argb = 0x0034400D;
inline constexpr uint32_t kPixelFormat64Pargb = 0x001A400E;

// String alignment (StringAlignment) and driver string options.
inline constexpr uint32_t kAlignNear = 0;
inline constexpr uint32_t kAlignCenter = 1;
inline constexpr uint32_t kAlignFar = 2;
inline constexpr uint32_t kDriverCmapLookup = U_DSO_CmapLookup;
inline constexpr uint32_t kDriverRealizedAdvance = U_DSO_RealizedAdvance;

// Text rendering hints that ask for glyphs without anti-aliasing.
inline constexpr uint8_t kTextSingleBitPerPixelGridFit = 1;
inline constexpr uint8_t kTextSingleBitPerPixel = 2;

}  // namespace ostrel::emfplus
