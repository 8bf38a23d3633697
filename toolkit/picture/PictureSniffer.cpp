#include "toolkit/picture/PictureSniffer.h"

#include <QtEndian>

#include "toolkit/metafile/MetafileReader.h"

namespace ostrel {

namespace {

bool startsWith(QByteArrayView data, QByteArrayView magic) {
  return data.startsWith(magic);
}

quint16 le16(QByteArrayView d, qsizetype at) {
  return qFromLittleEndian<quint16>(d.data() + at);
}
quint32 le32(QByteArrayView d, qsizetype at) {
  return qFromLittleEndian<quint32>(d.data() + at);
}

bool looksLikeIconDirectory(QByteArrayView d) {
  if (d.size() < 6 + 16 || le16(d, 0) != 0) return false;
  const quint16 type = le16(d, 2);
  const quint16 count = le16(d, 4);
  if ((type != 1 && type != 2) || count == 0) return false;
  // The first entry must point past the directory; that rules out most
  // files that merely start with 00 00 01 00.
  const quint32 bytes = le32(d, 6 + 8);
  const quint32 offset = le32(d, 6 + 12);
  return bytes > 0 && offset >= 6u + 16u * count;
}

bool looksLikeInfoHeader(QByteArrayView d) {
  if (d.size() < 16) return false;
  const quint32 size = le32(d, 0);
  if (size == 12) {
    const quint16 planes = le16(d, 8);
    const quint16 bpp = le16(d, 10);
    return le16(d, 4) > 0 && le16(d, 6) > 0 && planes == 1 &&
           (bpp == 1 || bpp == 4 || bpp == 8 || bpp == 24);
  }
  if (size != 40 && size != 52 && size != 56 && size != 64 && size != 108 && size != 124) {
    return false;
  }
  if (d.size() < 20) return false;
  const qint32 width = qint32(le32(d, 4));
  const qint32 height = qint32(le32(d, 8));
  const quint16 planes = le16(d, 12);
  const quint16 bpp = le16(d, 14);
  return width > 0 && height != 0 && planes == 1 &&
         (bpp == 0 || bpp == 1 || bpp == 2 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 ||
          bpp == 32 || bpp == 64);
}

}  // namespace

PictureFormat PictureSniffer::sniff(QByteArrayView data) {
  if (startsWith(data, "BM")) return PictureFormat::Bmp;
  if (data.size() >= 3 && quint8(data[0]) == 0xFF && quint8(data[1]) == 0xD8 &&
      quint8(data[2]) == 0xFF) {
    return PictureFormat::Jpeg;
  }
  if (startsWith(data, "GIF87a") || startsWith(data, "GIF89a")) return PictureFormat::Gif;
  if (startsWith(data, "\x89PNG\r\n\x1a\n")) return PictureFormat::Png;
  if (looksLikeIconDirectory(data)) return PictureFormat::Icon;
  // fromRawData: the metafile sniffer wants a QByteArray, the file need not be copied for it.
  if (sniffMetafile(QByteArray::fromRawData(data.data(), data.size())) != MetafileKind::None) {
    return PictureFormat::Metafile;
  }
  if (looksLikeInfoHeader(data)) return PictureFormat::HeaderlessDib;
  return PictureFormat::Unknown;
}

}  // namespace ostrel
