#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionSlider>
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

  QRect handleRect() const {
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.orientation = bar->orientation();
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.sliderPosition = bar->sliderPosition();
    option.sliderValue = bar->value();
    option.singleStep = bar->singleStep();
    option.pageStep = bar->pageStep();
    option.subControls = QStyle::SC_All;
    return bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider,
                                        bar);
  }

  QWidget window;
  ScrollBar* bar;
};

TEST_F(ScrollBarTest, DraggingRightGoesTowardsANegativeMaxAndANewMaxKeepsTheValue) {
  bar->setMax(-79);
  bar->setValue(-79);
  EXPECT_GT(handleRect().center().x(), 2 * bar->width() / 3);
  bar->setValue(0);
  EXPECT_LT(handleRect().center().x(), bar->width() / 3);
  QSignalSpy scroll(bar, &ScrollBar::Scroll);
  QSignalSpy change(bar, &ScrollBar::Change);
  std::vector<int> seenDuringScroll;
  QObject::connect(bar, &ScrollBar::Scroll, bar, [&] { seenDuringScroll.push_back(bar->Value()); });

  const QPoint start = handleRect().center();
  QTest::mousePress(bar, Qt::LeftButton, {}, start);
  QTest::mouseMove(bar, start + QPoint(bar->width() / 2, 0));
  QTest::mouseMove(bar, start + QPoint(bar->width(), 0));
  QTest::mouseRelease(bar, Qt::LeftButton, {}, start + QPoint(bar->width(), 0));

  ASSERT_FALSE(seenDuringScroll.empty());
  EXPECT_LT(seenDuringScroll.front(), 0);
  // The handler sees the dragged value, not the one before the move.
  EXPECT_EQ(seenDuringScroll.back(), -79);
  EXPECT_EQ(bar->Value(), -79);
  EXPECT_EQ(change.count(), 1);  // once, at the end of the drag
  // A new Max keeps the value while it still fits.
  bar->setMax(-56);
  bar->setValue(-30);
  change.clear();
  bar->setMax(-80);
  EXPECT_EQ(bar->Value(), -30);
  EXPECT_EQ(change.count(), 0);
  bar->setMax(-20);
  EXPECT_EQ(bar->Value(), -20);
  EXPECT_EQ(change.count(), 1);
  bar->setMax(121);  // the sign turns: back to 0
  EXPECT_EQ(bar->Value(), 0);
  EXPECT_EQ(change.count(), 2);
}

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
