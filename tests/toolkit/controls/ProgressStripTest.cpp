#include "toolkit/controls/ProgressStrip.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPointer>
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

TEST(ProgressStrip, AWindowUnloadedDuringTheWorkIsDeletedOnlyAfterIt) {
  QPointer<QWidget> window = new QWidget;
  auto* strip = new ProgressStrip(window, QStringLiteral("WorkProgress"));
  {
    ProgressStrip::Run run(*strip, QStringLiteral("Saving"), ProgressStrip::Cancel::NotAllowed,
                           ProgressStrip::Input::Answered);
    window->deleteLater();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_FALSE(window.isNull()) << "deleted under the running work";
    EXPECT_TRUE(run(1, 2));
  }
  EXPECT_FALSE(window.isNull()) << "not while the work's caller is still running";
  QCoreApplication::processEvents();
  EXPECT_TRUE(window.isNull()) << "the held-back deletion is not lost";
}

}  // namespace
}  // namespace ostrel
