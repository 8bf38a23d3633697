#pragma once

#include <QPoint>
#include <QRectF>
#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace ostrel {

// Little-endian field access into one record. Every read is checked against
// the record's end: a field past it reads as zero, and ok() turns false, so a
// decoder can read first and reject the record afterwards.
class RecordReader {
 public:
  RecordReader(const char* data, uint32_t size) : data_(data), size_(size) {}

  uint32_t size() const { return size_; }
  const char* data() const { return data_; }
  bool ok() const { return ok_; }
  bool has(uint64_t offset, uint64_t length) const { return offset + length <= size_; }

  uint8_t u8(uint64_t off) const {
    if (!has(off, 1)) return fail();
    return static_cast<uint8_t>(data_[off]);
  }
  uint16_t u16(uint64_t off) const {
    if (!has(off, 2)) return fail();
    return static_cast<uint16_t>(u8raw(off) | (u8raw(off + 1) << 8));
  }
  int16_t i16(uint64_t off) const { return static_cast<int16_t>(u16(off)); }
  uint32_t u32(uint64_t off) const {
    if (!has(off, 4)) return fail();
    return static_cast<uint32_t>(u8raw(off)) | (static_cast<uint32_t>(u8raw(off + 1)) << 8) |
           (static_cast<uint32_t>(u8raw(off + 2)) << 16) |
           (static_cast<uint32_t>(u8raw(off + 3)) << 24);
  }
  int32_t i32(uint64_t off) const { return static_cast<int32_t>(u32(off)); }
  float f32(uint64_t off) const {
    uint32_t bits = u32(off);
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
  }
  // The fields at off as a struct laid out as the file lays them out
  // (libuemf's record structs for EMF, packed structs of our own for WMF).
  // length is the struct's fixed part when it ends in a variable array. Bytes
  // past the record's end read as zero and turn ok() false, as above.
  template <typename T>
  T as(uint64_t off = 0, uint64_t length = sizeof(T)) const {
    static_assert(std::is_trivially_copyable_v<T>);
    static_assert(std::endian::native == std::endian::little, "fields are copied as stored");
    T value{};
    length = std::min<uint64_t>(length, sizeof(T));
    if (!has(off, length)) {
      fail();
      if (off < size_) std::memcpy(&value, data_ + off, size_ - off);
      return value;
    }
    std::memcpy(&value, data_ + off, length);
    return value;
  }

  QPoint point32(uint64_t off) const { return QPoint(i32(off), i32(off + 4)); }
  QPoint point16(uint64_t off) const { return QPoint(i16(off), i16(off + 2)); }
  // RECTL: left, top, right, bottom as 32-bit values, kept as edges (GDI's
  // right and bottom edges are exclusive, QRect's inclusive ones would blur that).
  QRectF rect32(uint64_t off) const {
    return QRectF(QPointF(i32(off), i32(off + 4)), QPointF(i32(off + 8), i32(off + 12)));
  }

 private:
  unsigned u8raw(uint64_t off) const { return static_cast<uint8_t>(data_[off]); }
  uint8_t fail() const {
    ok_ = false;
    return 0;
  }

  const char* data_;
  uint32_t size_;
  mutable bool ok_ = true;
};

}  // namespace ostrel
