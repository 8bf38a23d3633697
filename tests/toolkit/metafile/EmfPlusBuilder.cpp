#include "tests/toolkit/metafile/EmfPlusBuilder.h"

#include <upmf.h>

namespace ostrel::test {

using B = MetafileBuilder;

EmfPlusBuilder& EmfPlusBuilder::add(uint16_t type, uint16_t flags, const QByteArray& data) {
  const QByteArray padded = data.leftJustified((data.size() + 3) & ~3, '\0');
  records_ += B::words16({type, flags}) + B::words32({uint32_t(12 + padded.size())}) +
              B::words32({uint32_t(data.size())}) + padded;
  return *this;
}

EmfPlusBuilder& EmfPlusBuilder::header(bool dual) {
  return add(U_PMR_HEADER | U_PMR_RECFLAG, dual ? 1 : 0, {kVersion, 1, 96, 96});
}

QByteArray EmfPlusBuilder::comment() const {
  return B::words32({uint32_t(4 + records_.size()), U_EMR_COMMENT_EMFPLUSRECORD}) + records_;
}

QByteArray EmfPlusBuilder::pen(float width, QColor c, uint32_t flags,
                               std::initializer_list<uint32_t> optional) {
  return B::words32({kVersion, 0, flags, 0, f(width)}) + B::words32(optional) + solidBrush(c);
}

QByteArray EmfPlusBuilder::path(std::initializer_list<float> xy,
                                std::initializer_list<uint8_t> types) {
  QByteArray out = B::words32({kVersion, uint32_t(types.size()), 0});
  for (float v : xy) out += B::words32({f(v)});
  for (uint8_t t : types) out.append(char(t));
  return out;
}

}  // namespace ostrel::test
