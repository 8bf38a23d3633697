#include "bench/support/PeakMemory.h"

#include <malloc.h>

#include <QByteArray>
#include <QFile>
#include <QList>

namespace ostrel::bench {

void PeakMemory::reset() {
  malloc_trim(0);
  QFile reset(QStringLiteral("/proc/self/clear_refs"));
  if (reset.open(QIODevice::WriteOnly)) reset.write("5");
}

double PeakMemory::mebibytes() {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return 0;
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ')[0].toDouble() / 1024;
  }
  return 0;
}

}  // namespace ostrel::bench
