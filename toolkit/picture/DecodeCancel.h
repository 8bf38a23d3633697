#pragma once

#include <atomic>

namespace ostrel {

// Stops a decode that nobody waits for any more. A worker thread installs a
// flag for the decode it runs (Scope); the decoders poll it at every row or
// block and leave by throwing Cancelled once it is set. On a thread with no
// flag, polling costs a load and a compare and never throws.
class DecodeCancel {
 public:
  // Thrown through the decoders; not an error, so nothing reports it.
  struct Cancelled {};

  class Scope {
   public:
    explicit Scope(const std::atomic<bool>* flag);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    const std::atomic<bool>* previous_;
  };

  // Throws Cancelled when the calling thread's decode has been cancelled.
  static void poll();
  // Whether it has been, for code that cannot throw (libjpeg's callbacks).
  static bool requested() noexcept;
};

}  // namespace ostrel
