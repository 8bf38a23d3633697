#include "toolkit/jobs/JobService.h"

#include <algorithm>

namespace ostrel {

JobService::JobService(std::unique_ptr<JobRunner> runner, Reporter reporter)
    : runner_(std::move(runner)), reporter_(std::move(reporter)) {}

JobService::~JobService() {
  cancelAll();
  // The runner goes before the jobs' last holders: nothing is delivered
  // once the service is gone.
  runner_.reset();
}

void JobService::report(const ToolkitError& error) const {
  if (reporter_) reporter_(error);
}

void JobService::cancelAll() {
  for (const JobHandle& job : jobs_) {
    if (job.task_->control().ending() == JobControl::Ending::Cancel) job.cancel();
  }
  std::erase_if(jobs_, [](const JobHandle& j) { return !j.running(); });
}

int JobService::running() const {
  return static_cast<int>(
      std::count_if(jobs_.begin(), jobs_.end(), [](const JobHandle& j) { return j.running(); }));
}

JobHandle JobService::launch(JobLane* lane, QObject* context, QString name, JobTask::Work work,
                             JobTask::Finish finish, JobControl::Ending ending) {
  std::erase_if(jobs_, [](const JobHandle& j) { return !j.running(); });
  auto task =
      std::make_shared<JobTask>(std::move(name), context, std::make_shared<JobControl>(ending),
                                std::move(work), std::move(finish), reporter_);
  JobHandle handle(task);
  jobs_.push_back(handle);
  // Before the launch: a runner may answer at once.
  if (lane) lane->replace(handle);
  runner_->launch(std::move(task));
  return handle;
}

}  // namespace ostrel
