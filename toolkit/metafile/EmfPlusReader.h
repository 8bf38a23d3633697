#pragma once

#include <QColor>
#include <QPolygonF>
#include <QRectF>
#include <QTransform>
#include <cstdint>
#include <vector>

#include "toolkit/metafile/RecordReader.h"

namespace ostrel {

// Reads the fields of one EMF+ record or object in order, each checked
// against the bytes that hold it. A read past the end gives zero and turns
// ok() false for good, so a parser reads a whole structure and looks once.
// Counts from the file are never trusted: an array is read only when the
// bytes left can hold every element of it (a record claiming 100,000
// rectangles in 40 bytes reads none).
class EmfPlusReader {
 public:
  EmfPlusReader(const char* data, uint32_t size) : r_(data, size) {}

  bool ok() const { return ok_ && r_.ok(); }
  uint32_t position() const { return pos_; }
  uint32_t remaining() const { return pos_ <= r_.size() ? r_.size() - pos_ : 0; }
  const char* current() const { return r_.data() + std::min(pos_, r_.size()); }
  // Whether count elements of elementSize bytes each fit in what is left.
  bool fits(uint64_t count, uint64_t elementSize) const {
    return elementSize == 0 || count <= remaining() / elementSize;
  }

  uint8_t u8() { return advance(1) ? r_.u8(pos_ - 1) : 0; }
  uint16_t u16() { return advance(2) ? r_.u16(pos_ - 2) : 0; }
  int16_t i16() { return static_cast<int16_t>(u16()); }
  uint32_t u32() { return advance(4) ? r_.u32(pos_ - 4) : 0; }
  int32_t i32() { return static_cast<int32_t>(u32()); }
  // A float, or 0 (and ok() false) for one that is not finite or so large
  // that arithmetic on it would overflow: no drawing needs such values.
  float f32();
  // An ARGB colour as EMF+ stores it: blue, green, red, alpha.
  QColor argb() { return QColor::fromRgba(u32()); }
  void skip(uint64_t bytes);
  // The next bytes as a reader of their own, and skips them here.
  EmfPlusReader sub(uint32_t bytes);

  QPointF pointF();
  QRectF rectF();
  // A rectangle as int16 (compressed) or float fields.
  QRectF rect(bool compressed);
  // count rectangles; none when the bytes left cannot hold them.
  std::vector<QRectF> rects(uint32_t count, bool compressed);
  // count points: float pairs, int16 pairs (compressed) or, when relative,
  // offsets of one or two bytes a coordinate from the point before.
  QPolygonF points(uint32_t count, bool compressed, bool relative);
  // A 2 x 3 matrix; the identity when it holds values no drawing uses.
  QTransform matrix();

  // Marks what was read as unusable, as a short read would.
  void fail() { ok_ = false; }

 private:
  bool advance(uint32_t bytes);
  int32_t relativeCoordinate();

  RecordReader r_;
  uint32_t pos_ = 0;
  bool ok_ = true;
};

}  // namespace ostrel
