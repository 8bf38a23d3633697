#include "tests/toolkit/picture/PictureFixtures.h"

#include <QBuffer>
#include <QColor>
#include <QFile>
#include <QImageWriter>
#include <QPainter>
#include <QtEndian>
#include <algorithm>

namespace ostrel::test {

namespace {

void put16(QByteArray& b, quint16 v) {
  b.append(char(v & 0xFF)).append(char(v >> 8));
}
void put32(QByteArray& b, quint32 v) {
  put16(b, quint16(v & 0xFFFF));
  put16(b, quint16(v >> 16));
}

}  // namespace

QByteArray BmpBuilder::build() const {
  QByteArray info;
  put32(info, headerSize);
  if (headerSize == 12) {
    put16(info, quint16(width));
    put16(info, quint16(height));
    put16(info, 1);
    put16(info, bitsPerPixel);
  } else {
    put32(info, quint32(width));
    put32(info, quint32(height));
    put16(info, 1);
    put16(info, bitsPerPixel);
    put32(info, compression);
    put32(info, quint32(pixels.size()));
    put32(info, 2835);
    put32(info, 2835);
    put32(info, quint32(palette.size()));
    put32(info, 0);
    if (headerSize > 40) {
      for (int i = 0; i < 4 && info.size() < int(headerSize); ++i) {
        put32(info, i < masks.size() ? masks[i] : 0);
      }
    }
    info.resize(headerSize, '\0');
  }
  if (headerSize == 40) {
    for (quint32 m : masks) put32(info, m);
  }
  for (QRgb c : palette) {
    info.append(char(qBlue(c))).append(char(qGreen(c))).append(char(qRed(c)));
    if (headerSize != 12) info.append('\0');
  }
  QByteArray out;
  if (fileHeader) {
    const quint32 offset =
        bitsOffsetOverride >= 0 ? quint32(bitsOffsetOverride) : quint32(14 + info.size());
    out.append("BM");
    put32(out, quint32(14 + info.size() + pixels.size()));
    put32(out, 0);
    put32(out, offset);
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
    bits += 3;
    while (bits >= 8) {
      codes.append(char(acc & 0xFF));
      acc >>= 8;
      bits -= 8;
    }
  };
  for (char index : indexes) {
    putCode(4);
    putCode(index);
  }
  putCode(5);
  if (bits > 0) codes.append(char(acc & 0xFF));
  QByteArray b;
  b.append(char(2));  // minimum code size
  for (int at = 0; at < codes.size(); at += 255) {
    const QByteArray block = codes.mid(at, 255);
    b.append(char(block.size())).append(block);
  }
  b.append('\0');
  return b;
}

}  // namespace

QByteArray GifBuilder::build() const {
  QByteArray b("GIF89a");
  put16(b, quint16(width));
  put16(b, quint16(height));
  b.append(global.isEmpty() ? '\0' : char(0xF1));  // a table of 4 entries
  b.append('\0').append('\0');
  if (!global.isEmpty()) putTable(b, global);
  if (loops >= 0) {
    b.append("\x21\xFF\x0BNETSCAPE2.0\x03\x01", 16);
    put16(b, quint16(loops));
    b.append('\0');
  }
  for (const Image& image : images) {
    if (image.delay >= 0 || image.transparent >= 0) {
      b.append("\x21\xF9\x04", 3);
      b.append(char((image.disposal << 2) | (image.transparent >= 0 ? 1 : 0)));
      put16(b, quint16(std::max(0, image.delay)));
      b.append(char(std::max(0, image.transparent))).append('\0');
    }
    b.append(',');
    put16(b, quint16(image.left));
    put16(b, quint16(image.top));
    put16(b, quint16(image.width));
    put16(b, quint16(image.height));
    b.append(char((image.local.isEmpty() ? 0 : 0x81) | (image.interlaced ? 0x40 : 0)));
    if (!image.local.isEmpty()) putTable(b, image.local);
    b.append(gifData(image.indexes));
  }
  return b + ';';
}

QByteArray makeJpeg(const QImage& image, int quality) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, "jpeg");
  writer.setQuality(quality);
  writer.write(image);
  return bytes;
}

QByteArray withExifOrientation(const QByteArray& jpeg, int orientation, bool bigEndian) {
  QByteArray tiff;
  auto p16 = [&](quint16 v) {
    if (bigEndian)
      tiff.append(char(v >> 8)).append(char(v & 0xFF));
    else
      put16(tiff, v);
  };
  auto p32 = [&](quint32 v) {
    if (bigEndian) {
      p16(quint16(v >> 16));
      p16(quint16(v & 0xFFFF));
    } else {
      put32(tiff, v);
    }
  };
  tiff.append(bigEndian ? "MM" : "II");
  p16(42);
  p32(8);
  p16(1);       // one entry
  p16(0x0112);  // orientation
  p16(3);       // SHORT
  p32(1);
  p16(quint16(orientation));
  p16(0);
  p32(0);  // no next IFD
  const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
  QByteArray segment("\xFF\xE1", 2);
  segment.append(char((payload.size() + 2) >> 8)).append(char((payload.size() + 2) & 0xFF));
  segment += payload;
  return jpeg.left(2) + segment + jpeg.mid(2);
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
  const QColor c = image.pixelColor(x, y);
  // Name the nearest of the quadrant colours so JPEG noise does not matter.
  struct Named {
    const char* name;
    QColor colour;
  };
  const Named names[] = {{"red", Qt::red},
                         {"green", Qt::green},
                         {"blue", Qt::blue},
                         {"white", Qt::white},
                         {"black", Qt::black}};
  const char* best = "?";
  int bestDistance = 1 << 30;
  for (const Named& n : names) {
    const int d = qAbs(c.red() - n.colour.red()) + qAbs(c.green() - n.colour.green()) +
                  qAbs(c.blue() - n.colour.blue());
    if (d < bestDistance) {
      bestDistance = d;
      best = n.name;
    }
  }
  return QString::fromLatin1(best);
}

void writeFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  if (f.open(QIODevice::WriteOnly)) f.write(bytes);
}

QByteArray rleBitmap(int width, int height) {
  QByteArray rows;
  for (int y = 0; y < height; ++y) {
    const char index = char(y * 4 / height);
    for (int left = width; left > 0; left -= 255) {
      rows.append(char(std::min(left, 255)));
      rows.append(index);
    }
    rows.append("\0\0", 2);  // end of line
  }
  rows.append("\0\1", 2);  // end of bitmap
  BmpBuilder b;
  b.width = width;
  b.height = height;
  b.bitsPerPixel = 8;
  b.compression = 1;
  b.palette = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 255)};
  b.pixels = rows;
  return b.build();
}

}  // namespace ostrel::test
