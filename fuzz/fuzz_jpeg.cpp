// The JPEG path: the marker scan for EXIF orientation and Adobe segments,
// then the decode, at full size or at a DCT scale chosen for a preview.
#include "fuzz/PictureFuzzer.h"
#include "toolkit/picture/JpegDecoder.h"
#include "toolkit/picture/JpegHeaderInfo.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ostrel::PictureFuzzer::init();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const char kSoi[] = {'\xFF', '\xD8', '\xFF'};
  const QByteArray bytes = ostrel::PictureFuzzer::withMagic(data, size, kSoi, sizeof kSoi);

  const auto info = ostrel::JpegHeaderInfo::scan(bytes);
  if (info.orientation < 1 || info.orientation > 8) __builtin_trap();

  // The length picks the decode so one input does not pay for both: one in
  // four at full size, the others at a preview between 1 and 160 pixels wide.
  const auto n = int(size);
  const QSize preview = n % 4 == 0 ? QSize() : QSize(1 + n % 160, 1 + (n / 7) % 120);
  return ostrel::PictureFuzzer::run(bytes, preview);
}
