#pragma once

#include <utility>

#include "toolkit/ToolkitError.h"

namespace ostrel::test {

// The number of the ToolkitError that work raises, or 0 when it raises none.
template <typename Work>
int errorNumber(Work&& work) {
  try {
    std::forward<Work>(work)();
  } catch (const ToolkitError& e) {
    return e.Number();
  }
  return 0;
}

}  // namespace ostrel::test
