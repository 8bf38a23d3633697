#pragma once

#include <QString>
#include <cstdint>

#include "toolkit/metafile/EmfPlusNames.h"

namespace ostrel {

class EmfPlusReader;

// An EMF+ font: the family's name, the em size in its unit, and the style
// bits (bold, italic, underline, strikeout).
class EmfPlusFont {
 public:
  static EmfPlusFont read(EmfPlusReader& r);

  double emSize() const { return emSize_; }
  uint32_t unit() const { return unit_; }
  const QString& family() const { return family_; }
  bool bold() const { return style_ & U_FS_Bold; }
  bool italic() const { return style_ & U_FS_Italic; }
  bool underline() const { return style_ & U_FS_Underline; }
  bool strikeOut() const { return style_ & U_FS_Strikeout; }

 private:
  double emSize_ = 12;
  uint32_t unit_ = 0;
  int32_t style_ = 0;
  QString family_;
};

}  // namespace ostrel
