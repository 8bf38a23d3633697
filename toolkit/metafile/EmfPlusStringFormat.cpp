#include "toolkit/metafile/EmfPlusStringFormat.h"

#include "toolkit/metafile/EmfPlusReader.h"

namespace ostrel {

EmfPlusStringFormat EmfPlusStringFormat::read(EmfPlusReader& r) {
  EmfPlusStringFormat format;
  r.u32();  // version
  format.flags_ = r.u32();
  r.u32();  // language
  format.alignment_ = r.u32();
  format.lineAlignment_ = r.u32();
  // Digit substitution, tabs, margins, tracking, trimming and character
  // ranges follow; none of them moves a line.
  return format;
}

}  // namespace ostrel
