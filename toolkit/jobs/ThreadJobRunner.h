#pragma once

#include <QtGlobal>
#include <chrono>
#include <memory>

#include "toolkit/jobs/JobRunner.h"

namespace ostrel {

// Runs each job on a thread of its own, at once: a cancelled job still
// busy with a chunk never holds up the next one. The answer comes back
// through the event loop of the thread that made the runner. Destroying the
// runner waits for nothing; threads still running finish on their own and
// their answers are dropped.
class ThreadJobRunner : public JobRunner {
 public:
  ThreadJobRunner();
  ~ThreadJobRunner() override;
  ThreadJobRunner(const ThreadJobRunner&) = delete;
  ThreadJobRunner& operator=(const ThreadJobRunner&) = delete;

  void launch(std::shared_ptr<JobTask> task) override;

  // For the end of the process: waits for the work that must finish, as
  // long as it takes, cancels the rest and waits up to grace for it. Work
  // that outlives the wait could meet the program's statics being
  // destroyed, so then the process ends here with exitCode, skipping them.
  // Returns exitCode otherwise.
  static int leaveProcess(int exitCode, std::chrono::milliseconds grace);
  // Worker threads running now, in the whole process.
  static int threadsRunning();

 private:
  struct Mailbox;
  std::shared_ptr<Mailbox> mailbox_;
};

}  // namespace ostrel
