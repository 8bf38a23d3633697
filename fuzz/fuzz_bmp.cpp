// BMP files and header-less DIBs through the picture loader. Bytes the
// sniffer takes for neither get a "BM" in front so they reach the decoder.
#include "fuzz/PictureFuzzer.h"
#include "toolkit/picture/PictureSniffer.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ostrel::PictureFuzzer::init();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
  const auto format = ostrel::PictureSniffer::sniff(bytes);
  if (format != ostrel::PictureFormat::Bmp && format != ostrel::PictureFormat::HeaderlessDib)
    bytes.prepend("BM");
  return ostrel::PictureFuzzer::run(bytes, QSize());
}
