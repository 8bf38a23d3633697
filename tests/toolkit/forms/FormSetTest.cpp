#include <gtest/gtest.h>

#include <QApplication>
#include <QMoveEvent>
#include <QPointer>
#include <QTest>

#include "tests/support/FakeServices.h"
#include "toolkit/ToolkitError.h"
#include "toolkit/controls/CommandButton.h"
#include "toolkit/forms/FormSet.h"

namespace ostrel {
namespace {

using test::fakes;

void flushDeletes() {
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

class Counted : public Form {
 public:
  Counted() {
    Button = new CommandButton(this, QStringLiteral("Button"));
    Button->setCaption(QStringLiteral("design"));
    on(Button, &CommandButton::Click, [this] { Button_Click(); });
    ++constructed;
  }
  void Button_Click() {
    ++clicks;
    if (failClick) throw ToolkitError(err::FileNotFound, QStringLiteral("File not found: x"));
  }
  CommandButton* Button;
  int clicks = 0;
  bool failClick = false;
  int resizes = 0;
  static inline int constructed = 0;
  static inline int loads = 0;

 protected:
  void Form_Load() override { ++loads; }
  void Form_Resize() override { ++resizes; }
};

class Other : public Form {};

class FailsToLoad : public Form {
 protected:
  void Form_Load() override { throw ToolkitError(err::InvalidPicture, QStringLiteral("bad")); }
};

class FormSetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Counted::constructed = 0;
    Counted::loads = 0;
  }
};

TEST_F(FormSetTest, FirstReferenceLoadsOnceUntilUnloadAndTheNextLoadsAfresh) {
  EXPECT_FALSE(FormSet::instance().isLoaded<Counted>());
  EXPECT_EQ(loadedForm<Counted>(), nullptr);  // asking never loads one
  EXPECT_EQ(Counted::constructed, 0);
  Counted& a = form<Counted>();
  Counted& b = form<Counted>();
  EXPECT_EQ(&a, &b);
  EXPECT_EQ(loadedForm<Counted>(), &a);
  EXPECT_EQ(Counted::loads, 1);
  a.Show();
  a.showMinimized();
  a.Show();  // only brings it forward, minimised or not
  EXPECT_EQ(Counted::loads, 1);
  EXPECT_TRUE(a.isVisible() && !a.isMinimized());

  QPointer<Counted> first = &a;
  first->Button->setCaption(QStringLiteral("changed"));
  Unload<Counted>();
  EXPECT_FALSE(FormSet::instance().isLoaded<Counted>());
  EXPECT_EQ(loadedForm<Counted>(), nullptr);
  flushDeletes();
  EXPECT_TRUE(first.isNull());
  Counted& second = form<Counted>();
  EXPECT_EQ(second.Button->Caption(), QStringLiteral("design"));
  EXPECT_EQ(Counted::loads, 2);
  EXPECT_EQ(Counted::constructed, 2);
}

TEST_F(FormSetTest, ProgramEndsWhenTheLastLoadedWindowGoesAndAFailedLoadLeavesNone) {
  Unload<Counted>();  // not loaded: nothing happens
  EXPECT_EQ(fakes().process.ends, 0);
  form<Counted>().Show();
  form<Other>();  // loaded, never shown
  Unload<Counted>();
  Unload<Counted>();
  EXPECT_EQ(fakes().process.ends, 0);
  EXPECT_TRUE(FormSet::instance().isLoaded<Other>());
  Unload<Other>();
  EXPECT_EQ(fakes().process.ends, 1);
  EXPECT_EQ(fakes().process.lastExitCode, 0);

  // A window whose load fails is not left loaded.
  EXPECT_THROW(form<FailsToLoad>(), ToolkitError);
  EXPECT_FALSE(FormSet::instance().isLoaded<FailsToLoad>());
  EXPECT_EQ(FormSet::instance().loadedCount(), 0);
}

TEST_F(FormSetTest, UntrappedErrorIsShownWithTheProgramTitleAndTheProgramGoesOn) {
  Counted& f = form<Counted>();
  f.Show();
  f.failClick = true;
  QTest::mouseClick(f.Button, Qt::LeftButton);
  ASSERT_EQ(fakes().messageBox.calls.size(), 1u);
  EXPECT_EQ(fakes().messageBox.calls[0].title, QStringLiteral("Ostrel_Viewer"));
  EXPECT_EQ(fakes().messageBox.calls[0].prompt, QStringLiteral("File not found: x"));
  f.failClick = false;
  QTest::mouseClick(f.Button, Qt::LeftButton);
  EXPECT_EQ(f.clicks, 2);
  EXPECT_EQ(fakes().messageBox.calls.size(), 1u);
}

TEST_F(FormSetTest, ResizeComesOnFirstDisplayAndOnEachSizeChange) {
  Counted& f = form<Counted>();
  f.setDesignClientArea(0, 0, 4500, 3000);
  EXPECT_EQ(f.resizes, 0);
  f.Show();
  EXPECT_EQ(f.resizes, 1);
  // Shown again after Hide: what it holds may have changed meanwhile.
  f.Hide();
  f.Show();
  EXPECT_EQ(f.resizes, 2);
  f.Show();  // already shown: only brought forward
  EXPECT_EQ(f.resizes, 2);
  f.resize(400, 250);
  EXPECT_EQ(f.resizes, 3);
}

// A window manager tells the frame only once the window is mapped; the
// first layout used the assumed one.
class Framed : public Form {
 public:
  QMargins frame{4, 23, 4, 4};
  float widthAtLastResize = 0;

 protected:
  QMargins frameMargins() const override { return frame; }
  void Form_Resize() override { widthAtLastResize = Width(); }
};

TEST_F(FormSetTest, AFrameLearntAfterTheFirstDisplayLaysTheWindowOutAgain) {
  Framed& f = form<Framed>();
  f.resize(533, 461);
  f.Show();
  EXPECT_FLOAT_EQ(f.widthAtLastResize, (533 + 8) * 15);
  f.frame = QMargins(1, 20, 1, 5);
  QMoveEvent framed(QPoint(1, 20), QPoint(0, 0));
  QApplication::sendEvent(&f, &framed);
  EXPECT_FLOAT_EQ(f.widthAtLastResize, (533 + 2) * 15);
}

}  // namespace
}  // namespace ostrel
