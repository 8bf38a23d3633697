#pragma once

#include <cstdint>

// WMF records and headers as the file lays them out, for RecordReader::as.
// A record keeps its parameters in the reverse order of the GDI call that
// made it: points are y then x, rectangles bottom, right, top, left, and the
// members below follow the file. Each size is fixed by the file format.
namespace ostrel::wmf {

#pragma pack(push, 1)

struct RecordHeader {
  uint32_t size;  // in 16-bit words, this header included
  uint16_t function;
};
static_assert(sizeof(RecordHeader) == 6);

struct PointYX {
  int16_t y;
  int16_t x;
};
static_assert(sizeof(PointYX) == 4);

// The points of polygons and polylines, which keep the usual order.
struct PointXY {
  int16_t x;
  int16_t y;
};
static_assert(sizeof(PointXY) == 4);

struct RectBRTL {
  int16_t bottom;
  int16_t right;
  int16_t top;
  int16_t left;
};
static_assert(sizeof(RectBRTL) == 8);

// The rectangles of headers, text clipping and regions, in the usual order.
struct RectLTRB {
  int16_t left;
  int16_t top;
  int16_t right;
  int16_t bottom;
};
static_assert(sizeof(RectLTRB) == 8);

// The header of a placeable file, before the metafile header.
struct PlaceableHeader {
  uint32_t key;
  uint16_t handle;
  RectLTRB bounds;
  uint16_t unitsPerInch;
  uint32_t reserved;
  uint16_t checksum;
};
static_assert(sizeof(PlaceableHeader) == 22);

struct FileHeader {
  uint16_t type;  // 1 in memory, 2 on disk
  uint16_t headerWords;
  uint16_t version;
  uint32_t fileWords;
  uint16_t objectCount;
  uint32_t maxRecordWords;
  uint16_t parameterCount;
};
static_assert(sizeof(FileHeader) == 18);

// One 16-bit parameter: modes, object indexes, saved state.
struct OneValue {
  RecordHeader header;
  uint16_t value;
};
static_assert(sizeof(OneValue) == 8);

struct OneColor {
  RecordHeader header;
  uint32_t color;  // COLORREF
};
static_assert(sizeof(OneColor) == 10);

// Origins, extents, offsets and the current position.
struct OnePoint {
  RecordHeader header;
  PointYX point;
};
static_assert(sizeof(OnePoint) == 10);

struct OneRect {
  RecordHeader header;
  RectBRTL rect;
};
static_assert(sizeof(OneRect) == 14);

struct ScaleExt {
  RecordHeader header;
  int16_t yDenom;
  int16_t yNum;
  int16_t xDenom;
  int16_t xNum;
};
static_assert(sizeof(ScaleExt) == 14);

// Arc, Pie and Chord.
struct Arc {
  RecordHeader header;
  PointYX end;
  PointYX start;
  RectBRTL box;
};
static_assert(sizeof(Arc) == 22);

struct RoundRect {
  RecordHeader header;
  int16_t cornerHeight;
  int16_t cornerWidth;
  RectBRTL rect;
};
static_assert(sizeof(RoundRect) == 18);

struct PatBlt {
  RecordHeader header;
  uint32_t rop;
  int16_t height;
  int16_t width;
  int16_t y;
  int16_t x;
};
static_assert(sizeof(PatBlt) == 18);

struct SetPixel {
  RecordHeader header;
  uint32_t color;
  PointYX point;
};
static_assert(sizeof(SetPixel) == 14);

// Then the string, padded to a whole word, and the reference point (PointYX).
struct TextOut {
  RecordHeader header;
  int16_t length;
};
static_assert(sizeof(TextOut) == 8);

// Then a RectLTRB when the options ask for opaquing or clipping, the string
// padded to a whole word, and optionally its advances.
struct ExtTextOut {
  RecordHeader header;
  PointYX reference;
  int16_t length;
  uint16_t options;
};
static_assert(sizeof(ExtTextOut) == 14);

// Polygon and Polyline; then count PointXY.
struct PointList {
  RecordHeader header;
  int16_t count;
};
static_assert(sizeof(PointList) == 8);

// Then polygonCount 16-bit point counts, then all the points (PointXY).
struct PolyPolygon {
  RecordHeader header;
  uint16_t polygonCount;
};
static_assert(sizeof(PolyPolygon) == 8);

struct FillRegion {
  RecordHeader header;
  uint16_t region;
  uint16_t brush;
};
static_assert(sizeof(FillRegion) == 10);

struct FrameRegion {
  RecordHeader header;
  uint16_t region;
  uint16_t brush;
  int16_t height;
  int16_t width;
};
static_assert(sizeof(FrameRegion) == 14);

// BitBlt and DibBitBlt; then the bitmap (BITMAP16 or a packed DIB).
struct BitBlt {
  RecordHeader header;
  uint32_t rop;
  int16_t srcY;
  int16_t srcX;
  int16_t height;
  int16_t width;
  int16_t destY;
  int16_t destX;
};
static_assert(sizeof(BitBlt) == 22);

// The bitmap-less form (a pattern or a fill by rop alone): one reserved word
// where the bitmap would be, before the destination, and nothing after.
struct BitBltNoBitmap {
  RecordHeader header;
  uint32_t rop;
  int16_t srcY;
  int16_t srcX;
  uint16_t reserved;
  int16_t height;
  int16_t width;
  int16_t destY;
  int16_t destX;
};
static_assert(sizeof(BitBltNoBitmap) == 24);

// StretchBlt and DibStretchBlt; then the bitmap.
struct StretchBlt {
  RecordHeader header;
  uint32_t rop;
  int16_t srcHeight;
  int16_t srcWidth;
  int16_t srcY;
  int16_t srcX;
  int16_t destHeight;
  int16_t destWidth;
  int16_t destY;
  int16_t destX;
};
static_assert(sizeof(StretchBlt) == 26);

struct StretchBltNoBitmap {
  RecordHeader header;
  uint32_t rop;
  int16_t srcHeight;
  int16_t srcWidth;
  int16_t srcY;
  int16_t srcX;
  uint16_t reserved;
  int16_t destHeight;
  int16_t destWidth;
  int16_t destY;
  int16_t destX;
};
static_assert(sizeof(StretchBltNoBitmap) == 28);

// Then the packed DIB.
struct StretchDib {
  RecordHeader header;
  uint32_t rop;
  uint16_t colorUsage;  // 1: the colour table holds palette indexes
  int16_t srcHeight;
  int16_t srcWidth;
  int16_t srcY;
  int16_t srcX;
  int16_t destHeight;
  int16_t destWidth;
  int16_t destY;
  int16_t destX;
};
static_assert(sizeof(StretchDib) == 28);

// Then the packed DIB.
struct SetDibToDev {
  RecordHeader header;
  uint16_t colorUsage;
  uint16_t scanCount;
  uint16_t startScan;
  int16_t srcY;
  int16_t srcX;
  int16_t height;
  int16_t width;
  int16_t destY;
  int16_t destX;
};
static_assert(sizeof(SetDibToDev) == 24);

// WMF's device-dependent bitmap header; the rows follow it.
struct Bitmap16 {
  int16_t type;
  int16_t width;
  int16_t height;
  int16_t widthBytes;
  uint8_t planes;
  uint8_t bitsPixel;
};
static_assert(sizeof(Bitmap16) == 10);

// The 12-byte DIB header of OS/2 origin, the other being BITMAPINFOHEADER.
struct BitmapCoreHeader {
  uint32_t size;
  uint16_t width;
  int16_t height;
  uint16_t planes;
  uint16_t bitCount;
};
static_assert(sizeof(BitmapCoreHeader) == 12);

// Then the pattern bits.
struct CreatePatternBrush {
  RecordHeader header;
  Bitmap16 bitmap;
  uint32_t bitsPointer;  // where the bits were in memory, meaningless in a file
  uint8_t reserved[18];
};
static_assert(sizeof(CreatePatternBrush) == 38);

// Then the packed DIB.
struct DibCreatePatternBrush {
  RecordHeader header;
  uint16_t style;
  uint16_t colorUsage;
};
static_assert(sizeof(DibCreatePatternBrush) == 10);

// Then count palette entries.
struct CreatePalette {
  RecordHeader header;
  uint16_t start;
  uint16_t count;
};
static_assert(sizeof(CreatePalette) == 10);

struct PaletteEntry {
  uint8_t red;
  uint8_t green;
  uint8_t blue;
  uint8_t flags;
};
static_assert(sizeof(PaletteEntry) == 4);

struct CreatePenIndirect {
  RecordHeader header;
  uint16_t style;
  int16_t width;
  int16_t height;  // unused
  uint32_t color;
};
static_assert(sizeof(CreatePenIndirect) == 16);

struct CreateBrushIndirect {
  RecordHeader header;
  uint16_t style;
  uint32_t color;
  uint16_t hatch;
};
static_assert(sizeof(CreateBrushIndirect) == 14);

// LOGFONT with 16-bit sizes and an 8-bit face name; its members keep
// LOGFONT's names, as EMF's U_LOGFONT does.
struct LogFont16 {
  int16_t lfHeight;
  int16_t lfWidth;
  int16_t lfEscapement;
  int16_t lfOrientation;
  int16_t lfWeight;
  uint8_t lfItalic;
  uint8_t lfUnderline;
  uint8_t lfStrikeOut;
  uint8_t lfCharSet;
  uint8_t lfOutPrecision;
  uint8_t lfClipPrecision;
  uint8_t lfQuality;
  uint8_t lfPitchAndFamily;
  char lfFaceName[32];  // NUL-terminated, often cut short with the record
};
static_assert(sizeof(LogFont16) == 50);

struct CreateFontIndirect {
  RecordHeader header;
  LogFont16 font;
};
static_assert(sizeof(CreateFontIndirect) == 56);

// Then scanCount scans.
struct CreateRegion {
  RecordHeader header;
  int16_t nextInChain;
  int16_t objectType;
  int32_t objectCount;
  int16_t regionSize;
  int16_t scanCount;
  int16_t maxScan;
  RectLTRB bounds;
};
static_assert(sizeof(CreateRegion) == 28);

// One band of a region: count x values (left, right pairs) follow, then the
// count once more.
struct RegionScan {
  uint16_t count;
  int16_t top;
  int16_t bottom;
};
static_assert(sizeof(RegionScan) == 6);

// An escape carrying one piece of the enhanced metafile the WMF was made
// from: the pieces, in order, are the EMF's bytes.
struct EmfPiece {
  RecordHeader header;
  uint16_t escape;     // META_ESCAPE_ENHANCED_METAFILE
  uint16_t byteCount;  // of what follows
  uint32_t identifier;
  uint32_t commentType;
  uint32_t version;
  uint16_t checksum;
  uint32_t flags;
  uint32_t pieceCount;
  uint32_t pieceSize;  // the EMF bytes in this record
  uint32_t bytesAfter;
  uint32_t emfSize;
};
static_assert(sizeof(EmfPiece) == 44);

#pragma pack(pop)

}  // namespace ostrel::wmf
