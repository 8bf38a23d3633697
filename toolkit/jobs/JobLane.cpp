#include "toolkit/jobs/JobLane.h"

namespace ostrel {

void JobLane::cancel() {
  current_.cancel();
  current_ = {};
}

void JobLane::replace(const JobHandle& newer) {
  current_.cancel();
  current_ = newer;
}

}  // namespace ostrel
