#include "toolkit/picture/PictureLoader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QLocale>
#include <QTemporaryDir>

#include "tests/toolkit/picture/PictureFixtures.h"
#include "toolkit/ToolkitError.h"

namespace ostrel {
namespace {

class PictureLoaderTest : public ::testing::Test {
 protected:
  QString path(const QString& name) const { return dir_.filePath(name); }
  QString write(const QString& name, const QByteArray& bytes) const {
    test::writeFile(path(name), bytes);
    return path(name);
  }
  // The error load() raises for fullName; fails the test when none.
  ToolkitError errorFor(const QString& fullName) const {
    try {
      PictureLoader::load(fullName);
    } catch (const ToolkitError& e) {
      return e;
    }
    ADD_FAILURE() << "loaded " << qPrintable(fullName);
    return ToolkitError(0, {});
  }

  QTemporaryDir dir_;
};

TEST_F(PictureLoaderTest, ContentDecidesTheFormatNotTheName) {
  const QByteArray jpeg = test::makeJpeg(test::quadrants(40, 20));
  test::BmpBuilder bmp{.pixels = {"\xFF\0\0\0\xFF\0\0\0\0\0\xFF\xFF\xFF\xFF\0\0", 16}};
  for (const QString& name :
       {QStringLiteral("photo.bmp"), QStringLiteral("photo.GIF"), QStringLiteral("photo")}) {
    const Picture p = PictureLoader::load(write(name, jpeg));
    EXPECT_EQ(p.naturalSize(), QSize(40, 20)) << qPrintable(name);
  }
  const Picture dib = PictureLoader::load(write("clip.DIB", bmp.build()));
  EXPECT_EQ(dib.image().pixel(0, 0), 0xFFFF0000u);
  bmp.fileHeader = false;
  EXPECT_EQ(PictureLoader::load(write("bare.dib", bmp.build())).naturalSize(), QSize(2, 2));
}

// A bitmap of many megapixels previews from an average of its rows, never
// whole: the right way up, bands where they belong, its natural size kept.
TEST_F(PictureLoaderTest, AHugeBitmapPreviewsShrunkAsItDecodes) {
  struct Case {
    const char* name;
    QByteArray data;
    int side;
    QSize shrunk;
    QRgb topLeft, bottomRight;
  };
  for (const Case& c : {Case{"rle.bmp",
                             test::rleBitmap(4096, 4096),
                             4096,
                             {142, 114},
                             qRgb(255, 255, 255),
                             qRgb(255, 0, 0)},
                        Case{"rgb.bmp",
                             test::encode(test::quadrants(2048, 2048), "bmp"),
                             2048,
                             {147, 114},
                             qRgb(255, 0, 0),
                             qRgb(0, 0, 255)}}) {
    const Picture p = PictureLoader::loadForPreview(write(c.name, c.data), QSize(137, 113));
    EXPECT_EQ(p.naturalSize(), QSize(c.side, c.side)) << c.name;
    const QImage& image = p.image();
    ASSERT_EQ(image.size(), c.shrunk) << c.name;
    EXPECT_EQ(image.pixel(0, 0), c.topLeft) << c.name;
    EXPECT_EQ(image.pixel(image.width() - 1, image.height() - 1), c.bottomRight) << c.name;
  }
}

struct FileProblem {
  const char* name;
  int number;
};

TEST_F(PictureLoaderTest, DecodeFailuresSayWhyAndAFifoIsRefusedWithoutWaitingForAWriter) {
  const QLocale before;
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));  // numbers grouped
  const test::BmpBuilder huge{.width = 70000, .pixels = QByteArray(64, '\0')};
  const ToolkitError tooBig = errorFor(write("huge.bmp", huge.build()));
  EXPECT_EQ(tooBig.Number(), err::OutOfMemory);
  EXPECT_TRUE(tooBig.Description().contains("70,000")) << qPrintable(tooBig.Description());

  // The refusal names the limit the picture breaks, not another one.
  struct Case {
    int width, height;
    const char* names;
    const char* notNames;
  };
  for (const Case& c :
       {Case{1, 1000000, "65,535 pixels a side", "megapixels"},
        Case{20000, 20000, "268 megapixels", "a side"},
        Case{10000, 10000, "83 megapixels this program shows at natural size", "a side"}}) {
    const test::BmpBuilder b{.width = c.width, .height = c.height, .pixels = QByteArray(120000, 0)};
    const QString message = errorFor(write("limit.bmp", b.build())).Description();
    EXPECT_TRUE(message.contains(QLatin1String(c.names))) << qPrintable(message);
    EXPECT_FALSE(message.contains(QLatin1String(c.notNames))) << qPrintable(message);
  }

  const ToolkitError gif = errorFor(write("bad.gif", QByteArray("GIF89a\x10\0\x10\0\0\0\0,", 14)));
  EXPECT_TRUE(gif.Description().contains("GIF")) << qPrintable(gif.Description());
  QLocale::setDefault(before);
  // A fifo nothing writes into: opening it for reading in parts must not wait.
  ASSERT_EQ(::mkfifo(path("pipe.bmp").toLocal8Bit().constData(), 0600), 0);
  const ToolkitError error = errorFor(path("pipe.bmp"));
  EXPECT_EQ(error.Number(), err::InvalidPicture);
  EXPECT_TRUE(error.Description().contains("not a regular file"))
      << qPrintable(error.Description());
}

}  // namespace
}  // namespace ostrel
