#include "toolkit/metafile/EmfPlusObjects.h"

#include "toolkit/metafile/EmfPlusPath.h"
#include "toolkit/metafile/EmfPlusReader.h"

namespace ostrel {

void EmfPlusObjects::define(uint16_t flags, EmfPlusReader data) {
  const uint32_t id = flags & emfplus::kObjectIdMask;
  const uint32_t type = (flags >> emfplus::kObjectTypeShift) & emfplus::kObjectTypeMask;
  if (id >= table_.size()) return;
  const bool samePending = !pending_.isEmpty() && pendingId_ == id && pendingType_ == type;
  if (flags & emfplus::kContinuedObject) {
    const uint32_t total = data.u32();
    if (!samePending) {
      pending_.clear();
      pendingId_ = id, pendingType_ = type, pendingTotal_ = total;
    }
    pending_.append(data.current(), data.remaining());
    // Writers differ on whether the last piece says it continues: the
    // object is whole when its announced size is in.
    if (uint32_t(pending_.size()) < pendingTotal_) return;
  } else if (samePending) {
    pending_.append(data.current(), data.remaining());
  } else {
    pending_.clear();
    read(id, type, data);
    return;
  }
  const QByteArray whole = std::move(pending_);
  pending_.clear();
  EmfPlusReader r(whole.constData(), uint32_t(whole.size()));
  read(id, type, r);
}

void EmfPlusObjects::read(uint32_t id, uint32_t type, EmfPlusReader& r) {
  Object& slot = table_[id];
  switch (type) {
    case U_OT_Brush:
      slot = EmfPlusBrush::read(r, bitmaps_, nesting_);
      break;
    case U_OT_Pen:
      slot = EmfPlusPen::read(r, bitmaps_, nesting_);
      break;
    case U_OT_Path:
      slot = EmfPlusPath::read(r);
      break;
    case U_OT_Region:
      slot = EmfPlusRegion::read(r);
      break;
    case U_OT_Image:
      slot = EmfPlusImage::read(r, bitmaps_, nesting_);
      break;
    case U_OT_Font:
      slot = EmfPlusFont::read(r);
      break;
    case U_OT_StringFormat:
      slot = EmfPlusStringFormat::read(r);
      break;
    default:
      // Image attributes (wrap mode and clamp colour) change nothing drawn here.
      slot = std::monostate{};
      break;
  }
}

}  // namespace ostrel
