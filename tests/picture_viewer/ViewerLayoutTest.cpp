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

TEST(FitRule, HidesShowsAndResets) {
  const struct {
    const char* name;
    float pictureWidth, pictureHeight;
    bool hBefore, vBefore, hAfter, vAfter, backToCorner;
  } cases[] = {{"small", 75, 60, true, true, false, false, true},
               {"large", 300, 225, false, false, true, true, false},
               {"exact width keeps shown", 234, 300, true, false, true, true, false},
               {"exact width keeps hidden", 234, 300, false, true, false, true, false},
               {"exact both", 234, 182.25F, false, true, false, true, false},
               {"narrow tall", 225, 300, true, true, false, true, true},
               {"wide short", 300, 100, true, true, true, false, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ViewerLayout::Fit fit{234, 182.25F, c.pictureWidth, c.pictureHeight,
                          -20, -10,     c.hBefore,      c.vBefore};
    ViewerLayout::applyFitRule(fit);
    EXPECT_EQ(fit.horizontalBarVisible, c.hAfter);
    EXPECT_EQ(fit.verticalBarVisible, c.vAfter);
    EXPECT_FLOAT_EQ(fit.pictureLeft, c.backToCorner ? 0 : -20);
    EXPECT_FLOAT_EQ(fit.pictureTop, c.backToCorner ? 0 : -10);
  }
}

}  // namespace
}  // namespace ostrel
