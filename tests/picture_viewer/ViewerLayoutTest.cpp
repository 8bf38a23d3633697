#include <gtest/gtest.h>

#include "picture_viewer/ViewerLayout.h"

namespace ostrel {
namespace {

TEST(RoundHalfEven, TiesGoToTheEvenNeighbour) {
  const struct {
    double x;
    qint64 expected;
  } cases[] = {{-55.5, -56}, {-78.5, -78}, {-12.75, -13},      {-78.75, -79},   {0.5, 0},
               {1.5, 2},     {2.5, 2},     {-0.5, 0},          {-3.75, -4},     {146.25, 146},
               {109.5, 110}, {-0.25, 0},   {-32768.5, -32768}, {40000.5, 40000}};
  for (const auto& c : cases) EXPECT_EQ(ViewerLayout::roundHalfEven(c.x), c.expected) << c.x;
}

TEST(BarScale, HugeRangesCountInLargerStepsAndReachTheFarEdge) {
  // 50,000 pixels = 37,500 points wide in the design interior.
  const ViewerLayout::BarScale wide = ViewerLayout::barScale(234, 37500, 12.75F);
  EXPECT_EQ(wide.range, -37279);
  EXPECT_EQ(wide.unit, 2);
  EXPECT_EQ(wide.max, -18639);
  EXPECT_FLOAT_EQ(wide.offsetFor(0), 0);
  EXPECT_FLOAT_EQ(wide.offsetFor(-100), -200);
  EXPECT_FLOAT_EQ(wide.offsetFor(wide.max), -37279);

  // The widest picture the loader accepts (65,535 pixels).
  const ViewerLayout::BarScale widest = ViewerLayout::barScale(234, 49151.25F, 12.75F);
  EXPECT_GE(widest.max, -32768);
  EXPECT_LE(qint64(widest.max) * widest.unit, widest.range + widest.unit);
  EXPECT_FLOAT_EQ(widest.offsetFor(widest.max), static_cast<float>(widest.range));
  EXPECT_GE(widest.offsetFor(widest.max + 1), static_cast<float>(widest.range));
}

}  // namespace
}  // namespace ostrel
