#pragma once

#include <cstddef>

namespace ostrel::test {

// While one is in scope, operator new fails with std::bad_alloc on the
// calling thread for every request of at least the given size, as it would
// with the address space used up. Linking it into a test program replaces
// the program's operator new and delete (malloc and free underneath).
class AllocationFault {
 public:
  explicit AllocationFault(std::size_t atLeast);
  ~AllocationFault();
  AllocationFault(const AllocationFault&) = delete;
  AllocationFault& operator=(const AllocationFault&) = delete;

  // Requests refused so far on this thread while armed.
  static int refused();

 private:
  std::size_t previous_;
};

}  // namespace ostrel::test
