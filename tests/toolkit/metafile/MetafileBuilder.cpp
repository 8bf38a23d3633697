#include "tests/toolkit/metafile/MetafileBuilder.h"

#include <QPainter>

#include "toolkit/ToolkitError.h"
#include "toolkit/metafile/MetafileReader.h"

namespace ostrel::test {

QString refusalOf(const QByteArray& data, const QString& name) {
  try {
    readMetafile(data, name);
  } catch (const ToolkitError& e) {
    EXPECT_EQ(e.Number(), err::InvalidPicture);
    return e.Description();
  }
  ADD_FAILURE() << name.toStdString() << ": loaded";
  return {};
}

QByteArray MetafileBuilder::dib24(const QImage& image) {
  // BITMAPINFOHEADER: size, width, height, one plane of 24 bits, the rest 0.
  QByteArray out =
      words32({40, uint32_t(image.width()), uint32_t(image.height()), 0x180001, 0, 0, 0, 0, 0, 0});
  for (int y = image.height() - 1; y >= 0; --y) {
    QByteArray row;
    for (int x = 0; x < image.width(); ++x) row += words32({image.pixel(x, y)}).left(3);
    out += row.leftJustified((row.size() + 3) & ~3, '\0');
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

EmfBuilder& EmfBuilder::add(uint32_t type, const QByteArray& body) {
  const QByteArray padded = body.leftJustified((body.size() + 3) & ~3, '\0');
  records_ += MetafileBuilder::words32({type, uint32_t(padded.size() + 8)}) + padded;
  ++count_;
  return *this;
}

QByteArray EmfBuilder::finish() const {
  const QByteArray body = records_ + MetafileBuilder::words32({14, 20, 0, 16, 20});  // EMR_EOF
  // 96 dpi reference device: 960 pixels over 254 mm.
  const uint32_t frameW = uint32_t(width_ * 2540 / 96), frameH = uint32_t(height_ * 2540 / 96);
  // Type, size, bounds, frame, signature, version, bytes, records, handles,
  // reserved, description, palette, device size in pixels and millimetres.
  return MetafileBuilder::words32({1,
                                   88,
                                   0,
                                   0,
                                   uint32_t(width_ - 1),
                                   uint32_t(height_ - 1),
                                   0,
                                   0,
                                   frameW - 1,
                                   frameH - 1,
                                   0x464D4520,
                                   0x10000,
                                   uint32_t(88 + body.size()),
                                   uint32_t(count_ + 1),
                                   16,
                                   0,
                                   0,
                                   0,
                                   960,
                                   960,
                                   254,
                                   254}) +
         body;
}

WmfBuilder& WmfBuilder::add(uint16_t function, const QByteArray& params) {
  const QByteArray padded = params.leftJustified((params.size() + 1) & ~1, '\0');
  const uint32_t words = 3 + uint32_t(padded.size() / 2);
  records_ += MetafileBuilder::words32({words}) + MetafileBuilder::words16({function}) + padded;
  maxRecord_ = std::max(maxRecord_, words);
  return *this;
}

QByteArray WmfBuilder::finish() const {
  using B = MetafileBuilder;
  QByteArray out = placeable_
                       ? B::words32({0x9AC6CDD7}) + B::words16({0, 0, 0, w_, h_, inch_, 0, 0, 0})
                       : QByteArray();
  const QByteArray body = records_ + B::words16({3, 0, 0});
  // Type, header words, version, file size in words, objects, largest record, 0.
  return out + B::words16({1, 9, 0x300}) + B::words32({uint32_t(9 + body.size() / 2)}) +
         B::words16({16}) + B::words32({maxRecord_}) + B::words16({0}) + body;
}

}  // namespace ostrel::test
