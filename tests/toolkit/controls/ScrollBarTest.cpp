#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include "toolkit/controls/ScrollBar.h"

namespace ostrel {
namespace {

class ScrollBarTest : public ::testing::Test {
 protected:
  ScrollBarTest() {
    window.resize(400, 300);
    bar = new ScrollBar(&window, QStringLiteral("HScroll1"), ScrollBar::Orientation::Horizontal,
                        ScaleMode::Points);
    bar->Move(0, 150, 240, 12.75F);
    window.show();
  }

  QWidget window;
  ScrollBar* bar;
};

TEST_F(ScrollBarTest, ArrowsTrackAndKeysStepByOneWithoutScrollInEitherOrientation) {
  auto* vertical = new ScrollBar(&window, QStringLiteral("VScroll1"),
                                 ScrollBar::Orientation::Vertical, ScaleMode::Points);
  vertical->Move(250, 0, 12.75F, 168.75F);
  vertical->show();
  for (ScrollBar* b : {bar, vertical}) {
    b->setMax(-79);
    QSignalSpy scroll(b, &ScrollBar::Scroll);
    QSignalSpy change(b, &ScrollBar::Change);
    const bool across = b == bar;
    // Points along the bar: the far arrow, the track, the near arrow.
    const auto along = [&](int fromStart) {
      return across ? QPoint(fromStart, b->height() / 2) : QPoint(b->width() / 2, fromStart);
    };
    const int length = across ? b->width() : b->height();
    QTest::mouseClick(b, Qt::LeftButton, {}, along(length - 3));
    EXPECT_EQ(b->Value(), -1);
    QTest::mouseClick(b, Qt::LeftButton, {}, along(length * 3 / 4));
    EXPECT_EQ(b->Value(), -2);
    QTest::mouseClick(b, Qt::LeftButton, {}, along(3));
    EXPECT_EQ(b->Value(), -1);
    b->setFocus();
    QTest::keyClick(b, across ? Qt::Key_Right : Qt::Key_Down);
    EXPECT_EQ(b->Value(), -2);
    QTest::keyClick(b, across ? Qt::Key_Left : Qt::Key_Up);
    EXPECT_EQ(b->Value(), -1);
    EXPECT_EQ(scroll.count(), 0);
    EXPECT_EQ(change.count(), 5);
  }
}

}  // namespace
}  // namespace ostrel
