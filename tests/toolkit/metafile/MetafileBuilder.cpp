#include "tests/toolkit/metafile/MetafileBuilder.h"

#include <QPainter>

#include "toolkit/metafile/MetafileReader.h"

namespace ostrel::test {

void MetafileBuilder::put16(QByteArray& out, uint16_t v) {
  out.append(char(v & 0xFF));
  out.append(char(v >> 8));
}

void MetafileBuilder::put32(QByteArray& out, uint32_t v) {
  put16(out, uint16_t(v & 0xFFFF));
  put16(out, uint16_t(v >> 16));
}

QByteArray MetafileBuilder::words32(std::initializer_list<uint32_t> values) {
  QByteArray out;
  for (uint32_t v : values) put32(out, v);
  return out;
}

QByteArray MetafileBuilder::words16(std::initializer_list<int> values) {
  QByteArray out;
  for (int v : values) put16(out, uint16_t(v));
  return out;
}

QByteArray MetafileBuilder::dib24(const QImage& image) {
  QByteArray out = words32({40, uint32_t(image.width()), uint32_t(image.height())});
  put16(out, 1);
  put16(out, 24);
  out += words32({0, 0, 0, 0, 0, 0});
  const int stride = (image.width() * 3 + 3) & ~3;
  for (int y = image.height() - 1; y >= 0; --y) {
    QByteArray row;
    for (int x = 0; x < image.width(); ++x) {
      const QRgb c = image.pixel(x, y);
      row.append(char(qBlue(c)));
      row.append(char(qGreen(c)));
      row.append(char(qRed(c)));
    }
    row.resize(stride, '\0');
    out += row;
  }
  return out;
}

QImage MetafileBuilder::render(const QByteArray& data, QSize size) {
  const auto drawing = readMetafile(data, QStringLiteral("test.emf"));
  if (size.isEmpty()) size = drawing->naturalSize().toSize();
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  drawing->paint(painter, QRectF(QPointF(0, 0), QSizeF(size)));
  return image;
}

EmfBuilder::EmfBuilder(int widthPx, int heightPx) : width_(widthPx), height_(heightPx) {}

EmfBuilder& EmfBuilder::add(uint32_t type, const QByteArray& body) {
  QByteArray padded = body;
  while (padded.size() % 4) padded.append('\0');
  MetafileBuilder::put32(records_, type);
  MetafileBuilder::put32(records_, uint32_t(padded.size() + 8));
  records_ += padded;
  ++count_;
  return *this;
}

EmfBuilder& EmfBuilder::add(uint32_t type, std::initializer_list<uint32_t> params) {
  return add(type, MetafileBuilder::words32(params));
}

QByteArray EmfBuilder::finish() const {
  QByteArray body = records_;
  MetafileBuilder::put32(body, 14);  // EMR_EOF
  MetafileBuilder::put32(body, 20);
  body += MetafileBuilder::words32({0, 16, 20});
  // 96 dpi reference device: 960 pixels over 254 mm.
  const uint32_t frameW = uint32_t(width_ * 2540 / 96), frameH = uint32_t(height_ * 2540 / 96);
  // Type, size, bounds, frame, signature, version, bytes, records, handles,
  // reserved, description, palette, device size in pixels and millimetres.
  QByteArray header = MetafileBuilder::words32(
      {1, 88, 0, 0, uint32_t(width_ - 1), uint32_t(height_ - 1), 0, 0, frameW - 1, frameH - 1});
  header += MetafileBuilder::words32(
      {0x464D4520, 0x10000, uint32_t(88 + body.size()), uint32_t(count_ + 1), 16, 0});
  header += MetafileBuilder::words32({0, 0, 960, 960, 254, 254});
  return header + body;
}

WmfBuilder::WmfBuilder(bool placeable, int w, int h, int unitsPerInch)
    : placeable_(placeable), w_(w), h_(h), inch_(unitsPerInch) {}

WmfBuilder& WmfBuilder::add(uint16_t function, const QByteArray& params) {
  QByteArray padded = params;
  if (padded.size() % 2) padded.append('\0');
  const uint32_t words = 3 + uint32_t(padded.size() / 2);
  MetafileBuilder::put32(records_, words);
  MetafileBuilder::put16(records_, function);
  records_ += padded;
  maxRecord_ = std::max(maxRecord_, words);
  return *this;
}

WmfBuilder& WmfBuilder::add(uint16_t function, std::initializer_list<int> params) {
  return add(function, MetafileBuilder::words16(params));
}

QByteArray WmfBuilder::finish() const {
  QByteArray out;
  if (placeable_) {
    out = MetafileBuilder::words32({0x9AC6CDD7});
    out += MetafileBuilder::words16({0, 0, 0, w_, h_, inch_, 0, 0, 0});
  }
  QByteArray body = records_ + MetafileBuilder::words16({3, 0, 0});
  out += MetafileBuilder::words16({1, 9, 0x300});
  MetafileBuilder::put32(out, uint32_t(9 + body.size() / 2));
  MetafileBuilder::put16(out, 16);
  MetafileBuilder::put32(out, maxRecord_);
  MetafileBuilder::put16(out, 0);
  return out + body;
}

}  // namespace ostrel::test
