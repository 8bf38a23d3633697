#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QWidget>

#include "about/frmAbout.h"
#include "main_window/Ostrel_View.h"
#include "picture_viewer/Form1.h"
#include "tests/support/MainWindowClicks.h"
#include "toolkit/Icons.h"
#include "toolkit/controls/ImageControl.h"
#include "toolkit/forms/FormSet.h"

namespace ostrel {
namespace {

// Qt reads the scale factor once, when the application starts: set before main().
const bool kRatioTwo = qputenv("QT_SCALE_FACTOR", "2");

// One-pixel detail in both directions: any resampling shows.
QImage checkerboard(QSize size) {
  QImage image(size, QImage::Format_RGB32);
  for (int y = 0; y < size.height(); ++y)
    for (int x = 0; x < size.width(); ++x)
      image.setPixel(x, y, (x + y) % 2 ? qRgb(255, 255, 255) : qRgb(x % 256, 0, y % 256));
  return image;
}

// A drawing that notes the surface it was last played on.
class RecordingDrawing : public Drawing {
 public:
  QSizeF naturalSize() const override { return {120, 90}; }
  void paint(QPainter& painter, const QRectF& target) const override {
    surface = QSize(painter.device()->width(), painter.device()->height());
    painter.fillRect(target, Qt::blue);
  }
  mutable QSize surface;
};

class HiDpiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(kRatioTwo);
    ASSERT_EQ(QGuiApplication::primaryScreen()->devicePixelRatio(), 2.0)
        << "QT_SCALE_FACTOR=2 was not taken";
  }

  // The viewer opened on a picture of the given pixel size, at its design
  // interior (the small test screen has no room for it beside the main
  // window, so it may have opened smaller).
  Form1& openViewer(QSize pixels) {
    EXPECT_TRUE(checkerboard(pixels).save(tmp.file(QStringLiteral("p.bmp")), "BMP"));
    Form1& viewer = test::viewPicture(tmp, QStringLiteral("p.bmp"));
    viewer.resize(312, 243);
    return viewer;
  }

  test::TempDir tmp;
};

TEST_F(HiDpiTest, RasterPictureCoversItsPixelCountInDevicePixelsSharply) {
  QWidget window;
  ImageControl image(&window, QStringLiteral("Image1"), ImageControl::Sizing::Natural,
                     ScaleMode::Points);
  const QImage picture = checkerboard(QSize(400, 300));
  image.setPicture(Picture::fromImage(picture));
  // 7.5 twips, 0.375 points, a pixel.
  EXPECT_FLOAT_EQ(image.Width(), 150);
  EXPECT_FLOAT_EQ(image.Height(), 112.5F);
  EXPECT_EQ(image.size(), QSize(200, 150));

  QImage shown = image.grab().toImage().convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(shown.size(), picture.size());
  shown.setDevicePixelRatio(1);
  EXPECT_TRUE(shown == picture) << "the picture was resampled";
}

TEST_F(HiDpiTest, DrawingKeepsItsPhysicalSizeAndIsPlayedAtDeviceResolution) {
  QWidget window;
  auto drawing = std::make_shared<RecordingDrawing>();
  ImageControl natural(&window, QStringLiteral("Image1"), ImageControl::Sizing::Natural,
                       ScaleMode::Points);
  natural.setPicture(Picture::fromDrawing(drawing));
  EXPECT_FLOAT_EQ(natural.Width(), 90);  // 120 logical pixels, as at ratio 1
  EXPECT_FLOAT_EQ(natural.Height(), 67.5F);
  const QPixmap shown = natural.grab();
  EXPECT_EQ(drawing->surface, QSize(240, 180));
  EXPECT_EQ(shown.size(), QSize(240, 180));

  ImageControl stretched(&window, QStringLiteral("Image2"), ImageControl::Sizing::Stretch);
  stretched.Move(0, 0, 2055, 1695);
  stretched.setPicture(Picture::fromDrawing(drawing));
  stretched.grab();
  EXPECT_EQ(drawing->surface, QSize(274, 226));
}

TEST_F(HiDpiTest, ViewerFollowsThePictureInPointsAndThePreviewIsDecodedForDevicePixels) {
  // 400 x 300 pixels are 150 x 112.5 points: within the 234 x 182.25 interior.
  Form1& small = openViewer(QSize(400, 300));
  EXPECT_FLOAT_EQ(small.Image1->Width(), 150);
  EXPECT_FLOAT_EQ(small.Image1->Height(), 112.5F);
  EXPECT_FALSE(small.HScroll1->isVisible());
  EXPECT_FALSE(small.VScroll1->isVisible());
  EXPECT_EQ(small.HScroll1->Max(), 71);  // R(234 - 150 - 12.75)
  Unload<Form1>();

  // 800 x 600 pixels cover what 400 x 300 cover at ratio 1.
  Form1& big = openViewer(QSize(800, 600));
  EXPECT_FLOAT_EQ(big.Image1->Width(), 300);
  EXPECT_FLOAT_EQ(big.Image1->Height(), 225);
  EXPECT_TRUE(big.HScroll1->isVisible());
  EXPECT_TRUE(big.VScroll1->isVisible());
  EXPECT_EQ(big.HScroll1->Max(), -79);
  EXPECT_EQ(big.VScroll1->Max(), -56);
  // The preview is decoded for the box's device pixels.
  QImage photo(1600, 1200, QImage::Format_RGB32);
  photo.fill(Qt::darkGreen);
  ASSERT_TRUE(photo.save(tmp.file(QStringLiteral("photo.jpg")), "JPEG"));
  test::clickFile(tmp, QStringLiteral("photo.jpg"));
  const ImageControl& box = *form<Ostrel_View>().Image1;
  EXPECT_EQ(box.picture().naturalSize(), QSize(1600, 1200));
  // The box is 137 x 113 logical, 274 x 226 device pixels: an eighth (200 x 150)
  // would be enlarged; a quarter covers it.
  EXPECT_EQ(box.picture().image().size(), QSize(400, 300));
}

}  // namespace
}  // namespace ostrel
