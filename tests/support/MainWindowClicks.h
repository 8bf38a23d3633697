#pragma once

#include <gtest/gtest.h>

#include "main_window/Ostrel_View.h"
#include "picture_viewer/Form1.h"
#include "tests/support/TempDir.h"
#include "toolkit/forms/FormSet.h"

namespace ostrel::test {

// Selects name in the main window's file list on dir, as a click on its row does.
inline void clickFile(const TempDir& dir, const QString& name) {
  Ostrel_View& main = form<Ostrel_View>();
  main.Dir1->setPath(dir.path());
  main.File1->Refresh();
  ASSERT_TRUE(main.File1->clickName(name)) << name.toStdString();
}

// The viewer on name, opened as a click on the preview opens it.
inline Form1& viewPicture(const TempDir& dir, const QString& name) {
  clickFile(dir, name);
  form<Ostrel_View>().Image1_Click();
  return form<Form1>();
}

}  // namespace ostrel::test
