#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QWidget>

namespace ostrel::test {

// Puts widget on screen at size, in the active window, with the keyboard
// focus: as the user has it before typing or clicking.
inline ::testing::AssertionResult showFocused(QWidget& widget, QSize size = {400, 200}) {
  widget.resize(size);
  widget.show();
  if (!QTest::qWaitForWindowExposed(&widget)) {
    return ::testing::AssertionFailure() << "the window was never shown";
  }
  QApplication::setActiveWindow(&widget);
  widget.setFocus();
  return ::testing::AssertionSuccess();
}

}  // namespace ostrel::test
