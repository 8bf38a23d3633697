// The GIF decoder on fuzzed bytes, written behind a GIF header when they
// lack one so the time goes into the blocks and the LZW data.
#include <QByteArray>
#include <cstdint>
#include <new>

#include "toolkit/picture/DecodeFailure.h"
#include "toolkit/picture/GifDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  if (!bytes.startsWith("GIF")) bytes.prepend("GIF89a");
  try {
    const QImage image = ostrel::GifDecoder::decode(bytes);
    if (image.isNull()) __builtin_trap();  // a decoded GIF always has a screen
  } catch (const ostrel::DecodeFailure&) {
  } catch (const std::bad_alloc&) {
  }
  return 0;
}
