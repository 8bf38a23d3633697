#include "toolkit/forms/ProcessService.h"

#include <QCoreApplication>

namespace ostrel {

void QtProcessService::end(int exitCode) {
  QCoreApplication::exit(exitCode);
}

}  // namespace ostrel
