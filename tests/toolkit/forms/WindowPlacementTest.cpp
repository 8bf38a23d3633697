#include "toolkit/forms/WindowPlacement.h"

#include <gtest/gtest.h>

namespace ostrel {
namespace {

// Frames in pixels. The main window's frame at its design place, with a
// 23-pixel title bar, and the same window without a frame at scale 2.
const QRect kMain(97, 141, 296, 377);
const QRect kMainAtScale2(101, 164, 288, 350);
const QRect kScreen(0, 0, 1280, 1024);
const QRect kScreenAtScale2(0, 0, 800, 600);

TEST(WindowPlacementTest, EveryRuleEndsInsideTheScreenAndWithoutRoomBesideTheOwnerCoversTheLeast) {
  struct Case {
    const char* what;
    StartUpPosition position;
    QRect window, owner, available;
    QSize minimum;
    QRect expected;
    QList<QRect> others = {};
  };
  const QSize noMinimum(1, 1);
  const QRect textWindow(411, 147, 541, 488);
  const QRect viewer(0, 0, 320, 270);
  using P = StartUpPosition;
  // clang-format off
  const Case cases[] = {
      {"a design place on the screen is kept", P::Manual,
       textWindow, {}, kScreen, noMinimum, textWindow},
      {"a design place off a small screen is moved onto it", P::Manual,
       textWindow, {}, kScreenAtScale2, noMinimum, {259, 112, 541, 488}},
      {"a sizable window larger than the screen is made smaller", P::Manual,
       {50, 50, 1000, 700}, {}, kScreenAtScale2, {300, 200}, kScreenAtScale2},
      {"a fixed one keeps its title bar on the screen", P::Manual,
       {50, 50, 1000, 700}, {}, kScreenAtScale2, {1000, 700}, {0, 0, 1000, 700}},
      {"centred on the screen", P::CenterScreen,
       {0, 0, 390, 322}, kMain, kScreen, noMinimum, {445, 351, 390, 322}},
      {"centred over the owner", P::CenterOwner,
       {0, 0, 200, 100}, kMain, kScreen, noMinimum, {145, 280, 200, 100}},
      {"beside the owner, level with it", P::BesideOwner,
       {0, 0, 768, 547}, kMain, kScreen, {368, 283}, {393, 141, 768, 547}},
      {"beside the owner on the roomiest side, narrower", P::BesideOwner,
       {0, 0, 768, 547}, kMainAtScale2, kScreenAtScale2, {368, 283}, {389, 53, 411, 547}},
      {"below an owner at the right edge", P::BesideOwner,
       {0, 0, 400, 300}, {900, 100, 296, 377}, kScreen, {368, 283}, {880, 477, 400, 300}},
      {"the viewer beside the main window at scale 2", P::BesideOwner,
       viewer, kMainAtScale2, kScreenAtScale2, noMinimum, {389, 164, 320, 270}},
      {"on the side where it covers the program's other window least", P::BesideOwner,
       viewer, kMain, kScreen, noMinimum, {97, 518, 320, 270}, {{393, 141, 541, 488}}},
      {"an owner's rule without an owner keeps the design place", P::BesideOwner,
       textWindow, {}, kScreen, noMinimum, textWindow},
  };
  // clang-format on
  for (const Case& c : cases) {
    const QRect got = WindowPlacement::firstFrame(
        c.position, {c.window, c.owner, c.available, c.minimum, c.others});
    EXPECT_EQ(got, c.expected) << c.what;
    if (c.minimum != c.window.size()) EXPECT_TRUE(c.available.contains(got)) << c.what;
    if (c.position == StartUpPosition::BesideOwner && c.available.width() > 400) {
      EXPECT_FALSE(got.intersects(c.owner)) << c.what;
    }
  }
  // A window no side of the owner holds, even at its least, covers as little
  // of the owner as the screen allows: here its right part, clear of the
  // owner's top, rather than all of it from the design place.
  const QRect got = WindowPlacement::firstFrame(
      StartUpPosition::BesideOwner,
      {{411, 147, 541, 488}, kMainAtScale2, kScreenAtScale2, {541, 488}, {}});
  EXPECT_EQ(got, QRect(259, 0, 541, 488));
  EXPECT_TRUE(kScreenAtScale2.contains(got));
}

}  // namespace
}  // namespace ostrel
