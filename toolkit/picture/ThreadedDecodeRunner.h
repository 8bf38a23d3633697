#pragma once

#include <QObject>
#include <memory>
#include <vector>

#include "toolkit/picture/DecodeRunner.h"

namespace ostrel {

// Runs each lane on a thread of its own, started on first use. Results come
// back through the interface thread's event loop; a result its lane has
// moved past is dropped there. Destroying the runner cancels every decode
// and waits for the threads, which leave at their decode's next row.
class ThreadedDecodeRunner : public DecodeRunner {
 public:
  ThreadedDecodeRunner();
  ~ThreadedDecodeRunner() override;

  void start(const Job& job, Finished finished) override;
  void stop(int lane) override;
  Outcome decodeNow(const Job& job) override { return decode(job); }

 private:
  struct Lane;
  Lane& lane(int index);

  std::vector<std::unique_ptr<Lane>> lanes_;
  // Lives on the interface thread; gone before the lanes, so no result
  // arrives once the runner is being destroyed.
  std::unique_ptr<QObject> receiver_;
};

}  // namespace ostrel
