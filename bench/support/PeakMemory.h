#pragma once

#include <QtGlobal>

namespace ostrel::bench {

// The process's peak resident memory, as the kernel keeps it, for the
// benchmarks' peak_MiB counters.
class PeakMemory {
 public:
  // Starts a new peak from what is resident now; what earlier benchmarks
  // freed goes back to the system first, or it would count as this one's.
  static void reset();
  // The peak since the last reset(), in MiB (0 where the kernel does not say).
  static double mebibytes();
  // A field of /proc/self/status in kB ("VmHWM", "VmRSS"; 0 where missing).
  static qint64 statusKilobytes(const char* field);
};

}  // namespace ostrel::bench
