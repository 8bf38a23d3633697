#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

#include "toolkit/ToolkitError.h"
#include "toolkit/jobs/JobControl.h"
#include "toolkit/jobs/JobHandle.h"
#include "toolkit/jobs/JobLane.h"
#include "toolkit/jobs/JobRunner.h"
#include "toolkit/jobs/JobTask.h"

namespace ostrel {

// What a job ends in: its value, or the error that stopped it. Exactly one
// of the two is set.
template <typename T>
struct JobOutcome {
  std::optional<T> value;
  std::optional<ToolkitError> error;
};

// The one way the program runs long work off the interface thread (picture
// decodes, searches, Replace All, saving, printing). A job is started and
// never waited for: the work runs elsewhere, looks at its JobControl between
// chunks (cancelled? progress), and its outcome, a value or an error, is
// handed to done exactly once on the interface thread, unless the job was
// cancelled or context was destroyed first. Every exception the work throws
// becomes the outcome's error (ToolkitError as itself, std::bad_alloc as
// err::OutOfMemory), which the caller shows once, usually through report().
class JobService {
 public:
  // Shows an error once (a message box in the program).
  using Reporter = std::function<void(const ToolkitError&)>;

  // reporter also shows what a done callback throws; done runs from the
  // event loop, where nothing may escape.
  JobService(std::unique_ptr<JobRunner> runner, Reporter reporter);
  // Cancels every job and returns at once: work still running finishes on
  // its own thread and its outcome is dropped.
  ~JobService();
  JobService(const JobService&) = delete;
  JobService& operator=(const JobService&) = delete;

  // Runs work(JobControl&) -> T off the interface thread and calls
  // done(JobOutcome<T>) on it. name says what the job is (tests list it).
  template <typename Work, typename Done>
  JobHandle start(QObject* context, QString name, Work work, Done done) {
    return startIn(nullptr, context, std::move(name), std::move(work), std::move(done));
  }
  // The same in lane, where the newest job wins: the lane's job before is
  // cancelled.
  template <typename Work, typename Done>
  JobHandle start(JobLane& lane, QObject* context, QString name, Work work, Done done) {
    return startIn(&lane, context, std::move(name), std::move(work), std::move(done));
  }

  // The same for work that must never stop half-way (a save): neither
  // cancelAll(), the service's end, its context's end nor the process's end
  // cancels it, and the process waits for it before it ends. Its handle
  // still cancels it.
  template <typename Work, typename Done>
  JobHandle startToFinish(QObject* context, QString name, Work work, Done done) {
    return startIn(nullptr, context, std::move(name), std::move(work), std::move(done),
                   JobControl::Ending::Finish);
  }

  // Shows error through the reporter.
  void report(const ToolkitError& error) const;
  // Cancels every job started here but those that must finish.
  void cancelAll();
  // Jobs started here that are still running (tests count them).
  int running() const;

 private:
  template <typename Work, typename Done>
  JobHandle startIn(JobLane* lane, QObject* context, QString name, Work work, Done done,
                    JobControl::Ending ending = JobControl::Ending::Cancel);
  JobHandle launch(JobLane* lane, QObject* context, QString name, JobTask::Work work,
                   JobTask::Finish finish, JobControl::Ending ending);

  std::unique_ptr<JobRunner> runner_;
  Reporter reporter_;
  // Every job not known to be over, for cancelAll(); pruned as jobs start.
  std::vector<JobHandle> jobs_;
};

template <typename Work, typename Done>
JobHandle JobService::startIn(JobLane* lane, QObject* context, QString name, Work work, Done done,
                              JobControl::Ending ending) {
  using Value = std::invoke_result_t<Work&, JobControl&>;
  static_assert(!std::is_void_v<Value>, "a job's work returns its value");
  auto slot = std::make_shared<std::optional<Value>>();
  JobTask::Work run = [slot, work = std::move(work)](JobControl& control) mutable {
    slot->emplace(work(control));
  };
  JobTask::Finish finish = [slot,
                            done = std::move(done)](const std::optional<ToolkitError>& error) {
    JobOutcome<Value> outcome;
    if (error) {
      outcome.error = error;
    } else if (slot->has_value()) {
      outcome.value = std::move(*slot);
    } else {
      // The work failed and not even its error could be kept.
      outcome.error.emplace(err::OutOfMemory, QString());
    }
    slot->reset();
    done(std::move(outcome));
  };
  return launch(lane, context, std::move(name), std::move(run), std::move(finish), ending);
}

}  // namespace ostrel
