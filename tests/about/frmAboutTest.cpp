#include <gtest/gtest.h>

#include <QTest>

#include "about/frmAbout.h"
#include "tests/support/FakeServices.h"
#include "toolkit/forms/FormSet.h"

namespace ostrel {
namespace {

TEST(AboutTest, LoadFillsCaptionVersionAndTitle) {
  frmAbout& about = form<frmAbout>();
  EXPECT_EQ(about.Caption(), QStringLiteral("About Ostrel_Viewer"));
  EXPECT_EQ(about.lblVersion->Caption(), QStringLiteral("Version 1.4.0"));
  EXPECT_EQ(about.lblTitle->Caption(), QStringLiteral("Ostrel_Viewer"));
  for (const LineControl* line : about.Line1) {
    EXPECT_LE(line->geometry().right(), about.width() - line->x())
        << "the separator meets the edge";
  }
}

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
