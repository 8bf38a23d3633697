#pragma once

#include <QByteArrayView>
#include <QImage>
#include <cstdint>
#include <vector>

namespace ostrel {

enum class DibAlpha { Ignore, Keep };

// Turns the device-independent bitmaps embedded in metafile records into
// images. Headers, colour tables and pixel data are checked against the bytes
// the record really holds; rows the data does not cover stay white.
class DibDecoder {
 public:
  // Largest bitmap a record may ask for; bigger ones are skipped, not scaled.
  static constexpr int64_t kMaxPixels = 32 * 1024 * 1024;
  static constexpr int kMaxSide = 32768;

  // header: BITMAPINFO (header and colour table); bits: the pixel data.
  // palette: the selected logical palette, used when palColors is true
  // (DIB_PAL_COLORS: the colour table holds 16-bit palette indexes).
  static QImage decode(const char* header, uint32_t headerSize, const char* bits, uint32_t bitsSize,
                       bool palColors, const std::vector<QRgb>& palette, DibAlpha alpha);

  // A packed DIB: header, colour table and pixels in one block (WMF records).
  static QImage decodePacked(const char* data, uint32_t size, bool palColors,
                             const std::vector<QRgb>& palette, DibAlpha alpha);

  // WMF's old device-dependent BITMAP16: header holds width, height,
  // widthBytes, planes and bitsPixel; bits the rows. Only monochrome and
  // 24/32-bit forms are usual.
  static QImage decodeBitmap16(QByteArrayView header, QByteArrayView bits);
};

}  // namespace ostrel
