#include "toolkit/metafile/EmfPlusReader.h"

#include <gtest/gtest.h>

#include <limits>

#include "tests/toolkit/metafile/EmfPlusBuilder.h"

namespace ostrel::test {
namespace {

using B = MetafileBuilder;
using P = EmfPlusBuilder;

TEST(EmfPlusReader, PointsComeInThreeFormsAndCountsTheBytesCannotHoldAreRefused) {
  const QByteArray floats = B::words32({P::f(1.5F), P::f(-2), P::f(3), P::f(4)});
  EmfPlusReader f = P::reader(floats);
  EXPECT_EQ(f.points(2, false, false), QPolygonF({{1.5, -2}, {3, 4}}));
  EXPECT_TRUE(f.ok());
  EXPECT_EQ(f.remaining(), 0U);

  const QByteArray shorts = B::words16({-3, 7, 300, -400});
  EmfPlusReader s = P::reader(shorts);
  EXPECT_EQ(s.points(2, true, false), QPolygonF({{-3, 7}, {300, -400}}));

  // Relative: one byte of seven bits (0x7F is -1, 0x40 is -64), or two
  // bytes of fifteen, high byte first with the top bit set (0xFFFF is -1,
  // 0x8100 is 256); each point is an offset from the one before.
  QByteArray relative;
  for (int b : {0x05, 0x7F, 0x40, 0x81, 0x00, 0xFF, 0xFF, 0x3F}) relative.append(char(b));
  EmfPlusReader r = P::reader(relative);
  EXPECT_EQ(r.points(3, false, true), QPolygonF({{5, -1}, {-59, 255}, {-60, 318}}));
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(r.remaining(), 0U);
  const QByteArray rect = P::rectF(0, 0, 10, 10);
  for (uint32_t count : {2U, 100000U, 0xFFFFFFFFU}) {
    EmfPlusReader r = P::reader(rect);
    EXPECT_TRUE(r.rects(count, false).empty()) << count;
    EXPECT_FALSE(r.ok());
    EmfPlusReader p = P::reader(rect);
    EXPECT_TRUE(p.points(count * 2 + 1, true, false).isEmpty()) << count;
    EXPECT_FALSE(p.ok());
  }
  EmfPlusReader exact = P::reader(rect);
  EXPECT_EQ(exact.rects(1, false), std::vector<QRectF>{QRectF(0, 0, 10, 10)});
  EmfPlusReader compressed = P::reader(rect);
  EXPECT_EQ(compressed.rects(2, true).size(), 2U);
  EXPECT_TRUE(compressed.ok());
  // Relative points take at least two bytes each.
  EmfPlusReader tooFew = P::reader(QByteArray(5, '\x01'));
  EXPECT_TRUE(tooFew.points(3, false, true).isEmpty());
  EXPECT_FALSE(tooFew.ok());
}

TEST(EmfPlusReader, ReadsPastTheEndFailForGoodAndFloatsMustBeUsable) {
  EmfPlusReader r = P::reader(B::words32({7}) + B::words16({9}));
  EXPECT_EQ(r.u32(), 7U);
  EXPECT_EQ(r.u32(), 0U);  // two bytes left
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(r.u16(), 0U);  // what was left is not read after a failure

  for (float bad : {std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN(),
                    2e15F, -2e15F}) {
    EmfPlusReader f = P::reader(B::words32({P::f(bad), P::f(1)}));
    EXPECT_EQ(f.f32(), 0.0F);
    EXPECT_FALSE(f.ok()) << bad;
  }
  // A matrix holding one unusable value is the identity.
  EmfPlusReader m = P::reader(B::words32({P::f(2), 0, 0, P::f(2), P::f(1e16F), 0}));
  EXPECT_TRUE(m.matrix().isIdentity());
  EmfPlusReader good = P::reader(B::words32({P::f(2), P::f(1), 0, P::f(3), P::f(5), P::f(6)}));
  EXPECT_EQ(good.matrix(), QTransform(2, 1, 0, 3, 5, 6));

  // A part of the bytes read on its own, and skipped here.
  EmfPlusReader whole = P::reader(B::words32({1, 2, 3}));
  EmfPlusReader part = whole.sub(8);
  EXPECT_EQ(part.u32(), 1U);
  EXPECT_EQ(part.u32(), 2U);
  EXPECT_EQ(whole.u32(), 3U);
  EXPECT_TRUE(whole.ok());
  EXPECT_FALSE(whole.sub(1).ok());
  EXPECT_FALSE(whole.ok());
  EmfPlusReader skipping = P::reader(B::words32({1, 2}));
  skipping.skip(4);
  EXPECT_EQ(skipping.u32(), 2U);
  skipping.skip(1);
  EXPECT_FALSE(skipping.ok());
}

}  // namespace
}  // namespace ostrel::test
