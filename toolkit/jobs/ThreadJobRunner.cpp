#include "toolkit/jobs/ThreadJobRunner.h"

#include <QMetaObject>
#include <QObject>
#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <list>
#include <mutex>
#include <thread>

namespace ostrel {

namespace {

// Every worker of the process. Made once and never destroyed, so a worker
// that is still running when the statics go can still sign off here.
struct Workers {
  std::mutex mutex;
  std::condition_variable idle;
  std::list<std::weak_ptr<JobTask>> running;

  static Workers& all() {
    static auto* workers = new Workers;
    return *workers;
  }
};

}  // namespace

// Where finished work posts its answer. The answer is posted under the lock,
// and the runner closes the box under it before its receiver goes, so no
// answer is ever posted to a receiver that is gone.
struct ThreadJobRunner::Mailbox {
  std::mutex mutex;
  QObject* receiver = nullptr;  // on the runner's thread; null once closed

  void post(const std::shared_ptr<JobTask>& task) {
    const std::lock_guard lock(mutex);
    if (!receiver) return;
    QMetaObject::invokeMethod(
        receiver, [task] { task->deliver(); }, Qt::QueuedConnection);
  }
};

ThreadJobRunner::ThreadJobRunner() : mailbox_(std::make_shared<Mailbox>()) {
  mailbox_->receiver = new QObject;
}

ThreadJobRunner::~ThreadJobRunner() {
  QObject* receiver = nullptr;
  {
    const std::lock_guard lock(mailbox_->mutex);
    receiver = std::exchange(mailbox_->receiver, nullptr);
  }
  // Answers already posted are discarded with it.
  delete receiver;
}

void ThreadJobRunner::launch(std::shared_ptr<JobTask> task) {
  Workers& workers = Workers::all();
  std::list<std::weak_ptr<JobTask>>::iterator entry;
  {
    const std::lock_guard lock(workers.mutex);
    entry = workers.running.insert(workers.running.end(), task);
  }
  const auto signOff = [entry] {
    Workers& workers = Workers::all();
    const std::lock_guard lock(workers.mutex);
    workers.running.erase(entry);
    workers.idle.notify_all();
  };
  try {
    std::thread([task, mailbox = mailbox_, signOff]() mutable {
      task->run();
      mailbox->post(task);
      // The last hold on the task may be this one: what it kept goes here.
      task.reset();
      mailbox.reset();
      signOff();
    }).detach();
  } catch (...) {
    // No thread to be had (a process limit): the job ends in that error.
    signOff();
    task->fail(JobTask::errorOf(std::current_exception()));
    mailbox_->post(task);
  }
}

int ThreadJobRunner::threadsRunning() {
  Workers& workers = Workers::all();
  const std::lock_guard lock(workers.mutex);
  return static_cast<int>(workers.running.size());
}

int ThreadJobRunner::leaveProcess(int exitCode, std::chrono::milliseconds grace) {
  Workers& workers = Workers::all();
  std::unique_lock lock(workers.mutex);
  const auto mustFinish = [&] {
    return std::any_of(workers.running.begin(), workers.running.end(), [](const auto& weak) {
      const auto task = weak.lock();
      return task && task->control().ending() == JobControl::Ending::Finish;
    });
  };
  for (const std::weak_ptr<JobTask>& weak : workers.running) {
    const auto task = weak.lock();
    if (task && task->control().ending() == JobControl::Ending::Cancel) task->control().cancel();
  }
  workers.idle.wait(lock, [&] { return !mustFinish(); });
  if (workers.idle.wait_for(lock, grace, [&] { return workers.running.empty(); })) {
    return exitCode;
  }
  std::fflush(nullptr);
  std::_Exit(exitCode);
}

}  // namespace ostrel
