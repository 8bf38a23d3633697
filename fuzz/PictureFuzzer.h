#pragma once

#include <QByteArray>
#include <QSize>
#include <cstddef>
#include <cstdint>

namespace ostrel {

// Shared by the raster targets: feeds bytes to the picture loader the way the
// program does, so the targets survive changes behind it, and traps on what a
// loader must never return.
class PictureFuzzer {
 public:
  static void init();

  // The bytes as given when they already start with `magic`, else written
  // behind it, so mutations spend their time inside the format.
  static QByteArray withMagic(const uint8_t* data, size_t size, const char* magic,
                              size_t magicSize);

  // Decodes through PictureLoader::decode; a refused picture is a normal outcome.
  static int run(const QByteArray& bytes, QSize previewPixels);
};

}  // namespace ostrel
