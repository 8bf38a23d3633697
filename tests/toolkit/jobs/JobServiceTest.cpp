#include "toolkit/jobs/JobService.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>
#include <QThread>
#include <future>
#include <new>
#include <optional>
#include <stdexcept>

#include "tests/support/FakeJobRunner.h"
#include "toolkit/jobs/ThreadJobRunner.h"

namespace ostrel {
namespace {

class JobServiceTest : public ::testing::Test {
 protected:
  template <typename Work>
  JobHandle start(Work work, JobLane* lane = nullptr, QObject* to = nullptr) {
    QObject* target = to ? to : &context;
    const auto done = [this](JobOutcome<int> outcome) { outcomes.push_back(std::move(outcome)); };
    if (lane) return service->start(*lane, target, QStringLiteral("job"), work, done);
    return service->start(target, QStringLiteral("job"), work, done);
  }

  test::FakeJobRunner* runner = new test::FakeJobRunner;
  std::vector<ToolkitError> reported;
  std::unique_ptr<JobService> service = std::make_unique<JobService>(
      std::unique_ptr<JobRunner>(runner),
      [this](const ToolkitError& error) { reported.push_back(error); });
  QObject context;
  std::vector<JobOutcome<int>> outcomes;
};

TEST_F(JobServiceTest, InALaneOnlyTheNewestAnswerArrivesEvenWhenAStaleOneIsUnderWay) {
  runner->holding = true;
  JobLane lane;
  start([](JobControl&) { return 1; }, &lane);
  start([](JobControl&) { return 2; }, &lane);
  // The first answer is on its way when the third job starts.
  ASSERT_TRUE(runner->runNext());
  EXPECT_TRUE(outcomes.empty()) << "a replaced job answered";
  ASSERT_TRUE(runner->runNextWithoutDelivering());
  EXPECT_TRUE(lane.busy());
  start([](JobControl&) { return 3; }, &lane);
  ASSERT_TRUE(runner->deliverNext());
  EXPECT_TRUE(outcomes.empty()) << "an answer already on its way was not dropped";
  // Jobs outside the lane are not its business.
  start([](JobControl&) { return 4; });
  runner->runAll();
  ASSERT_EQ(outcomes.size(), 2u);
  EXPECT_EQ(outcomes[0].value, 3);
  EXPECT_EQ(outcomes[1].value, 4);
  EXPECT_FALSE(lane.busy());
}

TEST_F(JobServiceTest, EveryExceptionBecomesOneErrorAndNothingEscapes) {
  struct Case {
    std::function<int(JobControl&)> work;
    int number;
    QString words;
  };
  const std::vector<Case> cases = {
      {[](JobControl&) -> int { throw std::bad_alloc(); }, err::OutOfMemory,
       QStringLiteral("There is not enough memory to finish this.")},
      {[](JobControl&) -> int { throw ToolkitError(err::PathNotFound, QStringLiteral("gone")); },
       err::PathNotFound, QStringLiteral("gone")},
      {[](JobControl&) -> int { throw std::length_error("vector too long"); }, err::InternalError,
       QStringLiteral("This could not be finished: vector too long.")},
      {[](JobControl&) -> int { throw 42; }, err::InternalError,
       QStringLiteral("This could not be finished: an unexpected error stopped it.")},
  };
  for (const Case& c : cases) {
    outcomes.clear();
    start(c.work);
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_FALSE(outcomes[0].value);
    ASSERT_TRUE(outcomes[0].error);
    EXPECT_EQ(outcomes[0].error->Number(), c.number);
    EXPECT_EQ(outcomes[0].error->Description(), c.words);
  }
  // What the answer's receiver throws is reported, not let into the event loop.
  service->start(
      &context, QStringLiteral("job"), [](JobControl&) { return 1; },
      [](JobOutcome<int>) { throw std::bad_alloc(); });
  ASSERT_EQ(reported.size(), 1u);
  EXPECT_EQ(reported[0].Number(), err::OutOfMemory);
}

// Cancelled, by its handle or as its context or the service goes: the work
// sees it at its next check and nothing answers, but a save goes on.
TEST_F(JobServiceTest, ACancelledJobStopsAtItsNextCheckAndSaysNothingButASaveGoesOn) {
  runner->holding = true;
  int seen = -1;
  JobHandle progressing;
  progressing = start([&](JobControl& control) {
    control.report(250, 1000);
    seen = progressing.permille();
    return 0;
  });
  runner->runNext();
  std::vector<bool> cancelled;
  const auto work = [&](JobControl& control) -> int {
    cancelled.push_back(!control.report(1, 2));
    control.throwIfCancelled();
    throw std::bad_alloc();
  };
  const JobHandle job = start(work);
  auto owner = std::make_unique<QObject>();
  start(work, nullptr, owner.get());
  JobLane lane;
  start(work, &lane);
  const auto save = [&](JobControl& control) {
    cancelled.push_back(control.cancelled());
    return 1;
  };
  service->startToFinish(owner.get(), QStringLiteral("save"), save,
                         [this](JobOutcome<int> outcome) { outcomes.push_back(outcome); });
  job.cancel();
  EXPECT_FALSE(job.running());
  owner.reset();
  // Run before anything else cancels them: the handle and the context did.
  runner->runNext();
  runner->runNext();
  service->cancelAll();
  EXPECT_FALSE(lane.busy());
  EXPECT_EQ(service->running(), 1);
  runner->runAll();
  EXPECT_EQ(seen, 250);
  EXPECT_EQ(cancelled, std::vector<bool>({true, true, true, false}));
  ASSERT_EQ(outcomes.size(), 1u) << "only the first job answers; the save's window is gone";
  EXPECT_EQ(outcomes[0].value, 0);
  EXPECT_TRUE(reported.empty());
}

// The program's runner: real threads, answers through the event loop.
class ThreadedJobTest : public ::testing::Test {
 protected:
  bool settle() {
    return QTest::qWaitFor([] { return ThreadJobRunner::threadsRunning() == 0; }, 10000);
  }
  std::unique_ptr<JobService> service =
      std::make_unique<JobService>(std::make_unique<ThreadJobRunner>(), [](const ToolkitError&) {});
  QObject context;
};

TEST_F(ThreadedJobTest, WorkRunsElsewhereAnswersOnTheInterfaceThreadAndGoingAwayWaitsForNone) {
  QThread* worker = nullptr;
  std::optional<JobOutcome<QThread*>> answer;
  service->start(
      &context, QStringLiteral("ok"), [](JobControl&) { return QThread::currentThread(); },
      [&](JobOutcome<QThread*> outcome) {
        worker = QThread::currentThread();
        answer = std::move(outcome);
      });
  ASSERT_TRUE(QTest::qWaitFor([&] { return answer.has_value(); }, 10000));
  EXPECT_NE(*answer->value, QThread::currentThread());
  EXPECT_EQ(worker, QThread::currentThread());
  EXPECT_TRUE(settle());
  // Going away waits for no work, and its answer is dropped.
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  bool answered = false;
  service->start(
      &context, QStringLiteral("stuck"),
      [released](JobControl&) {
        released.wait();
        return 1;
      },
      [&](JobOutcome<int>) { answered = true; });
  QElapsedTimer clock;
  clock.start();
  service.reset();
  EXPECT_LT(clock.elapsed(), 50) << "the service waited for its work";
  EXPECT_EQ(ThreadJobRunner::threadsRunning(), 1);
  release.set_value();
  EXPECT_TRUE(settle());
  QCoreApplication::processEvents();
  EXPECT_FALSE(answered);
}

TEST_F(ThreadedJobTest, TheProcessLeavesOnceItsCancelledWorkHasStoppedAndASaveHasEnded) {
  bool answered = false;
  std::atomic<int> saveCancelled{-1};
  service->startToFinish(
      &context, QStringLiteral("save"),
      [&](JobControl& control) {
        for (int i = 0; i < 2000; ++i) QThread::yieldCurrentThread();
        saveCancelled = control.cancelled();
        return 1;
      },
      [](JobOutcome<int>) {});
  service->start(
      &context, QStringLiteral("until cancelled"),
      [](JobControl& control) {
        while (!control.cancelled()) QThread::yieldCurrentThread();
        return 1;
      },
      [&](JobOutcome<int>) { answered = true; });
  ASSERT_EQ(ThreadJobRunner::threadsRunning(), 2);
  EXPECT_EQ(ThreadJobRunner::leaveProcess(3, std::chrono::seconds(10)), 3);
  EXPECT_EQ(saveCancelled, 0) << "the save was not waited for, or was cancelled";
  EXPECT_EQ(ThreadJobRunner::threadsRunning(), 0);
  QCoreApplication::processEvents();
  EXPECT_FALSE(answered);
}

}  // namespace
}  // namespace ostrel
