#include "toolkit/controls/ProgressStrip.h"

#include <gtest/gtest.h>

#include <QPushButton>

namespace ostrel {
namespace {

TEST(ProgressStrip, CancelStopsOnlyWorkThatMayBeCancelledAndTheNextRunStartsAfresh) {
  QWidget window;
  ProgressStrip strip(&window, QStringLiteral("WorkProgress"));
  {
    ProgressStrip::Run run(strip, QStringLiteral("Printing"), ProgressStrip::Cancel::Allowed,
                           ProgressStrip::Input::Answered);
    EXPECT_TRUE(run(1, 10));
    strip.findChild<QPushButton*>(QStringLiteral("Cancel"))->click();
    EXPECT_FALSE(run(2, 10));
    EXPECT_TRUE(strip.isRunning());
  }
  EXPECT_FALSE(strip.isRunning());
  EXPECT_TRUE(strip.isHidden());
  {
    ProgressStrip::Run run(strip, QStringLiteral("Saving"), ProgressStrip::Cancel::NotAllowed,
                           ProgressStrip::Input::Held);
    EXPECT_TRUE(run(1, 10)) << "an earlier cancel does not carry over";
    strip.cancel();
    EXPECT_TRUE(run(2, 10)) << "a save is not cut short";
  }
}

}  // namespace
}  // namespace ostrel
