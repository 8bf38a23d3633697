#include "tests/toolkit/picture/PictureFixtures.h"

#include <QBuffer>
#include <QColor>
#include <QFile>
#include <QImageWriter>
#include <QPainter>
#include <algorithm>
#include <initializer_list>

namespace ostrel::test {

namespace {

// Little-endian values of the given width in bytes.
void put(QByteArray& b, int bytes, std::initializer_list<qint64> values) {
  for (qint64 v : values)
    for (int i = 0; i < bytes; ++i) b.append(char((v >> (8 * i)) & 0xFF));
}

}  // namespace

QByteArray BmpBuilder::build() const {
  QByteArray info;
  put(info, 4, {headerSize});
  if (headerSize == 12) {
    put(info, 2, {width, height, 1, bitsPerPixel});
  } else {
    put(info, 4, {width, height});
    put(info, 2, {1, bitsPerPixel});
    put(info, 4, {compression, pixels.size(), 2835, 2835, palette.size(), 0});
    for (int i = 0; headerSize > 40 && i < 4 && info.size() < int(headerSize); ++i)
      put(info, 4, {i < masks.size() ? masks[i] : 0});
    info.resize(headerSize, '\0');
  }
  if (headerSize == 40)
    for (quint32 m : masks) put(info, 4, {m});
  for (QRgb c : palette) put(info, headerSize == 12 ? 3 : 4, {c & 0xFFFFFF});
  QByteArray out;
  if (fileHeader) {
    out.append("BM");
    put(out, 4, {14 + info.size() + pixels.size(), 0});
    put(out, 4, {bitsOffsetOverride >= 0 ? bitsOffsetOverride : 14 + info.size()});
  }
  return out + info + pixels;
}

namespace {

void putTable(QByteArray& b, const QList<QRgb>& colours) {
  for (int i = 0; i < 4; ++i) {
    const QRgb c = i < colours.size() ? colours[i] : 0;
    b.append(char(qRed(c))).append(char(qGreen(c))).append(char(qBlue(c)));
  }
}

// Three-bit codes, least significant bit first, in data sub-blocks.
QByteArray gifData(const QByteArray& indexes) {
  QByteArray codes;
  quint32 acc = 0;
  int bits = 0;
  auto putCode = [&](int code) {
    acc |= quint32(code) << bits;
    for (bits += 3; bits >= 8; bits -= 8, acc >>= 8) codes.append(char(acc & 0xFF));
  };
  for (char index : indexes) {
    putCode(4);
    putCode(index);
  }
  putCode(5);
  if (bits > 0) codes.append(char(acc & 0xFF));
  QByteArray b(1, char(2));  // minimum code size
  for (int at = 0; at < codes.size(); at += 255) {
    const QByteArray block = codes.mid(at, 255);
    b.append(char(block.size())).append(block);
  }
  return b.append('\0');
}

}  // namespace

QByteArray GifBuilder::build() const {
  QByteArray b("GIF89a");
  put(b, 2, {width, height});
  b.append(global.isEmpty() ? '\0' : char(0xF1));  // a table of 4 entries
  b.append('\0').append('\0');
  if (!global.isEmpty()) putTable(b, global);
  if (loops >= 0) {
    b.append("\x21\xFF\x0BNETSCAPE2.0\x03\x01", 16);
    put(b, 2, {loops});
    b.append('\0');
  }
  for (const Image& image : images) {
    if (image.delay >= 0 || image.transparent >= 0) {
      b.append("\x21\xF9\x04", 3);
      b.append(char((image.disposal << 2) | (image.transparent >= 0 ? 1 : 0)));
      put(b, 2, {std::max(0, image.delay)});
      b.append(char(std::max(0, image.transparent))).append('\0');
    }
    b.append(',');
    put(b, 2, {image.left, image.top, image.width, image.height});
    b.append(char((image.local.isEmpty() ? 0 : 0x81) | (image.interlaced ? 0x40 : 0)));
    if (!image.local.isEmpty()) putTable(b, image.local);
    b.append(gifData(image.indexes));
  }
  return b + ';';
}

QByteArray encode(const QImage& image, const char* format, int quality) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, format);
  writer.setQuality(quality);
  writer.write(image);
  return bytes;
}

QByteArray withExifOrientation(const QByteArray& jpeg, int orientation, bool bigEndian) {
  // APP1: "Exif", a TIFF header, one IFD entry (orientation, SHORT, one
  // value) and no next IFD.
  const char* tiff = bigEndian ? "4d4d002a00000008000101120003000000010000000000000000"
                               : "49492a0008000000010012010300010000000000000000000000";
  QByteArray app1 = QByteArray::fromHex(QByteArray("ffe10022457869660000") + tiff);
  app1[10 + (bigEndian ? 19 : 18)] = char(orientation);
  return jpeg.left(2) + app1 + jpeg.mid(2);
}

QImage quadrants(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  QPainter p(&image);
  const int w = width / 2, h = height / 2;
  p.fillRect(0, 0, w, h, Qt::red);
  p.fillRect(w, 0, width - w, h, Qt::green);
  p.fillRect(w, h, width - w, height - h, Qt::blue);
  p.fillRect(0, h, w, height - h, Qt::white);
  return image;
}

QString colourAt(const QImage& image, int x, int y) {
  // The nearest of the quadrant colours, so JPEG noise does not matter.
  const QColor c = image.pixelColor(x, y);
  const std::pair<const char*, QColor> names[] = {{"red", Qt::red},
                                                  {"green", Qt::green},
                                                  {"blue", Qt::blue},
                                                  {"white", Qt::white},
                                                  {"black", Qt::black}};
  auto distance = [&](const auto& n) {
    return qAbs(c.red() - n.second.red()) + qAbs(c.green() - n.second.green()) +
           qAbs(c.blue() - n.second.blue());
  };
  return QString::fromLatin1(
      std::ranges::min(names, {}, [&](const auto& n) { return distance(n); }).first);
}

void writeFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  if (f.open(QIODevice::WriteOnly)) f.write(bytes);
}

QByteArray rleBitmap(int width, int height) {
  QByteArray rows;
  for (int y = 0; y < height; ++y) {
    for (int left = width; left > 0; left -= 255)
      rows.append(char(std::min(left, 255))).append(char(y * 4 / height));
    rows.append("\0\0", 2);  // end of line
  }
  rows.append("\0\1", 2);  // end of bitmap
  return BmpBuilder{
      .width = width,
      .height = height,
      .bitsPerPixel = 8,
      .compression = 1,
      .palette = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 255)},
      .pixels = rows}
      .build();
}

}  // namespace ostrel::test
