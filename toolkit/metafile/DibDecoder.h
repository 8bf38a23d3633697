#pragma once

#include <QByteArrayView>
#include <QImage>
#include <cstdint>
#include <vector>

namespace ostrel {

enum class DibAlpha { Ignore, Keep };

// Turns the device-independent bitmaps embedded in metafile records into
// images, through the one bitmap decoder (BmpDecoder) and its limits
// (PictureLimits). What metafiles add: colour tables of palette indexes,
// alpha only where the record asks for it, and paper where the data does not
// reach (white, or transparent for alpha bitmaps). A bitmap that cannot be
// decoded gives a null image: its record is left out.
class DibDecoder {
 public:
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
