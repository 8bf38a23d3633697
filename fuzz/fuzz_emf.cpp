#include "fuzz/MetafileFuzzer.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ostrel::MetafileFuzzer::init();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // EMR_HEADER type; the rest of an EMF header comes from the input.
  static const char kPrefix[] = {1, 0, 0, 0};
  return ostrel::MetafileFuzzer::run(data, size, kPrefix, sizeof kPrefix);
}
