#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

#include "toolkit/metafile/MetafileContent.h"
#include "toolkit/picture/Drawing.h"

namespace ostrel {

enum class MetafileKind { None, Wmf, PlaceableWmf, Emf };

// Tells from the first bytes whether data is a metafile, and which kind.
MetafileKind sniffMetafile(const QByteArray& data);

// Decodes a WMF or EMF file into a drawing. Throws ToolkitError
// (err::InvalidPicture) naming fileName and the reason when the data is not a
// metafile that can be drawn.
// A WMF converted from an EMF carries the original, which keeps what the
// conversion lost (world transforms, text drawn as bitmaps): that is what is
// drawn, at the WMF's size. A WMF without one, or with a damaged one, is
// drawn from its own records.
MetafileContent drawnContentOf(MetafileContent wmf, const QString& fileName);

std::shared_ptr<const Drawing> readMetafile(const QByteArray& data, const QString& fileName);

}  // namespace ostrel
