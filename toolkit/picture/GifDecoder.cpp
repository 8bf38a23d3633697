#include "toolkit/picture/GifDecoder.h"

#include <QCoreApplication>
#include <QtEndian>
#include <algorithm>
#include <array>
#include <vector>

#include "toolkit/ToolkitError.h"
#include "toolkit/picture/DecodeCancel.h"
#include "toolkit/picture/DecodeFailure.h"
#include "toolkit/picture/ImageAllocator.h"
#include "toolkit/picture/PictureLimits.h"

namespace ostrel {

namespace {

[[noreturn]] void fail(const QString& reason) {
  throw DecodeFailure(err::InvalidPicture, reason);
}

constexpr uchar kExtension = 0x21;
constexpr uchar kImage = 0x2C;
constexpr uchar kTrailer = 0x3B;
constexpr uchar kGraphicControl = 0xF9;
constexpr uchar kPlainText = 0x01;
constexpr int kMaxCodes = 4096;

struct ColourTable {
  std::array<QRgb, 256> colours{};
  int count = 0;
};

// How the next image is drawn and what happens after it (graphic control).
struct Control {
  int transparent = -1;
  int disposal = 0;
  int delay = 0;
  bool present = false;
};

class Cursor {
 public:
  explicit Cursor(QByteArrayView d) : d_(d) {}
  bool has(qint64 n) const { return pos_ + n <= d_.size(); }
  bool atEnd() const { return pos_ >= d_.size(); }
  uchar peek() const { return uchar(d_[pos_]); }
  uchar byte() { return uchar(d_[pos_++]); }
  quint16 u16() {
    const quint16 v = qFromLittleEndian<quint16>(d_.data() + pos_);
    pos_ += 2;
    return v;
  }
  void skip(qint64 n) { pos_ = std::min<qint64>(pos_ + n, d_.size()); }
  const uchar* here() const { return reinterpret_cast<const uchar*>(d_.data()) + pos_; }

  // False when the table is cut short.
  bool colourTable(int count, ColourTable& table) {
    if (!has(qint64(count) * 3)) return false;
    for (int i = 0; i < count; ++i) {
      const uchar* c = here() + i * 3;
      table.colours[i] = qRgb(c[0], c[1], c[2]);
    }
    table.count = count;
    skip(qint64(count) * 3);
    return true;
  }

  // Data sub-blocks up to their terminator, appended to `out` when given.
  // False when the file ends before the terminator.
  bool subBlocks(std::vector<uchar>* out) {
    while (!atEnd()) {
      const int length = byte();
      if (length == 0) return true;
      if (!has(length)) return false;
      if (out) out->insert(out->end(), here(), here() + length);
      skip(length);
    }
    return false;
  }

 private:
  QByteArrayView d_;
  qint64 pos_ = 0;
};

// Variable-length LZW codes, least significant bit first.
class CodeReader {
 public:
  explicit CodeReader(const std::vector<uchar>& data) : data_(data) {}
  // -1 when the data runs out.
  int next(int bits) {
    while (count_ < bits) {
      if (at_ >= data_.size()) return -1;
      acc_ |= quint32(data_[at_++]) << count_;
      count_ += 8;
    }
    const int code = int(acc_ & ((1u << bits) - 1));
    acc_ >>= bits;
    count_ -= bits;
    return code;
  }

 private:
  const std::vector<uchar>& data_;
  std::size_t at_ = 0;
  quint32 acc_ = 0;
  int count_ = 0;
};

// The rows of an image in the order its data gives them.
std::vector<int> rowOrder(int height, bool interlaced) {
  std::vector<int> rows;
  rows.reserve(height);
  if (!interlaced) {
    for (int y = 0; y < height; ++y) rows.push_back(y);
    return rows;
  }
  for (auto [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}}) {
    for (int y = start; y < height; y += step) rows.push_back(y);
  }
  return rows;
}

struct ImageBox {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool interlaced = false;
};

// Decodes one image's indexes onto the canvas. Data that ends before the
// image is full leaves the rest as it was; false for damaged data: a code
// the table does not hold yet, or a colour the table does not have.
bool drawImage(QImage& canvas, const ImageBox& box, const ColourTable& table, int transparent,
               int minimumCodeSize, const std::vector<uchar>& data) {
  const qint64 total = qint64(box.width) * box.height;
  if (total == 0) return true;
  const std::vector<int> rows = rowOrder(box.height, box.interlaced);
  const int clear = 1 << minimumCodeSize;
  const int end = clear + 1;
  std::array<quint16, kMaxCodes> prefix{};
  std::array<uchar, kMaxCodes> suffix{};
  std::array<uchar, kMaxCodes + 1> stack{};
  for (int i = 0; i < clear; ++i) suffix[i] = uchar(i);

  // Pixels arrive row by row; the row's line on the canvas is looked up once.
  // Columns from `columns` on, or a row below the canvas, are clipped.
  const int columns = canvas.width() - box.left;
  auto lineFor = [&](qint64 row) -> QRgb* {
    if (row >= box.height || columns <= 0) return nullptr;
    const int y = box.top + rows[row];
    return y < canvas.height() ? reinterpret_cast<QRgb*>(canvas.scanLine(y)) + box.left : nullptr;
  };
  qint64 pixel = 0;
  qint64 row = 0;
  int x = 0;
  QRgb* line = lineFor(0);
  bool badColour = false;
  auto put = [&](uchar index) {
    if (index != transparent) {
      if (index >= table.count) {
        badColour = true;
      } else if (line && x < columns) {
        line[x] = table.colours[index];
      }
    }
    ++pixel;
    if (++x == box.width) {
      x = 0;
      line = lineFor(++row);
      DecodeCancel::poll();
    }
  };
  // Non-interlaced rows only go down: past the canvas's bottom nothing more
  // can show.
  const qint64 visible =
      box.interlaced
          ? total
          : std::min<qint64>(total, qint64(std::max(0, canvas.height() - box.top)) * box.width);

  CodeReader codes(data);
  int codeSize = minimumCodeSize + 1;
  int next = clear + 2;
  int previous = -1;
  uchar first = 0;
  while (pixel < visible && !badColour) {
    const int code = codes.next(codeSize);
    if (code < 0 || code == end) return true;
    if (code == clear) {
      codeSize = minimumCodeSize + 1;
      next = clear + 2;
      previous = -1;
      continue;
    }
    if (previous < 0) {
      if (code >= clear) return false;  // the first code after a clear must be a colour
      put(uchar(code));
      previous = code;
      first = uchar(code);
      continue;
    }
    if (code > next || (code == next && next >= kMaxCodes)) return false;
    int depth = 0;
    int walk = code;
    if (code == next) {
      stack[depth++] = first;
      walk = previous;
    }
    while (walk >= clear) {
      stack[depth++] = suffix[walk];
      walk = prefix[walk];
    }
    first = uchar(walk);
    stack[depth++] = first;
    while (depth > 0 && pixel < visible) put(stack[--depth]);
    if (next < kMaxCodes) {
      prefix[next] = quint16(previous);
      suffix[next] = first;
      ++next;
      if (next == (1 << codeSize) && codeSize < 12) ++codeSize;
    }
    previous = code;
  }
  return !badColour;
}

// What happens to an image's area before the next image is drawn: 2 clears
// it, 3 puts back what was there before it.
struct Disposal {
  int disposal = 0;
  QRect area;
  QImage saved;
};

void clearArea(QImage& canvas, const QRect& area) {
  for (int y = area.top(); y <= area.bottom(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(canvas.scanLine(y));
    std::fill(line + area.left(), line + area.right() + 1, QRgb(0));
  }
}

}  // namespace

QImage GifDecoder::decode(QByteArrayView data) {
  Cursor in(data);
  if (!in.has(13) || !data.startsWith("GIF"))
    fail(QCoreApplication::translate("ostrel::PictureLoader", "the GIF header ends early"));
  in.skip(6);
  int width = in.u16();
  int height = in.u16();
  const uchar flags = in.byte();
  in.skip(2);  // background colour, aspect ratio: the screen starts transparent
  ColourTable global;
  if ((flags & 0x80) && !in.colourTable(2 << (flags & 7), global)) {
    fail(QCoreApplication::translate("ostrel::PictureLoader", "the GIF data ends early"));
  }

  QImage canvas;
  auto ensureCanvas = [&](const ImageBox* first) {
    if (!canvas.isNull()) return;
    // A screen of no size takes the first image's.
    if ((width == 0 || height == 0) && first) {
      width = first->left + first->width;
      height = first->top + first->height;
    }
    if (width == 0 || height == 0)
      fail(QCoreApplication::translate("ostrel::PictureLoader", "the GIF has no picture in it"));
    PictureLimits::check(width, height, data.size());
    canvas = ImageAllocator::create(width, height, QImage::Format_ARGB32);
    if (canvas.isNull())
      throw DecodeFailure(
          err::OutOfMemory,
          QCoreApplication::translate("ostrel::PictureLoader", "there is not enough memory"));
    canvas.fill(Qt::transparent);
  };

  Control control;
  Disposal pending;
  bool sawImage = false;
  bool sawTrailer = false;
  std::vector<uchar> pixels;
  while (!in.atEnd()) {
    const uchar block = in.byte();
    if (block == kTrailer) {
      sawTrailer = true;
      break;
    }
    if (block == kExtension) {
      if (in.atEnd()) break;
      const uchar label = in.byte();
      if (label == kGraphicControl && in.has(5) && in.peek() >= 4) {
        const uchar* g = in.here();
        control.present = true;
        control.disposal = (g[1] >> 2) & 7;
        control.delay = qFromLittleEndian<quint16>(g + 2);
        control.transparent = (g[1] & 1) ? g[4] : -1;
      }
      // Text drawn by the file itself is not shown; rather than a picture
      // without its words, say so.
      if (label == kPlainText)
        fail(QCoreApplication::translate("ostrel::PictureLoader",
                                         "it draws text, which GIF pictures here may not"));
      if (!in.subBlocks(nullptr)) break;
      continue;
    }
    if (block != kImage) break;  // anything else: the picture ends here

    if (!in.has(9)) break;
    ImageBox box;
    box.left = in.u16();
    box.top = in.u16();
    box.width = in.u16();
    box.height = in.u16();
    const uchar imageFlags = in.byte();
    box.interlaced = imageFlags & 0x40;
    // An image of no size draws nothing; one too large for its few bytes
    // would keep the decoder busy for nothing.
    if (box.width > 0 && box.height > 0) PictureLimits::check(box.width, box.height, data.size());
    ensureCanvas(&box);
    sawImage = true;
    ColourTable local;
    if ((imageFlags & 0x80) && !in.colourTable(2 << (imageFlags & 7), local)) break;
    const ColourTable& table = (imageFlags & 0x80) ? local : global;

    // An image with no data at all (seen with empty images): the next block
    // follows at once.
    if (in.atEnd()) break;
    const int minimumCodeSize = in.peek();
    if (minimumCodeSize > 11 || minimumCodeSize == 0) {
      if (minimumCodeSize == kExtension || minimumCodeSize == kImage ||
          minimumCodeSize == kTrailer) {
        control = Control{};
        continue;
      }
      fail(QCoreApplication::translate("ostrel::PictureLoader", "the GIF data is damaged"));
    }
    in.skip(1);
    pixels.clear();
    if (!in.subBlocks(&pixels))
      fail(QCoreApplication::translate("ostrel::PictureLoader", "the GIF data ends early"));

    // What the previous image asked to leave behind it, then this one.
    if (pending.disposal == 2) {
      clearArea(canvas, pending.area);
    } else if (pending.disposal == 3 && !pending.saved.isNull()) {
      canvas = pending.saved;
    }
    pending =
        Disposal{control.disposal, QRect(box.left, box.top, box.width, box.height) & canvas.rect(),
                 control.disposal == 3 ? canvas.copy() : QImage()};
    if (!drawImage(canvas, box, table, control.transparent, minimumCodeSize, pixels)) {
      fail(QCoreApplication::translate("ostrel::PictureLoader", "the GIF data is damaged"));
    }
    // The first frame ends with the first image shown for a while.
    if (control.present && control.delay > 0) break;
    control = Control{};
  }

  if (!sawImage) {
    // A GIF that ends properly with nothing in it is an empty screen; one
    // cut off before its first image is damaged.
    if (!sawTrailer)
      fail(QCoreApplication::translate("ostrel::PictureLoader", "the GIF data ends early"));
    ensureCanvas(nullptr);
  }
  return canvas;
}

}  // namespace ostrel
