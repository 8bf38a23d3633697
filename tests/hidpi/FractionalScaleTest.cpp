// The text box on screens scaled by a fraction (125 %, 150 %, 175 %): the
// test runs once per factor, given in QT_SCALE_FACTOR by CTest.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QtMath>

#include "toolkit/controls/TextBox.h"

namespace ostrel {
namespace {

TEST(FractionalScale, TheTextBoxFrameAndBarsAreDrawnWhole) {
  const qreal ratio = QGuiApplication::primaryScreen()->devicePixelRatio();
  ASSERT_EQ(ratio, qEnvironmentVariable("QT_SCALE_FACTOR", QStringLiteral("1")).toDouble());
  // In a window, where it is placed in twips: at a fraction of a device pixel.
  QWidget window;
  window.resize(533, 461);
  TextBox box(&window, QStringLiteral("Text1"));
  box.setText(QString(400, QLatin1Char('x')) + QString(60, QLatin1Char('\n')));
  box.Move(120, 480, 7603, 5915);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  const QImage whole = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
  const QRect inWindow(box.pos() * ratio, box.size() * ratio);
  if (qEnvironmentVariableIsSet("OSTREL_SAVE_GRAB")) {
    whole.save(qEnvironmentVariable("OSTREL_SAVE_GRAB"));
  }
  // The frame's four sides on the outermost whole device pixels of the box.
  const QRgb outline = box.palette().window().color().darker(130).rgb();
  const int left = qCeil(box.x() * ratio);
  const int top = qCeil(box.y() * ratio);
  const int right = qFloor((box.x() + box.width()) * ratio) - 1;
  const int bottom = qFloor((box.y() + box.height()) * ratio) - 1;
  const int midX = (left + right) / 2;
  const int midY = (top + bottom) / 2;
  EXPECT_EQ(whole.pixel(left, midY), outline) << "left";
  EXPECT_EQ(whole.pixel(right, midY), outline) << "right";
  EXPECT_EQ(whole.pixel(midX, top), outline) << "top";
  EXPECT_EQ(whole.pixel(midX, bottom), outline) << "bottom";
  // The horizontal thumb has both its edges.
  const QScrollBar* bar = box.horizontalScrollBar();
  const QPoint barAt = bar->mapTo(&window, QPoint(0, bar->height() / 2)) * ratio;
  int edges = 0;
  for (int x = barAt.x(); x < barAt.x() + bar->width() * ratio; ++x) {
    edges += whole.pixel(x, barAt.y()) == outline ? 1 : 0;
  }
  EXPECT_GE(edges, 3) << "the track's ends and the thumb's far edge";
}

}  // namespace
}  // namespace ostrel
