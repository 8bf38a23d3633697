#pragma once

#include <cstdint>

#include "toolkit/metafile/EmfPlusBrush.h"
#include "toolkit/metafile/EmfPlusObjects.h"
#include "toolkit/metafile/EmfPlusPlayer.h"

namespace ostrel {

class DibCache;
class EmfPlusReader;
class GdiPlayer;

// Plays the EMF+ records an EMF carries in its comments, beside the GDI
// playing of the same file, and says which GDI records are only the EMF+
// drawing's stand-in for programs without EMF+ (those are not drawn twice):
// once an EMF+ header is seen, GDI drawing records count only when they
// follow a GetDC record, until the next EMF+ record, or after the EMF+ end
// (the end record, or the last EMF+ comment of a file without one).
class EmfPlusPlayback {
 public:
  // What a file's EMF+ records hold, found at load without drawing.
  struct Census {
    bool header = false;   // an EMF+ header record
    bool drawing = false;  // records that put something on the page
    int unsupported = 0;   // records of unknown types, or not drawn here
    int rejected = 0;      // records whose sizes do not hold together
  };
  // The EMF+ records of one EMF comment: data holds what follows the
  // comment's "EMF+" identifier.
  static void survey(const char* data, uint32_t size, Census& census);
  // Whether an EMF comment record carries EMF+ records.
  static bool isPlusComment(const char* record, uint32_t size);

  EmfPlusPlayback(GdiPlayer& gdi, DibCache& bitmaps);

  // The EMF+ records of one EMF comment record (the whole EMF record).
  void comment(const char* record, uint32_t size);
  // The file holds no EMF+ records after these: whatever GDI records
  // follow are drawn, even when the EMF+ records never came to their end.
  void endOfComments() { active_ = false; }
  // Whether GDI drawing records stand in for EMF+ drawing at this point.
  bool gdiIsStandIn() const { return active_ && !afterGetDC_; }

 private:
  void record(uint16_t type, uint16_t flags, EmfPlusReader& r);
  // One handler per family of records; each says whether it knew the record.
  bool stateRecord(uint16_t type, uint16_t flags, EmfPlusReader& r);
  bool transformRecord(uint16_t type, uint16_t flags, EmfPlusReader& r);
  bool clipRecord(uint16_t type, uint16_t flags, EmfPlusReader& r);
  bool shapeRecord(uint16_t type, uint16_t flags, EmfPlusReader& r);
  bool curveRecord(uint16_t type, uint16_t flags, EmfPlusReader& r);
  bool imageRecord(uint16_t type, uint16_t flags, EmfPlusReader& r);
  bool textRecord(uint16_t type, uint16_t flags, EmfPlusReader& r);
  // The brush a record names: an ARGB colour when flags say so, else an
  // object; null when the object is missing.
  const EmfPlusBrush* brushOf(uint16_t flags, uint32_t value);
  const EmfPlusPen* penOf(uint32_t id) const { return objects_.pen(id); }
  void fillOrStroke(const QPainterPath& path, uint16_t flags, const EmfPlusBrush* brush);

  DibCache& bitmaps_;
  EmfPlusPlayer player_;
  EmfPlusObjects objects_;
  EmfPlusBrush colorBrush_;
  bool active_ = false;
  bool afterGetDC_ = false;
};

}  // namespace ostrel
