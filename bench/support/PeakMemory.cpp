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
  return double(statusKilobytes("VmHWM")) / 1024;
}

qint64 PeakMemory::statusKilobytes(const char* field) {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return 0;
  const QByteArray key = QByteArray(field) + ':';
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (line.startsWith(key)) return line.mid(key.size()).trimmed().split(' ')[0].toLongLong();
  }
  return 0;
}

}  // namespace ostrel::bench
