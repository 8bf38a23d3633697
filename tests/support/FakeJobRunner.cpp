#include "tests/support/FakeJobRunner.h"

namespace ostrel::test {

void FakeJobRunner::launch(std::shared_ptr<JobTask> task) {
  waiting_.push_back(std::move(task));
  if (!holding) runAll();
}

bool FakeJobRunner::runNext() {
  if (waiting_.empty()) return false;
  const std::shared_ptr<JobTask> task = std::move(waiting_.front());
  waiting_.pop_front();
  run(*task);
  task->deliver();
  return true;
}

void FakeJobRunner::runAll() {
  while (runNext()) {
  }
}

bool FakeJobRunner::runNextWithoutDelivering() {
  if (waiting_.empty()) return false;
  std::shared_ptr<JobTask> task = std::move(waiting_.front());
  waiting_.pop_front();
  run(*task);
  ran_.push_back(std::move(task));
  return true;
}

bool FakeJobRunner::deliverNext() {
  if (ran_.empty()) return false;
  const std::shared_ptr<JobTask> task = std::move(ran_.front());
  ran_.pop_front();
  task->deliver();
  return true;
}

void FakeJobRunner::run(JobTask& task) {
  ++ran;
  if (failure) {
    task.fail(JobTask::errorOf(failure));
  } else {
    task.run();
  }
}

QStringList FakeJobRunner::waiting() const {
  QStringList names;
  for (const auto& task : waiting_) names.append(task->name());
  return names;
}

}  // namespace ostrel::test
