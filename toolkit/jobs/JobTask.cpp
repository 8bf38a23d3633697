#include "toolkit/jobs/JobTask.h"

#include <QCoreApplication>
#include <new>

namespace ostrel {

JobTask::JobTask(QString name, QObject* context, std::shared_ptr<JobControl> control, Work work,
                 Finish finish, Uncaught uncaught)
    : name_(std::move(name)),
      context_(context),
      control_(std::move(control)),
      work_(std::move(work)),
      finish_(std::move(finish)),
      uncaught_(std::move(uncaught)) {
  if (context && control_->ending() == JobControl::Ending::Cancel) {
    contextGone_ = QObject::connect(context, &QObject::destroyed,
                                    [control = std::weak_ptr<JobControl>(control_)] {
                                      if (const auto c = control.lock()) c->cancel();
                                    });
  }
}

ToolkitError JobTask::errorOf(const std::exception_ptr& caught) {
  try {
    std::rethrow_exception(caught);
  } catch (const ToolkitError& e) {
    return e;
  } catch (const std::bad_alloc&) {
    return ToolkitError(
        err::OutOfMemory,
        QCoreApplication::translate("Form", "There is not enough memory to finish this."));
  } catch (const std::exception& e) {
    return ToolkitError(err::InternalError,
                        QCoreApplication::translate("JobTask", "This could not be finished: %1.")
                            .arg(QString::fromLocal8Bit(e.what())));
  } catch (...) {
    return ToolkitError(
        err::InternalError,
        QCoreApplication::translate("JobTask",
                                    "This could not be finished: an unexpected error stopped it."));
  }
}

void JobTask::run() noexcept {
  try {
    work_(*control_);
  } catch (...) {
    // A cancelled job's way out (JobControl::Cancelled, a decoder's own
    // signal) is no error: nobody waits for its answer.
    if (!control_->cancelled()) {
      try {
        error_ = errorOf(std::current_exception());
      } catch (...) {
        // Not even the words fit in memory: the number alone must do.
        try {
          error_.emplace(err::OutOfMemory, QString());
        } catch (...) {
        }
      }
    }
  }
  // What the work held (a snapshot of a text, a file's bytes) goes now, not
  // when the answer has been read.
  try {
    work_ = nullptr;
  } catch (...) {
  }
}

void JobTask::fail(const ToolkitError& error) {
  error_ = error;
  work_ = nullptr;
}

void JobTask::deliver() noexcept {
  if (settled_.exchange(true)) return;
  QObject::disconnect(contextGone_);
  Finish finish = std::move(finish_);
  finish_ = nullptr;
  if (control_->cancelled() || !context_) return;
  try {
    finish(error_);
  } catch (...) {
    try {
      if (uncaught_) uncaught_(errorOf(std::current_exception()));
    } catch (...) {
      // The report itself failed (no memory left for a message box): the
      // event loop must go on regardless.
    }
  }
}

}  // namespace ostrel
