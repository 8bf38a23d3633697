#include "toolkit/Services.h"

namespace ostrel {

namespace {
Services& current() {
  static Services set;
  return set;
}
}  // namespace

Services& services() {
  return current();
}

void installServices(const Services& set) {
  current() = set;
}

}  // namespace ostrel
