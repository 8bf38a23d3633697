#include "toolkit/jobs/JobControl.h"

namespace ostrel {

void JobControl::throwIfCancelled() const {
  if (cancelled()) throw Cancelled{};
}

bool JobControl::report(qint64 done, qint64 total) noexcept {
  total_.store(total, std::memory_order_relaxed);
  done_.store(done, std::memory_order_relaxed);
  return !cancelled();
}

int JobControl::permille() const noexcept {
  const qint64 t = total();
  if (t <= 0) return 0;
  return static_cast<int>(qBound<qint64>(0, done(), t) * 1000 / t);
}

}  // namespace ostrel
