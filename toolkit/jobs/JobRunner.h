#pragma once

#include <memory>

#include "toolkit/jobs/JobTask.h"

namespace ostrel {

// Where jobs run: worker threads in the program (ThreadJobRunner), a double
// in tests that runs them when the test says so.
class JobRunner {
 public:
  virtual ~JobRunner() = default;
  // Runs task->run() and afterwards task->deliver() on the thread the runner
  // was made on. Must not wait for the work. A runner that is being
  // destroyed delivers nothing more.
  virtual void launch(std::shared_ptr<JobTask> task) = 0;
};

}  // namespace ostrel
