#pragma once

#include <cstddef>
#include <cstdint>

namespace ostrel {

// Loads one input as a metafile and, when it loads, paints it small and at a
// skewed size, so both the record checks and the player see fuzzed data.
// prefix is written in front of inputs that lack it, so the fuzzer spends its
// time inside one format instead of on the sniffing.
class MetafileFuzzer {
 public:
  // The offscreen application the painting needs, started once.
  static void init();
  static int run(const uint8_t* data, size_t size, const char* prefix, size_t prefixSize);
};

}  // namespace ostrel
