#include "toolkit/metafile/MetafileReader.h"

#include <QCoreApplication>
#include <QDir>

#include "toolkit/ToolkitError.h"
#include "toolkit/metafile/EmfDecoder.h"
#include "toolkit/metafile/MetafileDrawing.h"
#include "toolkit/metafile/RecordReader.h"
#include "toolkit/metafile/WmfDecoder.h"

namespace ostrel {

MetafileKind sniffMetafile(const QByteArray& data) {
  const RecordReader r(data.constData(), uint32_t(std::min<qsizetype>(data.size(), 64)));
  if (r.u32(0) == 0x9AC6CDD7) return MetafileKind::PlaceableWmf;
  if (r.u32(0) == 1 && r.u32(40) == 0x464D4520) return MetafileKind::Emf;
  const uint16_t type = r.u16(0), words = r.u16(2), version = r.u16(4);
  if (r.ok() && (type == 1 || type == 2) && words == 9 && (version == 0x300 || version == 0x100))
    return MetafileKind::Wmf;
  return MetafileKind::None;
}

std::shared_ptr<const Drawing> readMetafile(const QByteArray& data, const QString& fileName) {
  switch (sniffMetafile(data)) {
    case MetafileKind::Emf:
      return std::make_shared<MetafileDrawing>(EmfDecoder::parse(data, fileName));
    case MetafileKind::Wmf:
    case MetafileKind::PlaceableWmf:
      return std::make_shared<MetafileDrawing>(WmfDecoder::parse(data, fileName));
    case MetafileKind::None:
      break;
  }
  throw ToolkitError(
      err::InvalidPicture,
      QCoreApplication::translate("MetafileReader",
                                  "The picture \"%1\" cannot be shown: it is not a metafile.")
          .arg(QDir::toNativeSeparators(fileName)));
}

}  // namespace ostrel
