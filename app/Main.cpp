#include <QApplication>

#include "app/Module1.h"
#include "app/QtServices.h"
#include "app/StartupProbe.h"
#include "app/Translations.h"
#include "toolkit/App.h"
#include "toolkit/Icons.h"
#include "toolkit/jobs/ThreadJobRunner.h"

int main(int argc, char** argv) {
  ostrel::ignoreFileSizeSignal();
  QApplication application(argc, argv);
  QApplication::setApplicationName(ostrel::App().Title);
  QApplication::setApplicationVersion(ostrel::App().FileVersion);
  QApplication::setDesktopFileName(ostrel::App().AppId);
  QApplication::setWindowIcon(ostrel::Icons::program());
  // The program ends when its last loaded window is unloaded, hidden or not.
  QApplication::setQuitOnLastWindowClosed(false);

  // Before the first window exists: captions are set when a window is made.
  ostrel::Translations translations;
  translations.install(QLocale::system());

  ostrel::QtServices services;
  services.install();
  ostrel::StartupProbe::installIfRequested();
  ostrel::Main();
  const int code = QApplication::exec();
  // Work still running is cancelled now; should any outlast the wait, it
  // must not meet the program's statics being destroyed.
  return ostrel::ThreadJobRunner::leaveProcess(code, std::chrono::seconds(2));
}
