#pragma once

#include <cstdint>

#include "toolkit/metafile/EmfPlusNames.h"

namespace ostrel {

class EmfPlusReader;

// An EMF+ string format: how DrawString places text in its rectangle.
class EmfPlusStringFormat {
 public:
  static EmfPlusStringFormat read(EmfPlusReader& r);

  uint32_t flags() const { return flags_; }
  uint32_t alignment() const { return alignment_; }          // along the line
  uint32_t lineAlignment() const { return lineAlignment_; }  // across the lines
  bool noWrap() const { return flags_ & U_SF_NoWrap; }
  bool noClip() const { return flags_ & U_SF_NoClip; }
  bool vertical() const { return flags_ & U_SF_DirectionVertical; }
  bool rightToLeft() const { return flags_ & U_SF_DirectionRightToLeft; }

 private:
  uint32_t flags_ = 0;
  uint32_t alignment_ = 0;
  uint32_t lineAlignment_ = 0;
};

}  // namespace ostrel
