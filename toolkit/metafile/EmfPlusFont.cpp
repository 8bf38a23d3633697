#include "toolkit/metafile/EmfPlusFont.h"

#include "toolkit/metafile/EmfPlusReader.h"

namespace ostrel {

EmfPlusFont EmfPlusFont::read(EmfPlusReader& r) {
  EmfPlusFont font;
  r.u32();  // version
  font.emSize_ = r.f32();
  font.unit_ = r.u32();
  font.style_ = r.i32();
  r.u32();  // reserved
  const uint32_t length = r.u32();
  if (!r.fits(length, 2)) return r.fail(), font;
  for (uint32_t i = 0; i < length; ++i) {
    const uint16_t c = r.u16();
    if (c == 0) break;
    font.family_.append(QChar(c));
  }
  return font;
}

}  // namespace ostrel
