#include "app/StartupProbe.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace ostrel {

void StartupProbe::installIfRequested() {
  if (qEnvironmentVariableIsEmpty("OSTREL_QUIT_AFTER_FIRST_PAINT")) return;
  qApp->installEventFilter(new StartupProbe(qApp));
}

bool StartupProbe::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Paint && !quitting_) {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget && widget->isWindow()) {
      quitting_ = true;
      // Queued, so the paint this event starts reaches the screen first.
      QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace ostrel
