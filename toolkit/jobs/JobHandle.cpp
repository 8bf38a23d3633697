#include "toolkit/jobs/JobHandle.h"

namespace ostrel {

void JobHandle::cancel() const {
  if (task_) task_->control().cancel();
}

bool JobHandle::running() const {
  return task_ && !task_->settled() && !task_->control().cancelled();
}

int JobHandle::permille() const {
  return task_ ? task_->control().permille() : 0;
}

qint64 JobHandle::done() const {
  return task_ ? task_->control().done() : 0;
}

qint64 JobHandle::total() const {
  return task_ ? task_->control().total() : 0;
}

}  // namespace ostrel
