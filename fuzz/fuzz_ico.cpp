// Icon and cursor files through the picture loader; their bitmap and PNG
// entries go through the same decoders as whole files do.
#include "fuzz/PictureFuzzer.h"
#include "toolkit/picture/PictureSniffer.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ostrel::PictureFuzzer::init();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
  // Reserved word 0 and type 1 (icon); the input's own header is kept when it
  // names a cursor (type 2).
  if (ostrel::PictureSniffer::sniff(bytes) != ostrel::PictureFormat::Icon)
    bytes.prepend(QByteArray("\0\0\1\0", 4));
  return ostrel::PictureFuzzer::run(bytes, QSize());
}
