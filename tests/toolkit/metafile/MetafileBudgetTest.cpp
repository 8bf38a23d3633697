// Metafiles whose records claim or stretch large bitmaps: refused at load or
// drawn within the work budget of PictureLimits, counted, never timed.
#include <gtest/gtest.h>
#include <uemf.h>
#include <uwmf.h>

#include <QImage>
#include <QPainter>
#include <QtEndian>

#include "tests/toolkit/metafile/MetafileBuilder.h"
#include "toolkit/metafile/DibCache.h"
#include "toolkit/metafile/MetafileDrawing.h"
#include "toolkit/metafile/MetafileReader.h"
#include "toolkit/picture/PictureLimits.h"

namespace ostrel::test {
namespace {

using B = MetafileBuilder;
constexpr uint32_t kSrcCopy = 0x00CC0020;

// An RLE8 bitmap claiming width x height pixels of its one colour (0xRRGGBB).
// Small ones are filled with it, large ones hold nothing but the
// end-of-bitmap code (their pixels stay paper).
QByteArray rleDib(int width, int height, uint32_t colour = 0xFF0000) {
  QByteArray pixels;  // runs of width pixels of index 0, each row ended
  if (width <= 255 && height <= 16)
    pixels = (QByteArray(1, char(width)) + QByteArray(3, '\0')).repeated(height);
  pixels += QByteArray::fromHex("0001");
  return B::words32({40, uint32_t(width), uint32_t(height), 0x80001, 1, uint32_t(pixels.size()), 0,
                     0, 1, 0, colour}) +
         pixels;
}

QSize dibSize(const QByteArray& dib) {
  return {int(qFromLittleEndian<quint32>(dib.constData() + 4)),
          int(qFromLittleEndian<quint32>(dib.constData() + 8))};
}

// EMR_STRETCHDIBITS of the whole bitmap onto dest.
QByteArray stretchDiBits(const QByteArray& dib, QRect dest) {
  constexpr uint32_t kFixed = 80, kHeader = 44;
  const QSize s = dibSize(dib);
  const uint32_t x = dest.x(), y = dest.y(), w = dest.width(), h = dest.height();
  return B::words32({0, 0, w, h, x, y, 0, 0, uint32_t(s.width()), uint32_t(s.height()), kFixed,
                     kHeader, kFixed + kHeader, uint32_t(dib.size()) - kHeader, 0, kSrcCopy, w,
                     h}) +
         dib;
}

// EMR_STRETCHBLT of the whole bitmap onto dest, identity source transform.
QByteArray stretchBlt(const QByteArray& dib, QRect dest) {
  constexpr uint32_t kFixed = 108, kHeader = 44, kOne = 0x3F800000;  // 1.0f
  const QSize s = dibSize(dib);
  const uint32_t x = dest.x(), y = dest.y(), w = dest.width(), h = dest.height();
  return B::words32({0, 0, w, h, x, y, w, h, kSrcCopy, 0, 0}) +
         B::words32({kOne, 0, 0, kOne, 0, 0, 0xFFFFFF, 0, kFixed, kHeader, kFixed + kHeader}) +
         B::words32({uint32_t(dib.size()) - kHeader, uint32_t(s.width()), uint32_t(s.height())}) +
         dib;
}

// META_STRETCHDIB (with its colour usage word) or META_DIBSTRETCHBLT of the
// whole bitmap onto dest.
QByteArray wmfStretch(const QByteArray& dib, QRect dest, bool stretchDib) {
  const QSize s = dibSize(dib);
  return B::words32({kSrcCopy}) + (stretchDib ? B::words16({0}) : QByteArray()) +
         B::words16(
             {s.height(), s.width(), 0, 0, dest.height(), dest.width(), dest.y(), dest.x()}) +
         dib;
}

struct Painted {
  QImage image;
  MetafileDrawing::PaintWork work;
};

Painted paint(const QByteArray& data, QSize size) {
  const auto drawing = readMetafile(data, QStringLiteral("bomb.emf"));
  Painted out{QImage(size, QImage::Format_RGB32), {}};
  out.image.fill(Qt::white);
  {
    QPainter painter(&out.image);
    drawing->paint(painter, QRectF(QPointF(0, 0), QSizeF(size)));
  }
  out.work = dynamic_cast<const MetafileDrawing&>(*drawing).lastPaintWork();
  return out;
}

// The largest bitmap the budget allows, RLE-compressed to nothing.
constexpr int kBombWidth = 8192, kBombHeight = 4096;
static_assert(qint64(kBombWidth) * kBombHeight == PictureLimits::kMaxDrawingBitmapPixels);

TEST(MetafileBudget, OneBitmapRepeatedIsDecodedOnce) {
  // Ten records of the same bitmap in 1.4 KB once took 11 s.
  const QByteArray dib = rleDib(kBombWidth / 2, kBombHeight / 2);
  EmfBuilder emf(400, 300);
  for (int i = 0; i < 10; ++i) emf.add(U_EMR_STRETCHDIBITS, stretchDiBits(dib, {0, 0, 400, 300}));
  EmfBuilder blt(400, 300);
  for (int i = 0; i < 300; ++i) blt.add(U_EMR_STRETCHBLT, stretchBlt(dib, {0, 0, 400, 300}));
  WmfBuilder wmf(true, 400, 300);
  for (int i = 0; i < 60; ++i)
    wmf.add(U_WMR_STRETCHDIB | 0x0F00, wmfStretch(dib, {0, 0, 400, 300}, true));
  for (const QByteArray& data : {emf.finish(), blt.finish(), wmf.finish()}) {
    const Painted p = paint(data, {200, 150});
    EXPECT_LE(p.work.bitmapsDecoded, 1);
    EXPECT_LE(p.work.pixelsDecoded, PictureLimits::kMaxDrawingBitmapPixels);
  }
}

TEST(MetafileBudget, DistinctBitmapsOverTheBudgetAreRefusedAtLoad) {
  WmfBuilder atBudget(true, 400, 300);
  atBudget.add(U_WMR_DIBSTRETCHBLT | 0x0B00,
               wmfStretch(rleDib(kBombWidth, kBombHeight), {0, 0, 400, 300}, false));
  EXPECT_NO_THROW(readMetafile(atBudget.finish(), QStringLiteral("at.wmf")));

  EmfBuilder emf(400, 300);
  for (int i = 0; i < 300; ++i)
    emf.add(U_EMR_STRETCHDIBITS,
            stretchDiBits(rleDib(kBombWidth - i, kBombHeight), {0, 0, 40, 30}));
  WmfBuilder wmf(true, 400, 300);
  wmf.add(U_WMR_DIBSTRETCHBLT | 0x0B00,
          wmfStretch(rleDib(kBombWidth, kBombHeight), {0, 0, 4, 3}, false));
  wmf.add(U_WMR_DIBSTRETCHBLT | 0x0B00, wmfStretch(rleDib(1, 1), {0, 0, 4, 3}, false));
  for (const QByteArray& data : {emf.finish(), wmf.finish()}) {
    const QString message = refusalOf(data, QStringLiteral("/pictures/bomb.emf"));
    EXPECT_TRUE(message.contains(QStringLiteral("bomb.emf"))) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("megapixels"))) << message.toStdString();
  }
}

// A 1000 x 1000 frame covered again and again by a stretched 3 x 3 bitmap,
// or filled over and over, then a flood of tiny calls: each stops where the
// budget ends, and what came first is drawn.
TEST(MetafileBudget, StretchesFillsAndCallsPastTheBudgetAreLeftOut) {
  constexpr int kSide = 1000;
  constexpr qint64 kArea = qint64(kSide) * kSide;
  EmfBuilder stretches(kSide, kSide), fills(kSide, kSide);
  for (qint64 i = 0; i < PictureLimits::kMaxDrawingWork / kArea + 20; ++i)
    stretches.add(U_EMR_STRETCHDIBITS, stretchDiBits(rleDib(3, 3), {0, 0, kSide, kSide}));
  fills.add(U_EMR_CREATEBRUSHINDIRECT, {1, 0, 0x0000FF, 0}).add(U_EMR_SELECTOBJECT, {1});
  for (qint64 i = 0;
       i < PictureLimits::kMaxDrawingWork * PictureLimits::kFillPixelsPerWork / kArea + 20; ++i)
    fills.add(U_EMR_RECTANGLE, {0, 0, kSide, kSide});
  for (const EmfBuilder* emf : {&stretches, &fills}) {
    const Painted p = paint(emf->finish(), {kSide, kSide});
    EXPECT_LE(p.work.work, PictureLimits::kMaxDrawingWork);
    EXPECT_GE(p.work.leftOut, 20);
    EXPECT_EQ(p.image.pixel(kSide / 2, kSide / 2), qRgb(255, 0, 0));
  }
  constexpr qint64 kCalls = PictureLimits::kMaxDrawingWork / PictureLimits::kDrawingCallWork;
  EmfBuilder calls(10, 10);
  for (qint64 i = 0; i < kCalls + 100; ++i) calls.add(U_EMR_SETPIXELV, {1, 1, 0x0000FF});
  EXPECT_EQ(paint(calls.finish(), {10, 10}).work.leftOut, 100);
}

// Each distinct bitmap is counted once, tiny ones at a floor each.
TEST(DibCache, CountsEachDistinctBitmapOnceAndTinyOnesAtAFloor) {
  const QByteArray big = rleDib(4096, 4096), other = rleDib(4095, 4096), small = rleDib(100, 100);
  const DibRef a{DibRef::Form::Packed, big, {}, false};
  DibCache cache;
  EXPECT_TRUE(cache.claim(a));
  EXPECT_TRUE(cache.claim(a));
  EXPECT_EQ(cache.claimedTotal(), 4096 * 4096);
  EXPECT_TRUE(cache.claim({DibRef::Form::Packed, other, {}, false}));
  EXPECT_EQ(cache.claimedTotal(), 4096 * 4096 + 4095 * 4096);
  EXPECT_FALSE(cache.claim({DibRef::Form::Packed, small, {}, false}));  // no room for a third
  DibCache tiny;
  qint64 accepted = 0;
  for (uint32_t colour = 0; colour < 40000; ++accepted, ++colour)
    if (const QByteArray dib = rleDib(3, 3, colour);
        !tiny.claim({DibRef::Form::Packed, dib, {}, false}))
      break;
  EXPECT_EQ(accepted, PictureLimits::kMaxDrawingBitmapPixels / DibCache::kMinPixelsPerBitmap);
}

}  // namespace
}  // namespace ostrel::test
