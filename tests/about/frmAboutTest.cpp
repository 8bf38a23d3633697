#include <gtest/gtest.h>

#include <QTest>

#include "about/frmAbout.h"
#include "tests/support/FakeServices.h"
#include "toolkit/forms/FormSet.h"

namespace ostrel {
namespace {

TEST(AboutTest, EnterEscOkAndTheCloseBoxAllUnload) {
  const auto keys = {Qt::Key_Return, Qt::Key_Escape, Qt::Key_Enter};
  for (Qt::Key key : keys) {
    frmAbout& about = form<frmAbout>();
    about.Show();
    QTest::keyClick(&about, key);
    EXPECT_FALSE(FormSet::instance().isLoaded<frmAbout>()) << key;
  }
  frmAbout& about = form<frmAbout>();
  about.Show();
  QTest::mouseClick(about.cmdOK, Qt::LeftButton);
  EXPECT_FALSE(FormSet::instance().isLoaded<frmAbout>());
  form<frmAbout>().Show();
  form<frmAbout>().close();
  EXPECT_FALSE(FormSet::instance().isLoaded<frmAbout>());
}

}  // namespace
}  // namespace ostrel
