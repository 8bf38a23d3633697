#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>

#include "tests/support/FakeServices.h"
#include "toolkit/forms/FormSet.h"

namespace {

// Every test starts with no window loaded, fresh doubles and the directory
// the suite started in.
class CleanSlate : public ::testing::EmptyTestEventListener {
 public:
  void OnTestStart(const ::testing::TestInfo&) override {
    ostrel::FormSet::instance().reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ostrel::test::fakes().clear();
    QDir::setCurrent(start_);
  }
  void OnTestEnd(const ::testing::TestInfo&) override {
    ostrel::FormSet::instance().reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

 private:
  QString start_ = QDir::currentPath();
};

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  ::testing::InitGoogleTest(&argc, argv);
  ostrel::test::fakes().install();
  ::testing::UnitTest::GetInstance()->listeners().Append(new CleanSlate);
  return RUN_ALL_TESTS();
}
