#pragma once

#include <QStringList>
#include <deque>
#include <exception>
#include <memory>

#include "toolkit/jobs/JobRunner.h"

namespace ostrel::test {

// Runs jobs on the test's own thread: each as it is launched, or, while
// holding, only when the test says so. Like a worker that had already
// finished when it was told to stop, it runs and answers every job it was
// given, cancelled or not: the service and its callers alone must drop what
// is stale.
class FakeJobRunner : public JobRunner {
 public:
  void launch(std::shared_ptr<JobTask> task) override;

  // Runs the oldest waiting job and delivers its answer; false when none waits.
  bool runNext();
  void runAll();
  // Runs the oldest waiting job's work but keeps its answer back until
  // deliverNext(): as a worker whose answer is still in the event queue.
  bool runNextWithoutDelivering();
  bool deliverNext();
  // The names of the jobs waiting to run, oldest first.
  QStringList waiting() const;

  bool holding = false;  // false: each job runs and answers as it is launched
  // When set, the work of every job run fails with this instead of running,
  // as if it had thrown it (std::bad_alloc, say).
  std::exception_ptr failure;
  int ran = 0;  // jobs whose work ran

 private:
  void run(JobTask& task);

  std::deque<std::shared_ptr<JobTask>> waiting_;
  std::deque<std::shared_ptr<JobTask>> ran_;
};

}  // namespace ostrel::test
