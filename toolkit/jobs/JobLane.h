#pragma once

#include "toolkit/jobs/JobHandle.h"

namespace ostrel {

// Jobs for one purpose (the preview, the viewer, the prefetch, a count) of
// which only the newest matters: a job started in the lane cancels the one
// before, whose answer is then never delivered, even if it was already on
// its way. Going away cancels the lane's job.
class JobLane {
 public:
  JobLane() = default;
  ~JobLane() { cancel(); }
  JobLane(const JobLane&) = delete;
  JobLane& operator=(const JobLane&) = delete;

  // Cancels the lane's job.
  void cancel();
  // Whether the lane's newest job still runs.
  bool busy() const { return current_.running(); }
  const JobHandle& current() const { return current_; }

 private:
  friend class JobService;
  // The one place a newer job replaces an older one.
  void replace(const JobHandle& newer);

  JobHandle current_;
};

}  // namespace ostrel
