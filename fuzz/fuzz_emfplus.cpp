#include <QByteArray>
#include <cstring>

#include "fuzz/MetafileFuzzer.h"

namespace {

void put32(QByteArray& out, uint32_t v) {
  for (int shift : {0, 8, 16, 24}) out.append(char(v >> shift));
}

// An input that is not an EMF becomes the EMF+ records of one comment in a
// 100 x 100 pixel EMF, after an EMF+ header: the fuzzer's time goes into the
// EMF+ records and objects, not into the EMF around them. An EMF (the seeds
// are the corpus's EMF+ files) is played as it is.
QByteArray wrapped(const uint8_t* data, size_t size) {
  QByteArray records;
  // EMF+ header: type, flags (dual), sizes, version, video display, 96 dpi.
  for (uint32_t v : {0x00014001U, 28U, 16U, 0xDBC01002U, 1U, 96U, 96U}) put32(records, v);
  records.append(reinterpret_cast<const char*>(data), qsizetype(size));
  records.append(QByteArray((4 - records.size() % 4) % 4, '\0'));
  QByteArray body;
  put32(body, 70);  // EMR_COMMENT
  put32(body, uint32_t(16 + records.size()));
  put32(body, uint32_t(4 + records.size()));
  put32(body, 0x2B464D45);  // "EMF+"
  body += records;
  for (uint32_t v : {14U, 20U, 0U, 16U, 20U}) put32(body, v);  // EMR_EOF
  QByteArray emf;
  // Header: type, size, bounds, frame (0.01 mm), signature, version, bytes,
  // records, handles, reserved, description, palette, device in pixels and mm.
  for (uint32_t v : {1U,
                     88U,
                     0U,
                     0U,
                     99U,
                     99U,
                     0U,
                     0U,
                     2644U,
                     2644U,
                     0x464D4520U,
                     0x10000U,
                     uint32_t(88 + body.size()),
                     3U,
                     16U,
                     0U,
                     0U,
                     0U,
                     960U,
                     960U,
                     254U,
                     254U})
    put32(emf, v);
  return emf + body;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ostrel::MetafileFuzzer::init();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const uint8_t kEmfType[] = {1, 0, 0, 0};
  if (size >= sizeof kEmfType && std::memcmp(data, kEmfType, sizeof kEmfType) == 0)
    return ostrel::MetafileFuzzer::run(data, size, nullptr, 0);
  const QByteArray emf = wrapped(data, size);
  return ostrel::MetafileFuzzer::run(reinterpret_cast<const uint8_t*>(emf.constData()),
                                     size_t(emf.size()), nullptr, 0);
}
