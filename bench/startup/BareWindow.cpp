// The yardstick for start-up: a Qt Widgets window of the main window's size
// and nothing in it.
#include <QApplication>
#include <QWidget>

#include "app/StartupProbe.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  ostrel::StartupProbe::installIfRequested();
  QWidget window;
  window.setWindowTitle("bare");
  window.resize(288, 350);
  window.show();
  return QApplication::exec();
}
