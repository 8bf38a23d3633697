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

void DecodeCancel::poll() {
  if (current != nullptr && current->load(std::memory_order_relaxed)) throw Cancelled{};
}

}  // namespace ostrel
