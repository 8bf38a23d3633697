#include "toolkit/picture/IconDecoder.h"

#include <QCoreApplication>
#include <QSet>
#include <QtEndian>
#include <algorithm>
#include <vector>

#include "toolkit/ToolkitError.h"
#include "toolkit/picture/BmpDecoder.h"
#include "toolkit/picture/DecodeFailure.h"
#include "toolkit/picture/QtImageDecoder.h"

namespace ostrel {

namespace {

constexpr QByteArrayView kPngSignature("\x89PNG\r\n\x1a\n", 8);

struct Entry {
  qsizetype offset = 0;
  QByteArrayView bytes;
  bool png = false;
  qint64 area = 0;
  int bitsPerPixel = 0;
};

// Bits per pixel of a PNG from its IHDR: bit depth times channels.
int pngBitsPerPixel(quint8 bitDepth, quint8 colourType) {
  switch (colourType) {
    case 2:
      return bitDepth * 3;
    case 4:
      return bitDepth * 2;
    case 6:
      return bitDepth * 4;
    default:
      return bitDepth;  // grey or palette
  }
}

bool describe(Entry& e) {
  if (e.bytes.startsWith(kPngSignature)) {
    if (e.bytes.size() < 33) return false;
    e.png = true;
    const QSize size = QtImageDecoder::pngSize(e.bytes);
    if (!size.isValid() || size.isEmpty()) return false;
    e.area = qint64(size.width()) * size.height();
    e.bitsPerPixel = pngBitsPerPixel(quint8(e.bytes[24]), quint8(e.bytes[25]));
    return true;
  }
  try {
    const BmpDecoder::Info info = BmpDecoder::peek(e.bytes, BmpDecoder::Layout::IconEntry);
    e.area = qint64(info.width) * info.height;
    e.bitsPerPixel = info.bitsPerPixel;
    return true;
  } catch (const DecodeFailure&) {
    return false;
  }
}

// The readable entries, best first. Each place in the file counts once: a
// directory may list one damaged image thousands of times, and each listing
// would be decoded and refused anew.
std::vector<Entry> entriesOf(QByteArrayView data) {
  if (data.size() < 6)
    throw DecodeFailure(
        err::InvalidPicture,
        QCoreApplication::translate("ostrel::PictureLoader", "its icon directory ends early"));
  const int count = qFromLittleEndian<quint16>(data.data() + 4);
  std::vector<Entry> entries;
  QSet<qsizetype> seen;
  for (int i = 0; i < count; ++i) {
    const qsizetype at = 6 + qsizetype(i) * 16;
    if (at + 16 > data.size()) break;
    const qsizetype offset = qFromLittleEndian<quint32>(data.data() + at + 12);
    if (offset < 6 || offset >= data.size()) continue;
    if (seen.contains(offset)) continue;
    seen.insert(offset);
    // Writers get the entry's byte count wrong both ways; the decoders are
    // bounded by the file, so an entry may run to its end.
    Entry e{offset, data.sliced(offset)};
    if (describe(e)) entries.push_back(e);
  }
  if (entries.empty()) {
    throw DecodeFailure(err::InvalidPicture,
                        QCoreApplication::translate("ostrel::PictureLoader",
                                                    "its icon directory lists no readable image"));
  }
  std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
    return a.area != b.area ? a.area > b.area : a.bitsPerPixel > b.bitsPerPixel;
  });
  return entries;
}

}  // namespace

std::vector<qsizetype> IconDecoder::candidates(QByteArrayView data) {
  std::vector<qsizetype> offsets;
  for (const Entry& e : entriesOf(data)) offsets.push_back(e.offset);
  return offsets;
}

QImage IconDecoder::decode(QByteArrayView data) {
  const std::vector<Entry> entries = entriesOf(data);
  DecodeFailure first(err::InvalidPicture, {});
  bool haveFailure = false;
  for (const Entry& e : entries) {
    try {
      if (e.png) return QtImageDecoder::decode(e.bytes, "png");
      return BmpDecoder::decode(e.bytes, BmpDecoder::Layout::IconEntry);
    } catch (const DecodeFailure& failure) {
      if (!haveFailure) first = failure;
      haveFailure = true;
    }
  }
  throw first;
}

}  // namespace ostrel
