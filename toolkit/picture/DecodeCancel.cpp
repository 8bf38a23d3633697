#include "toolkit/picture/DecodeCancel.h"

namespace ostrel {

namespace {
thread_local const std::atomic<bool>* current = nullptr;
}  // namespace

DecodeCancel::Scope::Scope(const std::atomic<bool>* flag) : previous_(current) {
  current = flag;
}

DecodeCancel::Scope::~Scope() {
  current = previous_;
}

bool DecodeCancel::requested() noexcept {
  return current != nullptr && current->load(std::memory_order_relaxed);
}

void DecodeCancel::poll() {
  if (requested()) throw Cancelled{};
}

}  // namespace ostrel
