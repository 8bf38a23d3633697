#include "toolkit/picture/JpegHeaderInfo.h"

#include <QtEndian>

namespace ostrel {

namespace {

constexpr quint16 kOrientationTag = 0x0112;
constexpr quint16 kShortType = 3;

quint8 byteAt(QByteArrayView d, qsizetype at) {
  return quint8(d[at]);
}

}  // namespace

int JpegHeaderInfo::orientationFromExif(QByteArrayView app1) {
  if (!app1.startsWith(QByteArrayView("Exif\0\0", 6))) return 1;
  const QByteArrayView tiff = app1.sliced(6);
  if (tiff.size() < 8) return 1;
  bool big;
  if (tiff.startsWith("MM")) {
    big = true;
  } else if (tiff.startsWith("II")) {
    big = false;
  } else {
    return 1;
  }
  auto u16 = [&](qsizetype at) -> quint16 {
    return big ? qFromBigEndian<quint16>(tiff.data() + at)
               : qFromLittleEndian<quint16>(tiff.data() + at);
  };
  auto u32 = [&](qsizetype at) -> quint32 {
    return big ? qFromBigEndian<quint32>(tiff.data() + at)
               : qFromLittleEndian<quint32>(tiff.data() + at);
  };
  if (u16(2) != 42) return 1;
  const quint32 ifd = u32(4);
  if (ifd < 8 || qsizetype(ifd) + 2 > tiff.size()) return 1;
  const quint16 entries = u16(ifd);
  for (quint32 i = 0; i < entries; ++i) {
    const qsizetype at = qsizetype(ifd) + 2 + qsizetype(i) * 12;
    if (at + 12 > tiff.size()) return 1;
    if (u16(at) != kOrientationTag) continue;
    if (u16(at + 2) != kShortType || u32(at + 4) < 1) return 1;
    const quint16 value = u16(at + 8);
    return value >= 1 && value <= 8 ? value : 1;
  }
  return 1;
}

JpegHeaderInfo JpegHeaderInfo::scan(QByteArrayView d) {
  JpegHeaderInfo info;
  bool sawExif = false;
  qsizetype pos = 2;  // after SOI
  while (pos + 4 <= d.size()) {
    if (byteAt(d, pos) != 0xFF) break;
    const quint8 marker = byteAt(d, pos + 1);
    if (marker == 0xFF) {  // fill byte
      ++pos;
      continue;
    }
    if (marker == 0xDA || marker == 0xD9) break;  // image data: no more metadata
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
      pos += 2;
      continue;
    }
    const quint16 length = qFromBigEndian<quint16>(d.data() + pos + 2);
    if (length < 2 || pos + 2 + length > d.size()) break;
    const QByteArrayView payload = d.sliced(pos + 4, length - 2);
    if (marker == 0xE1 && !sawExif && payload.startsWith(QByteArrayView("Exif\0\0", 6))) {
      sawExif = true;
      info.orientation = orientationFromExif(payload);
    } else if (marker == 0xEE && payload.startsWith("Adobe")) {
      info.adobe = true;
    }
    pos += 2 + length;
  }
  return info;
}

}  // namespace ostrel
