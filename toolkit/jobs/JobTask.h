#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <optional>

#include "toolkit/ToolkitError.h"
#include "toolkit/jobs/JobControl.h"

namespace ostrel {

// One job as a runner sees it: work to run anywhere, then an answer to give
// on the interface thread. Whatever the work throws is caught and becomes
// the answer's error, so nothing a job does can end the program.
class JobTask {
 public:
  // Keeps its result itself (JobService gives it a slot).
  using Work = std::function<void(JobControl&)>;
  // Told the work's error, or nothing when it succeeded.
  using Finish = std::function<void(const std::optional<ToolkitError>&)>;
  // Told what a Finish threw, so it is shown rather than lost.
  using Uncaught = std::function<void(const ToolkitError&)>;

  // Made on the interface thread, where context lives.
  JobTask(QString name, QObject* context, std::shared_ptr<JobControl> control, Work work,
          Finish finish, Uncaught uncaught);

  // Any thread, once: runs the work, catching everything.
  void run() noexcept;
  // Instead of run(), when the work cannot even be started.
  void fail(const ToolkitError& error);
  // The interface thread, once, after run(): hands over the result unless
  // the job was cancelled or its context is gone meanwhile.
  void deliver() noexcept;
  // Whether deliver() has been called (handed over or dropped).
  bool settled() const noexcept { return settled_.load(); }

  const QString& name() const { return name_; }
  JobControl& control() const { return *control_; }

  // The error a caught exception becomes: a ToolkitError as itself, running
  // out of memory as err::OutOfMemory in the words the event boundary uses,
  // anything else as an internal error naming what it says.
  static ToolkitError errorOf(const std::exception_ptr& caught);

 private:
  QString name_;
  QPointer<QObject> context_;
  std::shared_ptr<JobControl> control_;
  Work work_;
  Finish finish_;
  Uncaught uncaught_;
  std::optional<ToolkitError> error_;
  std::atomic<bool> settled_{false};
  // Cancels the job when its context goes: nobody is left to answer. Work
  // that must finish goes on regardless.
  QMetaObject::Connection contextGone_;
};

}  // namespace ostrel
