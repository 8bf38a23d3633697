#pragma once

#include <QObject>

namespace ostrel {

// Ends the program with status 0 as soon as its first window has painted,
// when OSTREL_QUIT_AFTER_FIRST_PAINT is set in the environment. The start-up
// benchmark times whole processes with it: exec to a window on the screen.
class StartupProbe : public QObject {
  Q_OBJECT
 public:
  // Installs the probe on the application when the variable asks for it.
  static void installIfRequested();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  using QObject::QObject;
  bool quitting_ = false;
};

}  // namespace ostrel
