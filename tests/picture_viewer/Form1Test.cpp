#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QTest>
#include <tuple>

#include "main_window/Ostrel_View.h"
#include "picture_viewer/Form1.h"
#include "tests/support/FakeServices.h"
#include "tests/support/MainWindowClicks.h"
#include "tests/support/ShowFocused.h"
#include "tests/support/TempDir.h"
#include "tests/toolkit/picture/PictureFixtures.h"
#include "toolkit/ToolkitError.h"
#include "toolkit/forms/FormSet.h"
#include "toolkit/jobs/JobService.h"
#include "toolkit/jobs/ThreadJobRunner.h"
#include "toolkit/picture/PictureLoader.h"

namespace ostrel {
namespace {

class Form1Test : public ::testing::Test {
 protected:
  // Writes a picture of the given pixel size (points are three quarters of that).
  void writePicture(const char* name, QSize pixels) {
    QImage image(pixels, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    ASSERT_TRUE(image.save(tmp.file(QString::fromLatin1(name)))) << name;
  }
  void select(const char* name) { test::clickFile(tmp, QString::fromLatin1(name)); }
  Form1& view(const char* name) { return test::viewPicture(tmp, QString::fromLatin1(name)); }
  Form1& open(const char* name, QSize pixels) {
    writePicture(name, pixels);
    return view(name);
  }
  static void unloadViewer() {
    Unload<Form1>();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  // What the bar does while its thumb is dragged to value (the slider under
  // it counts the distance from the left or top end).
  static void drag(ScrollBar* bar, int value) {
    bar->setSliderDown(true);
    bar->setSliderPosition(qAbs(value));
    bar->setSliderDown(false);
  }

  static bool viewerLoaded() { return FormSet::instance().isLoaded<Form1>(); }

  test::TempDir tmp;
};

TEST_F(Form1Test, TheLoadStepMeasuresThePictureBeforeTheWindowShows) {
  writePicture("a.bmp", QSize(100, 80));
  select("a.bmp");
  Form1& f = form<Form1>();  // loaded, not shown yet
  // Bottom to top: the picture under both bars.
  const QList<QWidget*> controls = f.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  ASSERT_EQ(controls.size(), 3);
  EXPECT_EQ(controls[0], f.Image1);
  EXPECT_EQ(controls[1], f.VScroll1);
  EXPECT_EQ(controls[2], f.HScroll1);
  EXPECT_EQ(f.HScroll1->nextInFocusChain(), f.VScroll1);
  EXPECT_EQ(f.Image1->focusPolicy(), Qt::NoFocus);
  // The load step measured the design interior: 75 x 60 points fit.
  EXPECT_FLOAT_EQ(f.Image1->Width(), 75);
  EXPECT_FLOAT_EQ(f.Image1->Height(), 60);
  EXPECT_EQ(f.HScroll1->Max(), 146);  // R(146.25)
  EXPECT_EQ(f.VScroll1->Max(), 110);  // R(109.5)
  EXPECT_FALSE(f.HScroll1->Visible());
  EXPECT_FALSE(f.VScroll1->Visible());
  EXPECT_FALSE(f.isVisible());
}

// Each opened afresh in the design interior (234 x 182.25 points).
TEST_F(Form1Test, FirstDisplayShowsTheBarsThePictureNeeds) {
  const struct {
    const char* name;
    QSize pixels;
    bool hBar, vBar;
    int hMax;
  } cases[] = {
      {"exact.bmp", {312, 400}, true, true, -13},   // exactly as wide: the design bar stays
      {"narrow.bmp", {300, 400}, false, true, -4},  // narrower by less than a bar: none
      {"big.bmp", {400, 300}, true, true, -79},
  };
  for (const auto& c : cases) {
    unloadViewer();
    Form1& f = open(c.name, c.pixels);
    EXPECT_TRUE(f.isVisible()) << c.name;
    EXPECT_EQ(f.Caption(), QString::fromLatin1(c.name));
    EXPECT_EQ(f.HScroll1->isVisible(), c.hBar) << c.name;
    EXPECT_EQ(f.VScroll1->isVisible(), c.vBar) << c.name;
    EXPECT_EQ(f.HScroll1->Max(), c.hMax) << c.name;
    EXPECT_FLOAT_EQ(f.Image1->Left(), 0) << c.name;
    EXPECT_FLOAT_EQ(f.Image1->Top(), 0) << c.name;
  }
  // The last, larger both ways: both bars, laid along the interior's edges.
  Form1& f = form<Form1>();
  ASSERT_EQ(f.size(), QSize(312, 243));
  EXPECT_FLOAT_EQ(f.Image1->Width(), 300);
  EXPECT_FLOAT_EQ(f.Image1->Height(), 225);
  EXPECT_EQ(f.VScroll1->Max(), -56);
  EXPECT_FLOAT_EQ(f.HScroll1->Top(), 169.5F);
  EXPECT_FLOAT_EQ(f.HScroll1->Width(), 234);
  EXPECT_FLOAT_EQ(f.VScroll1->Left(), 221.25F);
  EXPECT_FLOAT_EQ(f.VScroll1->Height(), 169.5F);
  EXPECT_FLOAT_EQ(f.HScroll1->Left(), 0);
  EXPECT_FLOAT_EQ(f.VScroll1->Top(), 0);
}

// A resize that leaves a bar unneeded hides it and returns the picture to the
// corner, as every resize does for a narrow tall picture (its thumb stays);
// one that still needs the bars keeps offsets and thumbs; and a thumb pushed
// back by a shorter range takes the picture with it, leaving no band of
// background.
TEST_F(Form1Test, EachResizeKeepsOrResetsTheOffsets) {
  constexpr int kEnd = INT_MIN;  // the thumb dragged to the bar's end
  const struct {
    const char* what;
    QSize pixels, first;  // first: a resize before the drags, if any
    int h, v;             // the thumbs dragged to (0: not dragged)
    QSize size;
    bool hBar, vBar;
    float left, top;
    int hValue, vValue;
  } cases[] = {
      {"narrow tall", {200, 600}, {}, 0, -50, {322, 233}, false, true, 0, 0, 0, -50},
      {"widened to fit", {400, 600}, {}, -20, -50, {420, 243}, false, true, 0, 0, 0, -50},
      {"enlarged", {600, 600}, {}, kEnd, kEnd, {412, 323}, true, true, -154, -220, -154, -220},
      {"shrunk", {400, 300}, {380, 290}, -10, -5, {200, 150}, true, true, -10, -5, -10, -5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    unloadViewer();
    Form1& f = open("p.bmp", c.pixels);
    if (c.first.isValid()) f.resize(c.first);
    if (c.h) drag(f.HScroll1, c.h == kEnd ? f.HScroll1->Max() : c.h);
    if (c.v) drag(f.VScroll1, c.v == kEnd ? f.VScroll1->Max() : c.v);
    f.resize(c.size);
    EXPECT_EQ(f.HScroll1->isVisible(), c.hBar);
    EXPECT_EQ(f.VScroll1->isVisible(), c.vBar);
    EXPECT_FLOAT_EQ(f.Image1->Left(), c.left);
    EXPECT_FLOAT_EQ(f.Image1->Top(), c.top);
    EXPECT_EQ(f.HScroll1->Value(), c.hValue);
    EXPECT_EQ(f.VScroll1->Value(), c.vValue);
    if (c.h == kEnd) EXPECT_EQ(f.HScroll1->Value(), f.HScroll1->Max());
    if (c.v == kEnd) EXPECT_EQ(f.VScroll1->Value(), f.VScroll1->Max());
    drag(f.VScroll1, -60);  // the thumb moves the picture again
    EXPECT_FLOAT_EQ(f.Image1->Top(), -60);
  }
  EXPECT_EQ(form<Form1>().HScroll1->Max(), -163);  // R(150 - 300 - 12.75)
}

// Two frames of 20 ms: red, then green.
TEST_F(Form1Test, AMovingPicturePlaysWhileShownAndStopsWithTheWindow) {
  // The frames shown at each step of the timer while it runs (ten at most).
  const struct {
    const char* name;
    int loops;  // the file's loop count, -1: none
    QList<int> shown;
  } cases[] = {
      {"once.gif", -1, {1, 1}},  // stopped on the last frame
      {"twice.gif", 1, {1, 0, 1, 1}},
      {"ever.gif", 0, {1, 0, 1, 0, 1, 0, 1, 0, 1, 0}},
  };
  for (const auto& c : cases) {
    test::GifBuilder gif{40, 30, {0xFFFF0000, 0xFF00FF00}};
    gif.loops = c.loops;
    gif.images.append({.width = 40, .height = 30, .indexes = QByteArray(1200, '\0'), .delay = 2});
    gif.images.append({.width = 40, .height = 30, .indexes = QByteArray(1200, '\1'), .delay = 2});
    test::writeFile(tmp.file(QString::fromLatin1(c.name)), gif.build());
    Form1& f = view(c.name);
    ASSERT_TRUE(f.isVisible()) << c.name;
    EXPECT_EQ(f.Image1->frameShown(), 0) << c.name;
    const float width = f.Image1->Width();
    QList<int> shown;
    while (f.playing() && shown.size() < 10) {
      f.FrameTimer_Timer();
      shown << f.Image1->frameShown();
    }
    EXPECT_EQ(shown, c.shown) << c.name;
    EXPECT_FLOAT_EQ(f.Image1->Width(), width) << c.name;
  }
  // Once stopped, a late step changes nothing.
  Form1& f = view("once.gif");
  f.FrameTimer_Timer();
  f.FrameTimer_Timer();
  f.FrameTimer_Timer();
  EXPECT_EQ(f.Image1->frameShown(), 1);
  EXPECT_FALSE(f.playing());
  // The timer itself moves the frames on, and the control paints the one shown.
  view("ever.gif");
  EXPECT_TRUE(QTest::qWaitFor([&] { return f.Image1->frameShown() == 1; }, 2000));
  EXPECT_EQ(f.Image1->grab().toImage().pixel(5, 5), 0xFF00FF00);
  // Another picture stops it; so does closing the window.
  writePicture("still.bmp", QSize(40, 30));
  view("still.bmp");
  EXPECT_FALSE(f.playing());
  view("ever.gif");
  EXPECT_TRUE(f.playing());
  QTest::mouseClick(f.Image1, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_FALSE(viewerLoaded());
  EXPECT_FALSE(f.playing());
}

TEST_F(Form1Test, ReopenWhileLoadedFitsTheBarsToTheNewPictureAndOneThatCannotBeReadLeavesNoViewer) {
  Form1& f = open("small.bmp", QSize(100, 80));
  EXPECT_FALSE(f.HScroll1->isVisible());
  EXPECT_FALSE(f.VScroll1->isVisible());
  // A large picture in the same, already loaded window: showing it again
  // is a resize step, so the bars come up for it without the user resizing.
  writePicture("big.bmp", QSize(800, 600));
  view("big.bmp");
  EXPECT_EQ(&form<Form1>(), &f);
  EXPECT_EQ(f.Caption(), QStringLiteral("big.bmp"));
  // Decoded before its first screen was looked for: answered once, whole.
  QTest::qWait(30);
  EXPECT_EQ(f.Image1->picture().progress(), nullptr);
  EXPECT_FLOAT_EQ(f.Image1->Width(), 600);
  EXPECT_TRUE(f.HScroll1->isVisible());
  EXPECT_TRUE(f.VScroll1->isVisible());
  EXPECT_LT(f.HScroll1->Max(), 0);
  EXPECT_LT(f.VScroll1->Max(), 0);
  // And back: a scrolled picture replaced by a small one returns to the corner.
  drag(f.HScroll1, -30);
  EXPECT_FLOAT_EQ(f.Image1->Left(), -30);
  view("small.bmp");
  EXPECT_FALSE(f.HScroll1->isVisible());
  EXPECT_FALSE(f.VScroll1->isVisible());
  EXPECT_FLOAT_EQ(f.Image1->Left(), 0);
  // A picture gone before the first open, or spoiled before a reopen of the loaded viewer: reported
  // by name, and no viewer is left open or stale.
  writePicture("gone.bmp", QSize(40, 30));
  select("gone.bmp");
  QFile::remove(tmp.file(QStringLiteral("gone.bmp")));
  Form::runHandler([] { form<Ostrel_View>().Image1_Click(); });
  EXPECT_FALSE(viewerLoaded());
  ASSERT_EQ(test::fakes().messageBox.calls.size(), 1U);
  EXPECT_TRUE(test::fakes().messageBox.calls[0].prompt.contains(QStringLiteral("gone.bmp")));

  open("big.bmp", QSize(400, 300));
  writePicture("next.bmp", QSize(40, 30));
  select("next.bmp");
  tmp.write(QStringLiteral("next.bmp"), "not a picture at all");
  Form::runHandler([] { form<Ostrel_View>().Image1_Click(); });
  EXPECT_FALSE(viewerLoaded());
  ASSERT_EQ(test::fakes().messageBox.calls.size(), 2U);
  EXPECT_TRUE(test::fakes().messageBox.calls[1].prompt.contains(QStringLiteral("next.bmp")));
}

// The loader on worker threads for one test, as in the program.
class ThreadedPictures {
 public:
  ThreadedPictures() { services().pictures = &loader_; }
  ~ThreadedPictures() {
    Unload<Form1>();
    services().pictures = test::fakes().pictures.get();
  }

 private:
  JobService jobs_{std::make_unique<ThreadJobRunner>(), [](const ToolkitError&) {}};
  PictureLoader loader_{jobs_};
};

// While the rest of a large photo decodes: the viewer is laid out as for the
// whole picture, and closing it stops the decode within a group of rows.
TEST_F(Form1Test, APictureStillFillingIsLaidOutAsWholeAndClosingStopsItsDecode) {
  constexpr int kHeight = 3200;
  QImage photo(2400, kHeight, QImage::Format_RGB32);
  for (int y = 0; y < kHeight; ++y) {
    auto* row = reinterpret_cast<QRgb*>(photo.scanLine(y));
    for (int x = 0; x < photo.width(); ++x) row[x] = qRgb(x * 7 % 256, y % 256, (x ^ y) % 256);
  }
  ASSERT_TRUE(photo.save(tmp.file(QStringLiteral("photo.jpg")), "JPG", 90));
  const ThreadedPictures threaded;
  select("photo.jpg");
  Ostrel_View& main = form<Ostrel_View>();
  const QString name = tmp.file(QStringLiteral("photo.jpg"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return main.viewerFile() == name; }, 5000));
  const auto layoutOf = [](Form1& f) {
    return std::tuple(f.Image1->Width(), f.Image1->Height(), f.HScroll1->isVisible(),
                      f.HScroll1->Max(), f.VScroll1->isVisible(), f.VScroll1->Max());
  };
  const auto openViewer = [&] {
    main.Image1_Click();
    EXPECT_TRUE(QTest::qWaitFor([] { return viewerLoaded() && form<Form1>().isVisible(); }, 5000));
  };

  openViewer();
  const Picture filling = form<Form1>().Image1->picture();
  ASSERT_NE(filling.progress(), nullptr) << "decoded whole before the viewer opened";
  const auto early = layoutOf(form<Form1>());
  unloadViewer();
  const int atClose = filling.progress()->readyRows().height();
  ASSERT_TRUE(QTest::qWaitFor([&] { return filling.progress()->ended(); }, 5000));
  const int decoded = filling.progress()->readyRows().height();
  EXPECT_LE(decoded - atClose, 16);
  EXPECT_LT(decoded, kHeight);

  openViewer();
  ASSERT_TRUE(QTest::qWaitFor(
      [] { return viewerLoaded() && form<Form1>().Image1->picture().progress() == nullptr; },
      5000));
  EXPECT_EQ(layoutOf(form<Form1>()), early);
  EXPECT_EQ(form<Form1>().Image1->picture().naturalSize(), photo.size());
}

}  // namespace
}  // namespace ostrel
