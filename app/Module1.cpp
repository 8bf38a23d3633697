#include "app/Module1.h"

#include <csignal>

#include <QTimer>

#include "main_window/Ostrel_View.h"
#include "text_window/InterruptedSaves.h"
#include "toolkit/forms/FormSet.h"

namespace ostrel {

void Main() {
  Ostrel_View& main = form<Ostrel_View>();
  main.Show();
  QTimer::singleShot(0, &main, [&main] { InterruptedSaves::offer(&main); });
}

void ignoreFileSizeSignal() {
  std::signal(SIGXFSZ, SIG_IGN);
}

}  // namespace ostrel
