// The GIF decoder on fuzzed bytes, written behind a GIF header when they
// lack one so the time goes into the blocks and the LZW data; then every
// frame of it, within a small budget.
#include <QByteArray>
#include <cstdint>
#include <new>

#include "toolkit/picture/DecodeFailure.h"
#include "toolkit/picture/GifAnimation.h"
#include "toolkit/picture/GifDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  if (!bytes.startsWith("GIF")) bytes.prepend("GIF89a");
  QImage first;
  try {
    first = ostrel::GifDecoder::decode(bytes);
    if (first.isNull()) __builtin_trap();  // a decoded GIF always has a screen
  } catch (const ostrel::DecodeFailure&) {
    return 0;
  } catch (const std::bad_alloc&) {
    return 0;
  }
  try {
    const auto animation = ostrel::GifAnimation::decode(
        bytes, {.bytes = qint64(16) * 1024 * 1024, .frames = 64, .work = qint64(16) * 1024 * 1024});
    // The viewer starts on the preview's picture, and every frame is that size.
    if (animation->frames.isEmpty() || animation->frames.first().image != first) __builtin_trap();
    for (const auto& frame : animation->frames) {
      if (frame.image.size() != first.size()) __builtin_trap();
    }
  } catch (const std::bad_alloc&) {
  }
  return 0;
}
