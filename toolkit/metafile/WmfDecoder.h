#pragma once

#include <QByteArray>
#include <QString>

#include "toolkit/metafile/MetafileContent.h"

namespace ostrel {

class DibCache;
class GdiPlayer;

// Reads Windows metafiles, with or without the placeable header: checks the
// headers and every record at load, then translates the records into calls on
// the GDI player when painting.
class WmfDecoder {
 public:
  // Throws ToolkitError (err::InvalidPicture) naming fileName and the reason.
  static MetafileContent parse(const QByteArray& data, const QString& fileName);
  // The enhanced metafile a WMF converted from one carries in its escape
  // records, whole, or empty when the file has none or its pieces do not
  // add up.
  static QByteArray embeddedEmf(const MetafileContent& content);
  // Bitmaps are decoded through bitmaps, once each and within its budget.
  static void play(const MetafileContent& content, GdiPlayer& player, DibCache& bitmaps);
};

}  // namespace ostrel
