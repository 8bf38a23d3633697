#include "fuzz/MetafileFuzzer.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ostrel::MetafileFuzzer::init();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // No prefix: the input's first bytes choose placeable or bare WMF.
  return ostrel::MetafileFuzzer::run(data, size, nullptr, 0);
}
