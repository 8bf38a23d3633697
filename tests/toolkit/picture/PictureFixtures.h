#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>
#include <QtGlobal>

namespace ostrel::test {

// Builds bitmap files byte by byte, so tests reach the variants no writer at
// hand produces (RLE, OS/2 headers, bit fields, broken headers).
struct BmpBuilder {
  quint32 headerSize = 40;
  qint32 width = 2;
  qint32 height = 2;  // negative: top-down
  quint16 bitsPerPixel = 24;
  quint32 compression = 0;
  QList<QRgb> palette;
  QList<quint32> masks;  // after a 40-byte header, or inside a larger one
  QByteArray pixels;
  bool fileHeader = true;
  qint64 bitsOffsetOverride = -1;

  QByteArray build() const;
};

// Builds GIFs of up to four colours a table, each pixel written with a clear
// code before it so no LZW table ever grows (valid, if not small).
struct GifBuilder {
  struct Image {
    int left = 0;
    int top = 0;
    int width = 1;
    int height = 1;
    QList<QRgb> local;   // empty: the global table
    QByteArray indexes;  // fewer than width x height: the data ends early
    bool interlaced = false;
    int transparent = -1;
    int delay = -1;  // -1 with no transparency: no graphic control block
    int disposal = 0;
  };
  int width = 1;
  int height = 1;
  QList<QRgb> global;
  QList<Image> images;
  int loops = -1;  // the loop extension's count; -1: none

  QByteArray build() const;
};

// The image in a file format through Qt's writer.
QByteArray encode(const QImage& image, const char* format, int quality = -1);
inline QByteArray makeJpeg(const QImage& image, int quality = 95) {
  return encode(image, "jpeg", quality);
}

// The JPEG with an APP1 EXIF segment holding orientation, right after SOI.
QByteArray withExifOrientation(const QByteArray& jpeg, int orientation, bool bigEndian = false);

// An image whose four quadrants are red, green, blue and white (clockwise
// from the top left), to see where corners end up.
QImage quadrants(int width, int height);

// The colour name of the pixel, for readable failure messages.
QString colourAt(const QImage& image, int x, int y);

void writeFile(const QString& path, const QByteArray& bytes);

// An 8-bit RLE bitmap of four horizontal colour bands: width x height pixels
// in a few bytes a row.
QByteArray rleBitmap(int width, int height);

}  // namespace ostrel::test
