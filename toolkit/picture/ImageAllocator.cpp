#include "toolkit/picture/ImageAllocator.h"

#include <sys/mman.h>

#include <cstdint>

namespace ostrel {

namespace {

constexpr qsizetype kHugePageBytes = qsizetype(2) * 1024 * 1024;
// Below this, the page-fault cost is too small to care.
constexpr qsizetype kMappedFromBytes = qsizetype(16) * 1024 * 1024;

struct Mapping {
  void* address;
  size_t length;
};

void unmap(void* info) {
  auto* mapping = static_cast<Mapping*>(info);
  ::munmap(mapping->address, mapping->length);
  delete mapping;
}

// A damaged file can leave rows its decoder never reaches; they must show
// black, not whatever the heap held before. Fresh mappings are zero already.
QImage zeroed(QImage image) {
  if (!image.isNull()) image.fill(0);
  return image;
}

}  // namespace

QImage ImageAllocator::create(int width, int height, QImage::Format format) {
  if (width <= 0 || height <= 0) return {};
  const int depth = QImage::toPixelFormat(format).bitsPerPixel();
  // QImage rows are 32-bit aligned.
  const qsizetype bytesPerLine = ((qsizetype(width) * depth + 31) / 32) * 4;
  const qsizetype bytes = bytesPerLine * height;
  if (bytes < kMappedFromBytes) return zeroed(QImage(width, height, format));

  // Over-allocate by one huge page so the pixels can start on a boundary.
  const size_t length = size_t(bytes + kHugePageBytes);
  void* address =
      ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (address == MAP_FAILED) return zeroed(QImage(width, height, format));
  const auto start = (reinterpret_cast<std::uintptr_t>(address) + kHugePageBytes - 1) &
                     ~std::uintptr_t(kHugePageBytes - 1);
  ::madvise(reinterpret_cast<void*>(start), size_t(bytes), MADV_HUGEPAGE);
  auto* mapping = new Mapping{address, length};
  QImage image(reinterpret_cast<uchar*>(start), width, height, bytesPerLine, format, unmap,
               mapping);
  if (image.isNull()) unmap(mapping);
  return image;
}

}  // namespace ostrel
