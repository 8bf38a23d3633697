#include "toolkit/metafile/DibDecoder.h"

#include <QByteArray>
#include <bit>

#include "toolkit/metafile/RecordReader.h"

namespace ostrel {

namespace {

constexpr uint32_t kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitfields = 3, kBiJpeg = 4, kBiPng = 5;

struct DibHeader {
  uint32_t headerSize = 0;
  int64_t width = 0;
  int64_t height = 0;  // negative: top-down rows
  int bitCount = 0;
  uint32_t compression = kBiRgb;
  uint32_t colorsUsed = 0;
  uint32_t masks[4] = {0, 0, 0, 0};
  bool core = false;
  uint32_t tableOffset = 0;  // where the colour table (or bit field masks) start
};

bool readHeader(const RecordReader& r, DibHeader& h) {
  h.headerSize = r.u32(0);
  if (h.headerSize == 12) {
    h.core = true;
    h.width = r.u16(4);
    h.height = r.i16(6);
    h.bitCount = r.u16(10);
  } else if (h.headerSize >= 40 && h.headerSize <= 1024) {
    h.width = r.i32(4);
    h.height = r.i32(8);
    h.bitCount = r.u16(14);
    h.compression = r.u32(16);
    h.colorsUsed = r.u32(32);
    if (h.headerSize >= 52) {
      for (int i = 0; i < (h.headerSize >= 56 ? 4 : 3); ++i) h.masks[i] = r.u32(40 + 4 * i);
    }
  } else {
    return false;
  }
  h.tableOffset = h.headerSize;
  if (h.compression == kBiBitfields && h.headerSize == 40) {
    for (int i = 0; i < 3; ++i) h.masks[i] = r.u32(40 + 4 * i);
    h.tableOffset += 12;
  }
  return r.ok() && h.width > 0 && h.height != 0 && h.width <= DibDecoder::kMaxSide &&
         std::abs(h.height) <= DibDecoder::kMaxSide &&
         h.width * std::abs(h.height) <= DibDecoder::kMaxPixels;
}

uint32_t tableEntries(const DibHeader& h) {
  if (h.bitCount > 8) return h.core ? 0 : std::min<uint32_t>(h.colorsUsed, 256);
  uint32_t full = 1u << h.bitCount;
  if (h.colorsUsed == 0 || h.colorsUsed > full) return full;
  return h.colorsUsed;
}

// Size in bytes of the colour table as stored (for finding packed pixel data).
uint32_t tableBytes(const DibHeader& h, bool palColors) {
  uint32_t n = tableEntries(h);
  if (palColors && h.bitCount <= 8) return n * 2;
  return n * (h.core ? 3 : 4);
}

std::vector<QRgb> readTable(const RecordReader& r, const DibHeader& h, bool palColors,
                            const std::vector<QRgb>& palette) {
  std::vector<QRgb> table;
  if (h.bitCount > 8) return table;
  uint32_t n = tableEntries(h);
  table.reserve(1u << h.bitCount);
  for (uint32_t i = 0; i < n; ++i) {
    if (palColors) {
      uint16_t index = r.u16(h.tableOffset + 2 * i);
      table.push_back(index < palette.size() ? palette[index] : qRgb(0, 0, 0));
    } else {
      uint32_t off = h.tableOffset + i * (h.core ? 3 : 4);
      if (!r.has(off, 3)) break;
      table.push_back(qRgb(r.u8(off + 2), r.u8(off + 1), r.u8(off)));
    }
  }
  // Pixels may index past a short table; GDI shows those as black.
  while (table.size() < (1u << h.bitCount)) table.push_back(qRgb(0, 0, 0));
  return table;
}

int maskShift(uint32_t mask) {
  return mask ? std::countr_zero(mask) : 0;
}
int maskBits(uint32_t mask) {
  return mask ? std::popcount(mask >> maskShift(mask)) : 0;
}

uint8_t scaleChannel(uint32_t value, uint32_t mask) {
  if (!mask) return 0;
  uint32_t v = (value & mask) >> maskShift(mask);
  int bits = maskBits(mask);
  if (bits >= 8) return static_cast<uint8_t>(v >> (bits - 8));
  uint32_t max = (1u << bits) - 1;
  return static_cast<uint8_t>(max ? v * 255 / max : 0);
}

// RLE-compressed pixels expand into an index buffer; absolute runs and deltas
// are clipped to the image, and the walk ends at the data's end.
void decodeRle(const RecordReader& bits, bool four, int width, int height,
               std::vector<uint8_t>& out) {
  out.assign(static_cast<size_t>(width) * height, 0);
  int x = 0, y = 0;  // y counts rows from the bottom
  uint32_t p = 0;
  auto put = [&](uint8_t v) {
    if (x < width && y < height) out[static_cast<size_t>(y) * width + x] = v;
    ++x;
  };
  while (bits.has(p, 2) && y < height) {
    uint8_t count = bits.u8(p), value = bits.u8(p + 1);
    p += 2;
    if (count > 0) {
      for (int i = 0; i < count && x < width; ++i)
        put(four ? ((i & 1) ? (value & 0x0F) : (value >> 4)) : value);
      continue;
    }
    if (value == 0) {
      x = 0;
      ++y;
    } else if (value == 1) {
      break;
    } else if (value == 2) {
      if (!bits.has(p, 2)) break;
      x += bits.u8(p);
      y += bits.u8(p + 1);
      p += 2;
    } else {
      int n = value;
      uint32_t bytes = four ? (n + 1) / 2 : n;
      for (int i = 0; i < n; ++i) {
        uint8_t b = bits.u8(p + (four ? i / 2 : i));
        put(four ? ((i & 1) ? (b & 0x0F) : (b >> 4)) : b);
      }
      p += (bytes + 1) & ~1u;
    }
  }
}

}  // namespace

QImage DibDecoder::decode(const char* header, uint32_t headerSize, const char* bitsData,
                          uint32_t bitsSize, bool palColors, const std::vector<QRgb>& palette,
                          DibAlpha alpha) {
  RecordReader r(header, headerSize);
  DibHeader h;
  if (!readHeader(r, h)) return {};
  RecordReader bits(bitsData, bitsSize);

  if (h.compression == kBiJpeg || h.compression == kBiPng) {
    QImage image = QImage::fromData(QByteArray::fromRawData(bitsData, bitsSize));
    if (image.isNull() || int64_t(image.width()) * image.height() > kMaxPixels) return {};
    return image.convertToFormat(QImage::Format_ARGB32);
  }

  const int width = static_cast<int>(h.width);
  const int height = static_cast<int>(std::abs(h.height));
  const bool topDown = h.height < 0;
  QImage image(
      width, height,
      alpha == DibAlpha::Keep ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
  if (image.isNull()) return {};
  image.fill(alpha == DibAlpha::Keep ? 0 : 0xFFFFFFFF);

  std::vector<QRgb> table = readTable(r, h, palColors, palette);
  auto rowOf = [&](int y) { return topDown ? y : height - 1 - y; };

  if (h.compression == kBiRle8 || h.compression == kBiRle4) {
    if (h.bitCount != (h.compression == kBiRle8 ? 8 : 4) || table.empty()) return {};
    std::vector<uint8_t> idx;
    decodeRle(bits, h.compression == kBiRle4, width, height, idx);
    for (int y = 0; y < height; ++y) {
      auto* line = reinterpret_cast<QRgb*>(image.scanLine(height - 1 - y));
      for (int x = 0; x < width; ++x) line[x] = table[idx[size_t(y) * width + x] & 0xFF];
    }
    return image;
  }

  if (h.bitCount != 1 && h.bitCount != 2 && h.bitCount != 4 && h.bitCount != 8 &&
      h.bitCount != 16 && h.bitCount != 24 && h.bitCount != 32)
    return {};
  const uint64_t stride = ((uint64_t(width) * h.bitCount + 31) / 32) * 4;

  uint32_t masks[4] = {h.masks[0], h.masks[1], h.masks[2], h.masks[3]};
  const bool fields = h.compression == kBiBitfields && masks[0] | masks[1] | masks[2];
  if (!fields) {
    if (h.bitCount == 16) {
      masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F, masks[3] = 0;
    } else if (h.bitCount == 32) {
      masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF, masks[3] = 0xFF000000;
    }
  }
  const bool keepAlpha = alpha == DibAlpha::Keep;

  for (int y = 0; y < height; ++y) {
    const uint64_t rowStart = uint64_t(y) * stride;
    if (!bits.has(rowStart, stride)) break;  // short data: the rest stays blank
    const char* src = bitsData + rowStart;
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(rowOf(y)));
    const auto* s = reinterpret_cast<const uint8_t*>(src);
    switch (h.bitCount) {
      case 1:
      case 2:
      case 4:
      case 8: {
        const int bpp = h.bitCount;
        const int perByte = 8 / bpp;
        const uint8_t mask = static_cast<uint8_t>((1 << bpp) - 1);
        for (int x = 0; x < width; ++x) {
          uint8_t b = s[x / perByte];
          int shift = 8 - bpp * (x % perByte + 1);
          line[x] = table[(b >> shift) & mask];
        }
        break;
      }
      case 16:
        for (int x = 0; x < width; ++x) {
          uint32_t v = s[2 * x] | (s[2 * x + 1] << 8);
          line[x] =
              qRgb(scaleChannel(v, masks[0]), scaleChannel(v, masks[1]), scaleChannel(v, masks[2]));
        }
        break;
      case 24:
        for (int x = 0; x < width; ++x) line[x] = qRgb(s[3 * x + 2], s[3 * x + 1], s[3 * x]);
        break;
      case 32:
        for (int x = 0; x < width; ++x) {
          uint32_t v = s[4 * x] | (s[4 * x + 1] << 8) | (s[4 * x + 2] << 16) |
                       (uint32_t(s[4 * x + 3]) << 24);
          uint8_t a = keepAlpha && masks[3] ? scaleChannel(v, masks[3]) : 0xFF;
          uint8_t cr = scaleChannel(v, masks[0]), cg = scaleChannel(v, masks[1]),
                  cb = scaleChannel(v, masks[2]);
          if (keepAlpha) {
            // Alpha-blended bitmaps hold premultiplied colour; keep it valid.
            cr = std::min(cr, a), cg = std::min(cg, a), cb = std::min(cb, a);
          }
          line[x] = qRgba(cr, cg, cb, a);
        }
        break;
    }
  }
  return image;
}

QImage DibDecoder::decodePacked(const char* data, uint32_t size, bool palColors,
                                const std::vector<QRgb>& palette, DibAlpha alpha) {
  RecordReader r(data, size);
  DibHeader h;
  if (!readHeader(r, h)) return {};
  uint64_t offBits = uint64_t(h.tableOffset) + tableBytes(h, palColors);
  if (offBits > size) return {};
  return decode(data, static_cast<uint32_t>(offBits), data + offBits,
                static_cast<uint32_t>(size - offBits), palColors, palette, alpha);
}

QImage DibDecoder::decodeBitmap16(QByteArrayView header, QByteArrayView bitsData) {
  RecordReader r(header.data(), uint32_t(std::min<qsizetype>(header.size(), 10)));
  int width = r.i16(2), height = r.i16(4), widthBytes = r.i16(6);
  int planes = r.u8(8), bitsPixel = r.u8(9);
  if (!r.ok() || width <= 0 || height <= 0 || planes != 1 || widthBytes <= 0) return {};
  if (bitsPixel != 1 && bitsPixel != 24 && bitsPixel != 32) return {};
  if (uint64_t(widthBytes) * 8 < uint64_t(width) * bitsPixel) return {};
  QImage image(width, height, QImage::Format_RGB32);
  if (image.isNull()) return {};
  image.fill(Qt::white);
  const RecordReader bits(bitsData.data(),
                          uint32_t(std::min<qsizetype>(bitsData.size(), UINT32_MAX)));
  for (int y = 0; y < height; ++y) {
    uint64_t row = uint64_t(y) * widthBytes;
    if (!bits.has(row, widthBytes)) break;
    const auto* s = reinterpret_cast<const uint8_t*>(bitsData.data() + row);
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < width; ++x) {
      if (bitsPixel == 1)
        line[x] = (s[x / 8] >> (7 - x % 8)) & 1 ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
      else if (bitsPixel == 24)
        line[x] = qRgb(s[3 * x + 2], s[3 * x + 1], s[3 * x]);
      else
        line[x] = qRgb(s[4 * x + 2], s[4 * x + 1], s[4 * x]);
    }
  }
  return image;
}

}  // namespace ostrel
