#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <utility>
#include <vector>

namespace ostrel::test {

// Packs little-endian values: the byte-level fixtures the metafile tests write.
class MetafileBuilder {
 public:
  static QByteArray words32(std::initializer_list<uint32_t> values) {
    QByteArray out;
    for (uint32_t v : values)
      for (int shift : {0, 8, 16, 24}) out.append(char(v >> shift));
    return out;
  }
  static QByteArray words16(std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values) out.append(char(v)).append(char(v >> 8));
    return out;
  }
  static QByteArray utf16(const QString& text) {
    QByteArray out;
    for (QChar c : text) out.append(char(c.unicode())).append(char(c.unicode() >> 8));
    return out;
  }
  // A WMF escape record holding bytes from..from+size of emf, one of count pieces.
  static QByteArray emfPiece(const QByteArray& emf, int from, int size, uint32_t count) {
    const uint32_t after = uint32_t(emf.size() - from - size);
    return words16({0x000F, 34 + size}) + words32({0x43464D57, 1, 0x10000}) + words16({0}) +
           words32({0, count, uint32_t(size), after, uint32_t(emf.size())}) + emf.mid(from, size);
  }
  // A bottom-up 24-bit BITMAPINFOHEADER plus pixels for image (RGB32).
  static QByteArray dib24(const QImage& image);

  // Renders a metafile onto white paper at size (natural size when empty).
  static QImage render(const QByteArray& data, QSize size = {});
};

// Whether the pixel is within tolerance of want in each channel.
inline bool isColor(const QImage& img, int x, int y, QRgb want, int tolerance = 40) {
  const QRgb c = img.pixel(x, y);
  return std::abs(qRed(c) - qRed(want)) <= tolerance &&
         std::abs(qGreen(c) - qGreen(want)) <= tolerance &&
         std::abs(qBlue(c) - qBlue(want)) <= tolerance;
}

// How many pixels of area (the whole image when null) are darker than threshold.
inline int inkIn(const QImage& img, QRect area = {}, int threshold = 128) {
  if (area.isNull()) area = img.rect();
  int n = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) n += qGray(img.pixel(x, y)) < threshold;
  return n;
}

// The first and last columns with ink; (width, -1) when there is none.
inline std::pair<int, int> inkSpan(const QImage& img) {
  int left = img.width(), right = -1;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      if (qGray(img.pixel(x, y)) < 128) left = std::min(left, x), right = std::max(right, x);
  return {left, right};
}

// Pixels of area between red and white: the edge anti-aliasing blends.
inline int blendedRed(const QImage& img, QRect area = {}) {
  if (area.isNull()) area = img.rect();
  int n = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) {
      const QRgb c = img.pixel(x, y);
      n += qRed(c) == 255 && qGreen(c) > 20 && qGreen(c) < 235;
    }
  return n;
}

// The message a file named name is refused with, after checking it is the
// picture error; empty (and a failure) when it loads.
QString refusalOf(const QByteArray& data, const QString& name);

// A pixel of a render and the colour it must have.
struct Probe {
  int x, y;
  QRgb want;
};
inline constexpr QRgb kRedPx = 0xFFFF0000, kWhitePx = 0xFFFFFFFF, kBlackPx = 0xFF000000;

// Renders data onto white paper (at its natural size when size is empty)
// and expects each probe's colour, within tolerance.
inline QImage expectPixels(const QByteArray& data, const std::vector<Probe>& probes,
                           QSize size = {}, int tolerance = 40) {
  const QImage img = MetafileBuilder::render(data, size);
  for (const Probe& p : probes)
    EXPECT_TRUE(isColor(img, p.x, p.y, p.want, tolerance))
        << "at " << p.x << "," << p.y << ": " << std::hex << img.pixel(p.x, p.y);
  return img;
}

// An EMF under construction. The reference device has 96 pixels per inch and
// the frame is 0..w, 0..h pixels, so device pixels and picture pixels agree.
class EmfBuilder {
 public:
  explicit EmfBuilder(int widthPx = 100, int heightPx = 100) : width_(widthPx), height_(heightPx) {}
  EmfBuilder& add(uint32_t type, const QByteArray& body);
  EmfBuilder& add(uint32_t type, std::initializer_list<uint32_t> params) {
    return add(type, MetafileBuilder::words32(params));
  }
  QByteArray finish() const;  // with EOF and the header's counts filled in

 private:
  QByteArray records_;
  int count_ = 1;
  int width_, height_;
};

// A WMF under construction, placeable (with a bounding box) or bare.
class WmfBuilder {
 public:
  // placeable: bbox 0..w, 0..h in units of unitsPerInch.
  WmfBuilder(bool placeable, int w = 100, int h = 100, int unitsPerInch = 96)
      : placeable_(placeable), w_(w), h_(h), inch_(unitsPerInch) {}
  WmfBuilder& add(uint16_t function, std::initializer_list<int> params) {
    return add(function, MetafileBuilder::words16(params));
  }
  WmfBuilder& add(uint16_t function, const QByteArray& params);
  QByteArray finish() const;

 private:
  QByteArray records_;
  bool placeable_;
  int w_, h_, inch_;
  uint32_t maxRecord_ = 3;
};

}  // namespace ostrel::test
