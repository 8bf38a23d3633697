#pragma once

// The GDI vocabulary of the metafile code. libuemf names nearly all of it
// (U_EMR_* and U_WMR_* record types, U_*_BRUSH / U_*_PEN / U_*_FONT stock
// objects, U_PS_* pen styles, U_R2_* mix modes, U_ETO_* and U_TA_* text flags,
// U_MM_* map modes, U_BS_* brush styles, U_*_CHARSET); this header brings
// those in and adds the few values GDI has that libuemf leaves unnamed. No
// other file of the metafile code writes a GDI value as a bare number.

#include <uemf.h>
#include <uwmf.h>

#include <cstdint>

namespace ostrel::gdi {

// Stock objects are named by index with U_STOCK_OBJECT's bit set; WMF files
// and the player use the bare index.
inline constexpr uint32_t kStockObjectIndex = ~uint32_t(U_STOCK_OBJECT);
constexpr uint32_t stockIndex(uint32_t stockName) {
  return stockName & kStockObjectIndex;
}
constexpr bool isStockObject(uint32_t handle) {
  return (handle & U_STOCK_OBJECT) != 0;
}

// DC_BRUSH and DC_PEN, the stock objects after libuemf's last one.
inline constexpr uint32_t kStockDcBrush = 18;
inline constexpr uint32_t kStockDcPen = 19;

// PolyDraw's point types: the kind of point in these bits, U_PT_CLOSEFIGURE
// beside them.
inline constexpr uint8_t kPointTypeMask = U_PT_LINETO | U_PT_BEZIERTO;

// ModifyWorldTransform's MWT_SET, which libuemf does not list.
inline constexpr uint32_t kMwtSet = 4;

// SetROP2 keeps the mix mode in the low byte of its parameter.
inline constexpr uint32_t kRop2Mask = 0xFF;

// A COLORREF is 0x00BBGGRR, or 0x0100iiii for an entry of the selected
// palette (PALETTEINDEX).
inline constexpr uint32_t kColorRefKindShift = 24;
inline constexpr uint32_t kColorRefPaletteIndex = 1;
inline constexpr uint32_t kColorRefIndexMask = 0xFFFF;

// VIETNAMESE_CHARSET, missing from libuemf's list of character sets.
inline constexpr uint8_t kVietnameseCharset = 163;

// The pitch and the family share LOGFONT's lfPitchAndFamily.
inline constexpr uint8_t kPitchMask = 0x03;
inline constexpr uint8_t kFamilyMask = 0xF0;

// The placeable WMF header's key, its first field.
inline constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
// A WMF header is nine 16-bit words long.
inline constexpr uint16_t kWmfHeaderWords = 9;
// An escape record holding a piece of the EMF a WMF was converted from says
// so by its identifier ("WMFC") and comment type.
inline constexpr uint32_t kWmfEmfPieceIdentifier = 0x43464D57;
inline constexpr uint32_t kWmfEmfPieceType = 1;
// WMF records from DeleteObject on (0xF0..0xFF) create or delete objects.
inline constexpr uint8_t kWmfFirstObjectRecord = U_WMR_DELETEOBJECT & U_WMR_MASK;

// The ternary raster operations the player knows, by the index GDI keeps in
// bits 16..23 of a raster-operation code (S source, D destination, P brush).
namespace rop3 {
inline constexpr uint32_t kIndexShift = 16;
constexpr uint32_t indexOf(uint32_t rop) {
  return rop >> kIndexShift;
}
inline constexpr uint32_t Blackness = 0x00;
inline constexpr uint32_t NotSrcErase = 0x11;  // not (S or D)
inline constexpr uint32_t NotSrcCopy = 0x33;   // not S
inline constexpr uint32_t SrcErase = 0x44;     // S and not D
inline constexpr uint32_t DstInvert = 0x55;    // not D
inline constexpr uint32_t PatInvert = 0x5A;    // P xor D
inline constexpr uint32_t SrcInvert = 0x66;    // S xor D
inline constexpr uint32_t SrcAnd = 0x88;       // S and D
inline constexpr uint32_t Dest = 0xAA;         // D, nothing drawn
inline constexpr uint32_t MergePaint = 0xBB;   // not S or D
inline constexpr uint32_t SrcCopy = 0xCC;      // S
inline constexpr uint32_t Dspdxax = 0xE2;      // P where S is white, D elsewhere
inline constexpr uint32_t SrcPaint = 0xEE;     // S or D
inline constexpr uint32_t PatCopy = 0xF0;      // P
inline constexpr uint32_t Whiteness = 0xFF;
static_assert(indexOf(U_SRCCOPY) == SrcCopy);
}  // namespace rop3

}  // namespace ostrel::gdi
