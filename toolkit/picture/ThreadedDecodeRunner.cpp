#include "toolkit/picture/ThreadedDecodeRunner.h"

#include <QMetaObject>
#include <QPointer>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "toolkit/picture/DecodeCancel.h"

namespace ostrel {

struct ThreadedDecodeRunner::Lane {
  std::mutex mutex;
  std::condition_variable wake;
  std::optional<Job> waiting;
  Finished waitingFinished;
  // The job the thread runs now, and the flag that cancels it.
  quint64 running = 0;
  std::shared_ptr<std::atomic<bool>> cancel;
  // The newest job handed in: only its result is delivered.
  std::atomic<quint64> newest{0};
  bool quit = false;
  std::thread thread;

  void cancelRunning() {
    if (cancel) cancel->store(true);
  }
};

ThreadedDecodeRunner::ThreadedDecodeRunner() : receiver_(std::make_unique<QObject>()) {}

ThreadedDecodeRunner::~ThreadedDecodeRunner() {
  for (auto& l : lanes_) {
    {
      const std::lock_guard lock(l->mutex);
      l->quit = true;
      l->waiting.reset();
      l->newest = 0;
      l->cancelRunning();
    }
    l->wake.notify_all();
  }
  for (auto& l : lanes_) {
    if (l->thread.joinable()) l->thread.join();
  }
}

ThreadedDecodeRunner::Lane& ThreadedDecodeRunner::lane(int index) {
  while (int(lanes_.size()) <= index) lanes_.push_back(std::make_unique<Lane>());
  Lane& l = *lanes_[size_t(index)];
  if (l.thread.joinable()) return l;
  QPointer<QObject> receiver(receiver_.get());
  l.thread = std::thread([&l, receiver] {
    for (;;) {
      Job job;
      Finished finished;
      std::shared_ptr<std::atomic<bool>> cancel;
      {
        std::unique_lock lock(l.mutex);
        l.wake.wait(lock, [&] { return l.quit || l.waiting; });
        if (l.quit) return;
        job = *l.waiting;
        finished = std::move(l.waitingFinished);
        l.waiting.reset();
        cancel = std::make_shared<std::atomic<bool>>(false);
        l.cancel = cancel;
        l.running = job.id;
      }
      std::optional<Outcome> outcome;
      try {
        const DecodeCancel::Scope scope(cancel.get());
        outcome = decode(job);
      } catch (const DecodeCancel::Cancelled&) {
      }
      {
        const std::lock_guard lock(l.mutex);
        l.running = 0;
        l.cancel.reset();
      }
      if (!outcome || cancel->load()) continue;
      // The receiver belongs to the interface thread: the call runs there,
      // or not at all once the runner is gone.
      QMetaObject::invokeMethod(
          receiver.data(),
          [&l, finished = std::move(finished), outcome = std::move(*outcome)] {
            if (l.newest.load() == outcome.id) finished(outcome);
          },
          Qt::QueuedConnection);
    }
  });
  return l;
}

void ThreadedDecodeRunner::start(const Job& job, Finished finished) {
  Lane& l = lane(job.lane);
  {
    const std::lock_guard lock(l.mutex);
    l.newest = job.id;
    l.waiting = job;
    l.waitingFinished = std::move(finished);
    l.cancelRunning();
  }
  l.wake.notify_one();
}

void ThreadedDecodeRunner::stop(int index) {
  if (index >= int(lanes_.size())) return;
  Lane& l = *lanes_[size_t(index)];
  const std::lock_guard lock(l.mutex);
  l.newest = 0;
  l.waiting.reset();
  l.waitingFinished = nullptr;
  l.cancelRunning();
}

}  // namespace ostrel
