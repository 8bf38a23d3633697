#pragma once

#include <QtGlobal>
#include <atomic>

namespace ostrel {

// What a job and the interface share: the cancel flag the work looks at
// between its chunks, and the progress it reports. Either side may use it
// from any thread.
class JobControl {
 public:
  // Thrown by throwIfCancelled(); the job then delivers nothing.
  struct Cancelled {};

  // Whether the end of the service or of the process cancels the job (a
  // preview), or waits for it (a save, which must never stop half-way).
  enum class Ending { Cancel, Finish };

  explicit JobControl(Ending ending = Ending::Cancel) : ending_(ending) {}
  JobControl(const JobControl&) = delete;
  JobControl& operator=(const JobControl&) = delete;

  bool cancelled() const noexcept { return cancelled_.load(std::memory_order_relaxed); }
  void throwIfCancelled() const;
  // The flag itself, for code that polls its own way (DecodeCancel::Scope).
  const std::atomic<bool>& cancelFlag() const noexcept { return cancelled_; }

  // done of total units of work; false once the job is cancelled, so it can
  // serve as a "go on?" callback.
  bool report(qint64 done, qint64 total) noexcept;
  qint64 done() const noexcept { return done_.load(std::memory_order_relaxed); }
  qint64 total() const noexcept { return total_.load(std::memory_order_relaxed); }
  // 0 to 1000, for a progress strip.
  int permille() const noexcept;

  // The interface side: JobHandle::cancel() and the service call it.
  void cancel() noexcept { cancelled_.store(true, std::memory_order_relaxed); }
  Ending ending() const noexcept { return ending_; }

 private:
  Ending ending_;
  std::atomic<bool> cancelled_{false};
  std::atomic<qint64> done_{0};
  std::atomic<qint64> total_{0};
};

}  // namespace ostrel
