#pragma once

#include <memory>

#include "toolkit/jobs/JobTask.h"

namespace ostrel {

// The caller's hold on a started job: cheap to copy, empty by default. It
// never waits: cancel() and forget, the job drops its result.
class JobHandle {
 public:
  JobHandle() = default;

  // The job's answer is dropped, and its work stops at its next check.
  void cancel() const;
  // Started, and neither answered, dropped nor cancelled yet.
  bool running() const;
  // What the work reported, 0 to 1000 (0 for an empty handle).
  int permille() const;
  qint64 done() const;
  qint64 total() const;

  bool operator==(const JobHandle& other) const { return task_ == other.task_; }
  explicit operator bool() const { return task_ != nullptr; }

 private:
  friend class JobService;
  explicit JobHandle(std::shared_ptr<JobTask> task) : task_(std::move(task)) {}

  std::shared_ptr<JobTask> task_;
};

}  // namespace ostrel
