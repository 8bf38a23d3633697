#pragma once

#include <memory>

namespace ostrel {

// The real implementations of every service seam, installed by main().
class QtServices {
 public:
  QtServices();
  ~QtServices();
  void install();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace ostrel
