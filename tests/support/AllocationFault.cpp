#include "tests/support/AllocationFault.h"

#include <cstdlib>
#include <new>

namespace ostrel::test {

namespace {
thread_local std::size_t failFrom = 0;
thread_local int refusedCount = 0;

void* allocate(std::size_t size) {
  if (failFrom != 0 && size >= failFrom) {
    ++refusedCount;
    throw std::bad_alloc();
  }
  for (;;) {
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    const std::new_handler handler = std::get_new_handler();
    if (!handler) throw std::bad_alloc();
    handler();
  }
}
}  // namespace

AllocationFault::AllocationFault(std::size_t atLeast) : previous_(failFrom) {
  failFrom = atLeast;
}

AllocationFault::~AllocationFault() {
  failFrom = previous_;
}

int AllocationFault::refused() {
  return refusedCount;
}

}  // namespace ostrel::test

// Every plain and array form, so that a sanitizer's own never meets these
// deletes.
void* operator new(std::size_t size) {
  return ostrel::test::allocate(size);
}
void* operator new[](std::size_t size) {
  return ostrel::test::allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return ostrel::test::allocate(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return ostrel::test::allocate(size);
  } catch (...) {
    return nullptr;
  }
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
