#pragma once

namespace ostrel {

// Ending the program, kept behind a seam so tests can watch it happen.
class ProcessService {
 public:
  virtual ~ProcessService() = default;
  virtual void end(int exitCode) = 0;
};

// Leaves the event loop; main() then returns exitCode.
class QtProcessService : public ProcessService {
 public:
  void end(int exitCode) override;
};

}  // namespace ostrel
