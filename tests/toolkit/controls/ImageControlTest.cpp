#include "toolkit/controls/ImageControl.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <memory>

#include "tests/support/FakeServices.h"
#include "toolkit/picture/DecodeProgress.h"
#include "toolkit/picture/Drawing.h"
#include "toolkit/picture/Picture.h"

namespace ostrel {
namespace {

// A drawing whose every paint leaves some of its parts out, as a metafile
// over its work budget does.
class OverBudgetDrawing : public Drawing {
 public:
  QSizeF naturalSize() const override { return {200, 150}; }
  void paint(QPainter& painter, const QRectF& target) const override {
    painter.fillRect(target, Qt::white);
    ++paints;
  }
  int partsLeftOut() const override { return 3; }
  mutable int paints = 0;
};

Picture overBudget(const QString& fileName) {
  Picture picture = Picture::fromDrawing(std::make_shared<OverBudgetDrawing>());
  picture.setFileName(fileName);
  return picture;
}

TEST(ImageControlTest, APictureDrawnInPartIsReportedOnceNamingItsFile) {
  auto& boxes = test::fakes().messageBox.calls;
  boxes.clear();
  ImageControl image(nullptr, QStringLiteral("Image1"), ImageControl::Sizing::Stretch);
  image.resize(137, 113);
  image.setPicture(overBudget(QStringLiteral("/pictures/bomb.emf")));
  image.grab();
  image.resize(120, 100);  // painted again at another size
  image.grab();
  QCoreApplication::processEvents();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_TRUE(boxes[0].prompt.contains(QStringLiteral("/pictures/bomb.emf")));

  // Another picture is another report.
  image.setPicture(overBudget(QStringLiteral("/pictures/other.wmf")));
  image.grab();
  QCoreApplication::processEvents();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_TRUE(boxes[1].prompt.contains(QStringLiteral("other.wmf")));
}

// With the keyboard focus, a frame in the highlight colour marks the
// control over whatever picture it shows, and Space or Enter clicks it.
TEST(ImageControlTest, TheFocusIsMarkedOverThePictureAndKeysClickIt) {
  QWidget window;
  ImageControl image(&window, QStringLiteral("Image1"), ImageControl::Sizing::Stretch);
  image.setFocusPolicy(Qt::StrongFocus);
  image.setGeometry(10, 10, 137, 113);
  QWidget other(&window);
  other.setFocusPolicy(Qt::StrongFocus);
  QImage red(40, 30, QImage::Format_RGB32);
  red.fill(Qt::red);
  image.setPicture(Picture::fromImage(red));
  window.resize(200, 200);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  const auto corner = [&image] { return image.grab().toImage().pixelColor(1, 1); };
  QApplication::setActiveWindow(&window);
  for (const bool focused : {false, true, false}) {
    if (focused) {
      image.setFocus();
    } else {
      other.setFocus();
    }
    EXPECT_EQ(corner(), focused ? image.palette().color(QPalette::Highlight) : QColor(Qt::red))
        << focused;
  }
  QSignalSpy clicks(&image, &ImageControl::Click);
  for (const Qt::Key key : {Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter})
    QTest::keyClick(&image, key);
  EXPECT_EQ(clicks.count(), 3);
}

// Paints reaching the control, with the part each was for.
class PaintLog : public QObject {
 public:
  QList<QRect> rects;
  bool eventFilter(QObject* /*watched*/, QEvent* event) override {
    if (event->type() == QEvent::Paint) rects << static_cast<QPaintEvent*>(event)->rect();
    return false;
  }
};

// A picture still filling shows its final rows where they belong, the
// window's background over the rest (never the picture shown before, even
// scrolled to the bottom), and draws each band of rows as it arrives.
TEST(ImageControlTest, APictureStillFillingShowsItsFinalRowsAndTheBackgroundElsewhere) {
  QWidget window;
  window.resize(20, 30);
  QPalette palette = window.palette();
  palette.setColor(QPalette::Window, Qt::white);
  window.setPalette(palette);
  window.setAutoFillBackground(true);
  ImageControl image(&window, QStringLiteral("Image1"), ImageControl::Sizing::Natural);
  QImage red(20, 30, QImage::Format_RGB32);
  red.fill(Qt::red);
  image.setPicture(Picture::fromImage(red));
  QImage blue(20, 30, QImage::Format_RGB32);
  blue.fill(Qt::blue);
  const auto colourAt = [&](int y) { return window.grab().toImage().pixelColor(5, y); };

  auto downwards = std::make_shared<DecodeProgress>();
  const DecodeProgress::Scope scope(downwards);
  DecodeProgress::publish(blue, DecodeProgress::Order::TopDown);
  DecodeProgress::advance(10);
  image.setPicture(Picture::filling(downwards));
  EXPECT_EQ(image.size(), QSize(20, 30));
  EXPECT_EQ(colourAt(9), QColor(Qt::blue));
  EXPECT_EQ(colourAt(10), QColor(Qt::white));
  EXPECT_EQ(colourAt(29), QColor(Qt::white));

  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  PaintLog log;
  image.installEventFilter(&log);
  DecodeProgress::advance(25);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !log.rects.isEmpty(); }, 2000));
  EXPECT_EQ(log.rects.first(), QRect(0, 10, 20, 15));  // the new band alone
  EXPECT_EQ(colourAt(24), QColor(Qt::blue));
  EXPECT_EQ(colourAt(25), QColor(Qt::white));

  // Stored upwards, the rows fill from the bottom; scrolled down to them.
  auto upwards = std::make_shared<DecodeProgress>();
  {
    const DecodeProgress::Scope other(upwards);
    DecodeProgress::publish(blue, DecodeProgress::Order::BottomUp);
    DecodeProgress::advance(10);
  }
  image.setPicture(Picture::filling(upwards));
  image.move(0, -15);
  EXPECT_EQ(colourAt(4), QColor(Qt::white));
  EXPECT_EQ(colourAt(5), QColor(Qt::blue));
  EXPECT_EQ(colourAt(14), QColor(Qt::blue));
}

}  // namespace
}  // namespace ostrel
