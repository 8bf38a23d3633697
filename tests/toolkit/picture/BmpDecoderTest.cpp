#include "toolkit/picture/BmpDecoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <limits>
#include <memory>

#include "tests/toolkit/picture/PictureFixtures.h"
#include "toolkit/ToolkitError.h"
#include "toolkit/picture/DecodeFailure.h"
#include "toolkit/picture/DecodeProgress.h"

namespace ostrel {
namespace {

using test::BmpBuilder;
using Layout = BmpDecoder::Layout;

constexpr QRgb kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF, kBlack = 0xFF000000,
               kWhite = 0xFFFFFFFF;

// 2 x 2 at 24 bits, bottom row first: blue, green; red, white.
constexpr char kRgb24[] = "\xFF\0\0\0\xFF\0\0\0\0\0\xFF\xFF\xFF\xFF\0\0";

QImage decode(const BmpBuilder& b, Layout layout = Layout::File) {
  return BmpDecoder::decode(b.build(), layout);
}

int failureNumber(const QByteArray& bytes, Layout layout = Layout::File) {
  try {
    BmpDecoder::decode(bytes, layout);
  } catch (const DecodeFailure& f) {
    EXPECT_FALSE(f.reason().isEmpty());
    return f.number();
  }
  return 0;
}

QByteArray png(QSize size, QRgb colour) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(colour);
  return test::encode(image, "png");
}

// Every depth, header, compression and layout, each read at the pixels a
// wrong reading would change (an empty size: not checked). Rows are stored
// bottom-up unless the height is negative; every row is padded to four bytes.
TEST(BmpDecoder, EveryLayoutPutsItsPixelsWhereTheyBelong) {
  struct Probe {
    int x, y;
    QRgb want;
  };
  struct Case {
    const char* name;
    BmpBuilder bmp;
    Layout layout;
    QSize size;
    std::vector<Probe> probes;
  };
  const QByteArray eight("\x01\x00\0\0\x00\x01\0\0", 8), rgb(kRgb24, 16);
  // Row 0 (bottom): run of 3 x index 1, end of line; row 1: absolute run
  // (1, 0, 1) padded, then a delta that skips the rest and the bitmap.
  const QByteArray rle8(
      "\x03\x01\x00\x00"
      "\x00\x03\x01\x00\x01\x00"
      "\x00\x02\x01\x01"
      "\x00\x01",
      16);
  // Absolute 1, 2, 3 (two bytes, even: no pad), end of line, run 0, 1, 0, end.
  const QByteArray rle4(
      "\x00\x03\x12\x30"
      "\x00\x00"
      "\x03\x01"
      "\x00\x01",
      10);
  const QByteArray alpha("\0\0\xFF\x80\0\0\xFF\x00\0\0\xFF\xFF\0\0\xFF\x40", 16);
  const QByteArray noAlpha("\0\0\xFF\0\0\0\xFF\0\0\0\xFF\0\0\0\xFF\0", 16);
  const QByteArray overrun("\xFF\x01\x00\x02\xFF\xFF\xFF\x01\x00\x00\xFF\x01\x00\x00\xFF\x01", 16);
  // clang-format off
  const Case cases[] = {
      // 2 x 2 bitmaps, bottom row first.
      {"one bit", {.bitsPerPixel = 1, .palette = {kRed, kBlue}, .pixels = {"\x40\0\0\0\x80\0\0\0", 8}},
       Layout::File, {2, 2}, {{0, 0, kBlue}, {1, 0, kRed}, {0, 1, kRed}, {1, 1, kBlue}}},
      {"four bits, top down", {.height = -2, .bitsPerPixel = 4, .palette = {kRed, kGreen, kBlue, kWhite}, .pixels = {"\x01\0\0\0\x23\0\0\0", 8}},
       Layout::File, {2, 2}, {{0, 0, kRed}, {1, 0, kGreen}, {0, 1, kBlue}, {1, 1, kWhite}}},
      {"eight bits, an index beyond the palette is black", {.bitsPerPixel = 8, .palette = {kRed, kGreen}, .pixels = {"\x00\x01\0\0\x01\x07\0\0", 8}},
       Layout::File, {2, 2}, {{0, 0, kGreen}, {1, 0, kBlack}, {0, 1, kRed}, {1, 1, kGreen}}},
      {"24 bits", {.pixels = rgb},
       Layout::File, {2, 2}, {{0, 0, kRed}, {1, 0, kWhite}, {0, 1, kBlue}, {1, 1, kGreen}}},
      {"16 bits default to 5-5-5", {.bitsPerPixel = 16, .pixels = {"\x00\x7C\xE0\x03\x1F\x00\xFF\x7F", 8}},
       Layout::File, {2, 2}, {{0, 0, kBlue}, {1, 0, kWhite}, {0, 1, kRed}, {1, 1, kGreen}}},
      {"16 bits, 5-6-5 bit fields",
       {.bitsPerPixel = 16, .compression = 3, .masks = {0xF800, 0x07E0, 0x001F}, .pixels = {"\x00\xF8\xE0\x07\x1F\x00\xFF\xFF", 8}},
       Layout::File, {2, 2}, {{0, 0, kBlue}, {1, 0, kWhite}, {0, 1, kRed}, {1, 1, kGreen}}},
      {"32 bits ignore junk alpha", {.bitsPerPixel = 32, .pixels = {"\0\0\xFF\x12\0\xFF\0\x34\xFF\0\0\0\xFF\xFF\xFF\x56", 16}},
       Layout::File, {2, 2}, {{0, 0, kBlue}, {1, 0, kWhite}, {0, 1, kRed}, {1, 1, kGreen}}},
      {"32 bits, swapped masks",
       {.bitsPerPixel = 32, .compression = 3, .masks = {0xFF, 0xFF00, 0xFF0000}, .pixels = {"\xFF\0\0\0\0\xFF\0\0\0\0\xFF\0\0\0\0\0", 16}},
       Layout::File, {2, 2}, {{0, 0, kBlue}, {1, 0, kBlack}, {0, 1, kRed}, {1, 1, kGreen}}},
      {"OS/2 core header: 16-bit sizes, three-byte palette entries",
       {.headerSize = 12, .bitsPerPixel = 8, .palette = {kRed, kGreen}, .pixels = eight},
       Layout::File, {2, 2}, {{0, 0, kRed}, {0, 1, kGreen}}},
      {"OS/2 2.x header cut short after the bit count",
       {.headerSize = 16, .bitsPerPixel = 8, .palette = {kRed, kGreen}, .pixels = eight},
       Layout::File, {}, {{1, 0, kGreen}}},
      {"RLE8 runs, absolute runs and deltas; past a run and skipped: never written",
       {.width = 4, .height = 3, .bitsPerPixel = 8, .compression = 1, .palette = {kRed, kGreen}, .pixels = rle8},
       Layout::File, {4, 3}, {{0, 2, kGreen}, {2, 2, kGreen}, {3, 2, kBlack}, {0, 1, kGreen},
                              {1, 1, kRed}, {2, 1, kGreen}, {3, 0, kBlack}}},
      {"RLE4 odd absolute run padded, runs alternating",
       {.width = 3, .bitsPerPixel = 4, .compression = 2, .palette = {kRed, kGreen, kBlue, kWhite}, .pixels = rle4},
       Layout::File, {}, {{0, 1, kGreen}, {1, 1, kBlue}, {2, 1, kWhite}, {0, 0, kRed},
                          {1, 0, kGreen}, {2, 0, kRed}}},
      {"RLE overrunning the bitmap is clipped",
       {.bitsPerPixel = 8, .compression = 1, .palette = {kRed, kGreen}, .pixels = overrun},
       Layout::File, {2, 2}, {}},
      {"truncated pixel data shows what is there",
       {.pixels = rgb.left(11)},
       Layout::File, {}, {{0, 1, kBlue}, {1, 1, kGreen}, {0, 0, kRed}, {1, 0, kBlack}}},
      {"pixel offset inside the header falls back to after the palette",
       {.bitsPerPixel = 8, .palette = {kRed, kGreen}, .pixels = {"\x01\x01\0\0\x01\x01\0\0", 8}, .bitsOffsetOverride = 2},
       Layout::File, {}, {{0, 0, kGreen}}},
      {"headerless DIB starts with the info header",
       {.pixels = rgb, .fileHeader = false},
       Layout::Headerless, {}, {{0, 0, kRed}, {0, 1, kBlue}}},
      {"alpha bit fields keep alpha",
       {.headerSize = 124, .bitsPerPixel = 32, .compression = 3, .masks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, .pixels = alpha},
       Layout::File, {2, 2}, {{0, 1, 0x80FF0000}, {1, 1, 0x00FF0000}, {0, 0, kRed}, {1, 0, 0x40FF0000}}},
      {"alpha zero throughout means opaque",
       {.headerSize = 124, .bitsPerPixel = 32, .compression = 3, .masks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, .pixels = noAlpha},
       Layout::File, {2, 2}, {{1, 1, kRed}, {0, 0, kRed}}},
      {"an icon entry's AND mask makes the bottom-left pixel transparent",
       {.height = 4, .pixels = QByteArray(16, '\xFF') + QByteArray("\x80\0\0\0\x00\0\0\0", 8), .fileHeader = false},
       Layout::IconEntry, {2, 2}, {{0, 1, 0}, {1, 1, kWhite}, {0, 0, kWhite}}},
      {"embedded PNG",
       {.headerSize = 124, .bitsPerPixel = 0, .compression = 5, .pixels = png({3, 2}, kGreen)},
       Layout::File, {3, 2}, {{2, 1, kGreen}}},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const QImage image = decode(c.bmp, c.layout);
    if (!c.size.isEmpty()) ASSERT_EQ(image.size(), c.size);
    for (const Probe& p : c.probes) EXPECT_EQ(image.pixel(p.x, p.y), p.want) << p.x << "," << p.y;
  }
}

TEST(BmpDecoder, RefusesBrokenHeadersWithTheRightNumber) {
  const QByteArray px(16, '\0');
  // clang-format off
  const struct {
    const char* name;
    BmpBuilder bmp;
    int number;
  } cases[] = {
      {"too large", {.width = 100000, .height = 100000, .pixels = px}, err::OutOfMemory},
      {"1 GB from 2 bytes", {.width = 16000, .height = 16000, .bitsPerPixel = 8, .compression = 1,
                             .palette = {kRed}, .pixels = {"\x00\x01", 2}}, err::InvalidPicture},
      {"odd header size", {.headerSize = 66, .pixels = px}, err::InvalidPicture},
      {"odd depth", {.bitsPerPixel = 30000, .pixels = px}, err::InvalidPicture},
      {"negative width", {.width = -2, .pixels = px}, err::InvalidPicture},
      {"RLE at 24 bits", {.compression = 1, .pixels = px}, err::InvalidPicture},
  };
  // clang-format on
  for (const auto& c : cases) EXPECT_EQ(failureNumber(c.bmp.build()), c.number) << c.name;
  EXPECT_EQ(failureNumber(QByteArray("BM\0\0\0\0\0\0\0\0\x36\0\0\0\x28\0", 16)),
            err::InvalidPicture)
      << "header cut short";
}

// A bitmap of several row groups, its rows padded, no two bytes alike
// beside each other.
QByteArray manyRows(quint16 bitsPerPixel, qint32 height) {
  BmpBuilder b{.width = 301, .height = height, .bitsPerPixel = bitsPerPixel};
  b.pixels.resize((301 * bitsPerPixel + 31) / 32 * 4 * std::abs(height));
  for (qsizetype i = 0; i < b.pixels.size(); ++i) b.pixels[i] = char(i * 7 + i / 1013);
  for (int i = 0; bitsPerPixel == 8 && i < 256; ++i) b.palette.append(qRgb(i, 255 - i, i * 3));
  return b.build();
}

// A file in memory read as one on disk is; readable: the bytes a file that
// shrinks still has.
struct FileRows {
  QByteArray bytes;
  qint64 readable = std::numeric_limits<qint64>::max();
  qint64 bytesRead = 0;
  std::function<void()> onRead = [] {};
  QImage decode() {
    return BmpDecoder::decodeFile(bytes.first(std::min<qsizetype>(bytes.size(), 65536)),
                                  bytes.size(), [this](qint64 offset, char* to, qint64 count) {
                                    onRead();
                                    const qint64 got =
                                        std::clamp<qint64>(readable - offset, 0, count);
                                    std::copy_n(bytes.constData() + offset, got, to);
                                    bytesRead += got;
                                    return got;
                                  });
  }
};

TEST(BmpDecoder, RowsReadGroupByGroupFromTheFileAreThoseOfTheWholeFile) {
  for (const quint16 bpp : {8, 24, 32}) {
    for (const qint32 height : {1000, -1000}) {
      const QByteArray whole = manyRows(bpp, height);
      // And one whose rows end before its header says.
      for (const QByteArray& bytes : {whole, whole.first(whole.size() * 3 / 5)}) {
        ASSERT_TRUE(BmpDecoder::readsRows(bytes.first(65536), bytes.size()));
        EXPECT_EQ(FileRows{bytes}.decode(), BmpDecoder::decode(bytes, Layout::File))
            << bpp << " bits, height " << height << ", " << bytes.size() << " bytes";
      }
    }
  }
  EXPECT_FALSE(BmpDecoder::readsRows(test::rleBitmap(40, 30), 4000)) << "run-length rows";
}

// A large bitmap's first screen must not wait for the rest of its file.
TEST(BmpDecoder, FirstRowsOfABottomUpFileAreShownBeforeTheFileIsReadThrough) {
  FileRows file{manyRows(24, 1000)};
  auto progress = std::make_shared<DecodeProgress>();
  qint64 readWhenShown = -1;
  file.onRead = [&] {
    if (readWhenShown < 0 && progress->readyRows().height() > 0) readWhenShown = file.bytesRead;
  };
  const DecodeProgress::Scope scope(progress);
  file.decode();
  ASSERT_GE(readWhenShown, 0) << "no rows were shown while the file was read";
  EXPECT_LT(readWhenShown, file.bytes.size() / 2);
}

TEST(BmpDecoder, AFileThatShrinksWhileReadKeepsTheRowsReadAndFails) {
  FileRows file{manyRows(24, 1000)};
  file.onRead = [&] { file.readable = file.bytesRead > 0 ? file.bytes.size() / 2 : file.readable; };
  auto progress = std::make_shared<DecodeProgress>();
  {
    const DecodeProgress::Scope scope(progress);
    EXPECT_THROW(file.decode(), DecodeFailure);
  }
  const QImage whole = BmpDecoder::decode(file.bytes, Layout::File);
  const DecodeProgress::Ready ready = progress->ready();
  ASSERT_EQ(ready.top, 0);
  ASSERT_GT(ready.rows.height(), 0);
  EXPECT_EQ(ready.rows, whole.copy(0, 0, whole.width(), ready.rows.height()));
}

}  // namespace
}  // namespace ostrel
