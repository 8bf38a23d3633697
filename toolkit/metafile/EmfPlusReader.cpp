#include "toolkit/metafile/EmfPlusReader.h"

#include <cmath>

#include "toolkit/metafile/EmfPlusNames.h"

namespace ostrel {

namespace {

// Coordinates beyond this are no drawing's: squaring one still fits a double
// and a float, so sizes, areas and transforms built from them stay finite.
constexpr float kLargest = 1e15F;

}  // namespace

bool EmfPlusReader::advance(uint32_t bytes) {
  if (!ok_ || remaining() < bytes) {
    ok_ = false;
    pos_ = r_.size();
    return false;
  }
  pos_ += bytes;
  return true;
}

float EmfPlusReader::f32() {
  if (!advance(4)) return 0;
  const float v = r_.f32(pos_ - 4);
  if (!std::isfinite(v) || std::abs(v) > kLargest) {
    ok_ = false;
    return 0;
  }
  return v;
}

void EmfPlusReader::skip(uint64_t bytes) {
  if (bytes > remaining()) {
    ok_ = false;
    pos_ = r_.size();
    return;
  }
  pos_ += uint32_t(bytes);
}

EmfPlusReader EmfPlusReader::sub(uint32_t bytes) {
  if (!ok_ || bytes > remaining()) {
    ok_ = false;
    EmfPlusReader none(nullptr, 0);
    none.ok_ = false;
    return none;
  }
  EmfPlusReader part(current(), bytes);
  pos_ += bytes;
  return part;
}

QPointF EmfPlusReader::pointF() {
  const float x = f32();
  return QPointF(x, f32());
}

QRectF EmfPlusReader::rectF() {
  const float x = f32(), y = f32(), w = f32();
  return QRectF(x, y, w, f32());
}

QRectF EmfPlusReader::rect(bool compressed) {
  if (!compressed) return rectF();
  const int16_t x = i16(), y = i16(), w = i16();
  return QRectF(x, y, w, i16());
}

std::vector<QRectF> EmfPlusReader::rects(uint32_t count, bool compressed) {
  std::vector<QRectF> out;
  if (!fits(count, compressed ? 8 : 16)) {
    fail();
    return out;
  }
  out.reserve(count);
  for (uint32_t i = 0; i < count; ++i) out.push_back(rect(compressed));
  return out;
}

int32_t EmfPlusReader::relativeCoordinate() {
  // Seven bits in one byte, or fifteen in two with the top bit set; both
  // signed, the two-byte form stored high byte first.
  const uint8_t first = u8();
  if (!(first & emfplus::kInteger15Flag)) return (first & 0x40) ? int32_t(first) - 0x80 : first;
  const int32_t v = ((first & 0x7F) << 8) | u8();
  return (v & 0x4000) ? v - 0x8000 : v;
}

QPolygonF EmfPlusReader::points(uint32_t count, bool compressed, bool relative) {
  QPolygonF out;
  const uint64_t smallest = relative ? 2 : compressed ? 4 : 8;
  if (!fits(count, smallest)) {
    fail();
    return out;
  }
  out.reserve(count);
  QPointF last;
  for (uint32_t i = 0; i < count && ok(); ++i) {
    if (relative) {
      const int32_t dx = relativeCoordinate();
      last += QPointF(dx, relativeCoordinate());
    } else if (compressed) {
      const int16_t x = i16();
      last = QPointF(x, i16());
    } else {
      last = pointF();
    }
    out.append(last);
  }
  if (!ok()) out.clear();
  return out;
}

QTransform EmfPlusReader::matrix() {
  const float m11 = f32(), m12 = f32(), m21 = f32(), m22 = f32(), dx = f32(), dy = f32();
  return ok() ? QTransform(m11, m12, m21, m22, dx, dy) : QTransform();
}

}  // namespace ostrel
