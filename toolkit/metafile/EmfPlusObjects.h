#pragma once

#include <QByteArray>
#include <QPainterPath>
#include <array>
#include <cstdint>
#include <variant>

#include "toolkit/metafile/EmfPlusBrush.h"
#include "toolkit/metafile/EmfPlusFont.h"
#include "toolkit/metafile/EmfPlusImage.h"
#include "toolkit/metafile/EmfPlusNames.h"
#include "toolkit/metafile/EmfPlusPen.h"
#include "toolkit/metafile/EmfPlusRegion.h"
#include "toolkit/metafile/EmfPlusStringFormat.h"

namespace ostrel {

class DibCache;
class EmfPlusReader;

// The EMF+ object table: 64 slots, each holding the last object an Object
// record defined there. An object too large for one record comes in pieces,
// each record saying it continues, and is read once the last piece is in.
// A slot holding another kind than a record asks for, or nothing, reads as
// missing and the record draws nothing.
class EmfPlusObjects {
 public:
  EmfPlusObjects(DibCache& bitmaps, int nesting) : bitmaps_(bitmaps), nesting_(nesting) {}

  // An Object record: its flags (slot, kind, continuation) and its data.
  void define(uint16_t flags, EmfPlusReader data);

  const EmfPlusBrush* brush(uint32_t id) const { return get<EmfPlusBrush>(id); }
  const EmfPlusPen* pen(uint32_t id) const { return get<EmfPlusPen>(id); }
  const QPainterPath* path(uint32_t id) const { return get<QPainterPath>(id); }
  const EmfPlusRegion* region(uint32_t id) const { return get<EmfPlusRegion>(id); }
  const EmfPlusImage* image(uint32_t id) const { return get<EmfPlusImage>(id); }
  const EmfPlusFont* font(uint32_t id) const { return get<EmfPlusFont>(id); }
  const EmfPlusStringFormat* format(uint32_t id) const { return get<EmfPlusStringFormat>(id); }

 private:
  using Object = std::variant<std::monostate, EmfPlusBrush, EmfPlusPen, QPainterPath, EmfPlusRegion,
                              EmfPlusImage, EmfPlusFont, EmfPlusStringFormat>;

  template <typename T>
  const T* get(uint32_t id) const {
    return id < table_.size() ? std::get_if<T>(&table_[id]) : nullptr;
  }
  void read(uint32_t id, uint32_t type, EmfPlusReader& r);

  DibCache& bitmaps_;
  int nesting_;
  std::array<Object, emfplus::kObjectTable> table_;
  // The pieces of a continued object so far, and what they are for.
  QByteArray pending_;
  uint32_t pendingId_ = 0, pendingType_ = 0, pendingTotal_ = 0;
};

}  // namespace ostrel
