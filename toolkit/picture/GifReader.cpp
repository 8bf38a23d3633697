#include "toolkit/picture/GifReader.h"

#include <QCoreApplication>
#include <QtEndian>
#include <algorithm>
#include <cstring>
#include <new>

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
constexpr uchar kApplication = 0xFF;
constexpr int kMaxCodes = 4096;

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

struct Palette {
  const QRgb* colours = nullptr;
  int count = 0;
};

// Decodes one image's indexes onto the canvas. Data that ends before the
// image is full leaves the rest as it was; false for damaged data: a code
// the table does not hold yet, or a colour the table does not have.
bool drawImage(QImage& canvas, const ImageBox& box, Palette table, int transparent,
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

void clearArea(QImage& canvas, const QRect& area) {
  for (int y = area.top(); y <= area.bottom(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(canvas.scanLine(y));
    std::fill(line + area.left(), line + area.right() + 1, QRgb(0));
  }
}

// What an image covered, put back where it was.
void putBack(QImage& canvas, const QImage& saved, QPoint at) {
  const auto rowBytes = std::size_t(saved.width()) * sizeof(QRgb);
  for (int y = 0; y < saved.height(); ++y) {
    std::memcpy(reinterpret_cast<QRgb*>(canvas.scanLine(at.y() + y)) + at.x(),
                saved.constScanLine(y), rowBytes);
  }
}

QString endsEarly() {
  return QCoreApplication::translate("ostrel::PictureLoader", "the GIF data ends early");
}

QString damaged() {
  return QCoreApplication::translate("ostrel::PictureLoader", "the GIF data is damaged");
}

}  // namespace

GifReader::GifReader(QByteArrayView data) : data_(data) {
  if (!has(13) || !data.startsWith("GIF"))
    fail(QCoreApplication::translate("ostrel::PictureLoader", "the GIF header ends early"));
  skip(6);
  width_ = u16();
  height_ = u16();
  const uchar flags = byte();
  skip(2);  // background colour, aspect ratio: the screen starts transparent
  if ((flags & 0x80) && !readColourTable(2 << (flags & 7), global_)) fail(endsEarly());
}

quint16 GifReader::u16() {
  const quint16 v = qFromLittleEndian<quint16>(data_.data() + pos_);
  pos_ += 2;
  return v;
}

void GifReader::skip(qint64 n) {
  pos_ = std::min<qint64>(pos_ + n, data_.size());
}

const uchar* GifReader::here() const {
  return reinterpret_cast<const uchar*>(data_.data()) + pos_;
}

bool GifReader::readColourTable(int count, ColourTable& table) {
  if (!has(qint64(count) * 3)) return false;
  for (int i = 0; i < count; ++i) {
    const uchar* c = here() + i * 3;
    table.colours[i] = qRgb(c[0], c[1], c[2]);
  }
  table.count = count;
  skip(qint64(count) * 3);
  return true;
}

bool GifReader::readSubBlocks(std::vector<uchar>* out) {
  while (!atEnd()) {
    const int length = byte();
    if (length == 0) return true;
    if (!has(length)) return false;
    if (out) out->insert(out->end(), here(), here() + length);
    skip(length);
  }
  return false;
}

void GifReader::ensureCanvas(const QRect* first) {
  if (!canvas_.isNull()) return;
  // A screen of no size takes the first image's.
  if ((width_ == 0 || height_ == 0) && first) {
    width_ = first->left() + first->width();
    height_ = first->top() + first->height();
  }
  if (width_ == 0 || height_ == 0)
    fail(QCoreApplication::translate("ostrel::PictureLoader", "the GIF has no picture in it"));
  PictureLimits::check(width_, height_, data_.size());
  canvas_ = ImageAllocator::create(width_, height_, QImage::Format_ARGB32);
  if (canvas_.isNull())
    throw DecodeFailure(
        err::OutOfMemory,
        QCoreApplication::translate("ostrel::PictureLoader", "there is not enough memory"));
  canvas_.fill(Qt::transparent);
}

bool GifReader::nextFrame() {
  if (ended_) return false;
  frameDelay_ = 0;
  const qint64 before = images_;
  Step step = Step::Continue;
  while (step == Step::Continue) step = readBlock();
  if (step == Step::Stop) ended_ = true;
  if (!sawImage_) {
    // A GIF that ends properly with nothing in it is an empty screen; one
    // cut off before its first image is damaged.
    if (!sawTrailer_) fail(endsEarly());
    ensureCanvas(nullptr);
    return true;
  }
  return images_ > before;
}

GifReader::Step GifReader::readBlock() {
  if (atEnd()) return Step::Stop;
  const uchar block = byte();
  if (block == kTrailer) {
    sawTrailer_ = true;
    return Step::Stop;
  }
  if (block == kExtension) return readExtension();
  if (block != kImage) return Step::Stop;  // anything else: the picture ends here
  return readImage();
}

GifReader::Step GifReader::readExtension() {
  if (atEnd()) return Step::Stop;
  const uchar label = byte();
  if (label == kGraphicControl && has(5) && peek() >= 4) {
    const uchar* g = here();
    control_.present = true;
    control_.disposal = (g[1] >> 2) & 7;
    control_.delay = qFromLittleEndian<quint16>(g + 2);
    control_.transparent = (g[1] & 1) ? g[4] : -1;
  }
  // Text drawn by the file itself is not shown; rather than a picture
  // without its words, say so.
  if (label == kPlainText)
    fail(QCoreApplication::translate("ostrel::PictureLoader",
                                     "it draws text, which GIF pictures here may not"));
  if (label == kApplication) readLoopExtension();
  return readSubBlocks(nullptr) ? Step::Continue : Step::Stop;
}

void GifReader::readLoopExtension() {
  // An 11-byte name, then a sub-block of 1 and the count.
  if (!has(16) || peek() != 11) return;
  const uchar* p = here();
  const QByteArrayView name(reinterpret_cast<const char*>(p + 1), 11);
  if (name != QByteArrayView("NETSCAPE2.0") && name != QByteArrayView("ANIMEXTS1.0")) return;
  if (p[12] < 3 || p[13] != 1) return;
  loopCount_ = qFromLittleEndian<quint16>(p + 14);
}

GifReader::Step GifReader::readImage() {
  if (!has(9)) return Step::Stop;
  ImageBox box;
  box.left = u16();
  box.top = u16();
  box.width = u16();
  box.height = u16();
  const uchar imageFlags = byte();
  box.interlaced = imageFlags & 0x40;
  const QRect rect(box.left, box.top, box.width, box.height);
  // An image of no size draws nothing; one too large for its few bytes
  // would keep the decoder busy for nothing.
  if (box.width > 0 && box.height > 0) PictureLimits::check(box.width, box.height, data_.size());
  ensureCanvas(&rect);
  sawImage_ = true;
  ++images_;
  ColourTable local;
  if ((imageFlags & 0x80) && !readColourTable(2 << (imageFlags & 7), local)) return Step::Stop;
  const ColourTable& table = (imageFlags & 0x80) ? local : global_;

  // An image with no data at all (seen with empty images): the next block
  // follows at once.
  if (atEnd()) return Step::Stop;
  const int minimumCodeSize = peek();
  if (minimumCodeSize > 11 || minimumCodeSize == 0) {
    if (minimumCodeSize == kExtension || minimumCodeSize == kImage || minimumCodeSize == kTrailer) {
      control_ = Control{};
      return Step::Continue;
    }
    fail(damaged());
  }
  skip(1);
  pixels_.clear();
  const bool whole = readSubBlocks(&pixels_);

  const QRect area = rect & canvas_.rect();
  // The work of this image: its pixels, the area saved for it, and what the
  // previous image's disposal clears or puts back.
  const qint64 areaPixels = qint64(area.width()) * area.height();
  const qint64 cost = qint64(box.width) * box.height + (control_.disposal == 3 ? areaPixels : 0) +
                      (pending_.disposal >= 2 && pending_.disposal <= 3
                           ? qint64(pending_.area.width()) * pending_.area.height()
                           : 0);
  if (workLimit_ >= 0 && work_ + cost > workLimit_) {
    limitReached_ = true;
    return Step::Stop;
  }
  work_ += cost;

  // The screen may share its pixels with a frame kept from it; drawing
  // copies them, which can fail.
  if (canvas_.bits() == nullptr) throw std::bad_alloc();
  // What the previous image asked to leave behind it, then this one.
  if (pending_.disposal == 2) {
    clearArea(canvas_, pending_.area);
  } else if (pending_.disposal == 3 && !pending_.saved.isNull()) {
    putBack(canvas_, pending_.saved, pending_.area.topLeft());
  }
  pending_ =
      Disposal{control_.disposal, area, control_.disposal == 3 ? canvas_.copy(area) : QImage()};
  if (canvas_.bits() == nullptr) throw std::bad_alloc();
  const bool drawn = drawImage(canvas_, box, Palette{table.colours.data(), table.count},
                               control_.transparent, minimumCodeSize, pixels_);
  if (!whole) {
    // Drawn as far as the file goes; nothing follows.
    cutShort_ = true;
    frameDelay_ = control_.delay;
    return Step::Stop;
  }
  if (!drawn) fail(damaged());
  // A frame ends with the first image shown for a while.
  const bool removed = control_.disposal == 2 || control_.disposal == 3;
  if (control_.present && (control_.delay > 0 || (removedImagesShown_ && removed))) {
    frameDelay_ = control_.delay;
    control_ = Control{};
    return Step::FrameDone;
  }
  control_ = Control{};
  return Step::Continue;
}

}  // namespace ostrel
