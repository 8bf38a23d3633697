#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

#include "toolkit/picture/Drawing.h"

namespace ostrel {

enum class MetafileKind { None, Wmf, PlaceableWmf, Emf };

// Tells from the first bytes whether data is a metafile, and which kind.
MetafileKind sniffMetafile(const QByteArray& data);

// Decodes a WMF or EMF file into a drawing. Throws ToolkitError
// (err::InvalidPicture) naming fileName and the reason when the data is not a
// metafile that can be drawn.
std::shared_ptr<const Drawing> readMetafile(const QByteArray& data, const QString& fileName);

}  // namespace ostrel
