#include "toolkit/controls/ImageControl.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <memory>

#include "tests/support/FakeServices.h"
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

}  // namespace
}  // namespace ostrel
