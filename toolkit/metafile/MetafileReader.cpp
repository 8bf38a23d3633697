#include "toolkit/metafile/MetafileReader.h"

#include <QCoreApplication>
#include <cstddef>

#include "toolkit/ToolkitError.h"
#include "toolkit/files/FileNames.h"
#include "toolkit/metafile/EmfDecoder.h"
#include "toolkit/metafile/GdiNames.h"
#include "toolkit/metafile/MetafileDrawing.h"
#include "toolkit/metafile/RecordReader.h"
#include "toolkit/metafile/WmfDecoder.h"

namespace ostrel {

namespace {

// The start of a WMF header: where the file was kept (1 in memory, 2 on
// disk), the header's size in 16-bit words and the version.
struct WmfHeaderStart {
  uint16_t type, headerWords, version;
};

}  // namespace

MetafileKind sniffMetafile(const QByteArray& data) {
  const RecordReader r(data.constData(), uint32_t(std::min<qsizetype>(data.size(), 64)));
  const uint32_t first = r.u32(0);
  if (first == gdi::kPlaceableKey) return MetafileKind::PlaceableWmf;
  // An EMF opens with its header record; only its type and signature are read.
  if (first == U_EMR_HEADER &&
      r.as<U_EMRHEADER>(0, offsetof(U_EMRHEADER, nVersion)).dSignature == U_ENHMETA_SIGNATURE)
    return MetafileKind::Emf;
  const auto wmf = r.as<WmfHeaderStart>();
  if (r.ok() && (wmf.type == U_MEMORYMETAFILE || wmf.type == U_DISKMETAFILE) &&
      wmf.headerWords == gdi::kWmfHeaderWords &&
      (wmf.version == U_METAVERSION300 || wmf.version == U_METAVERSION100))
    return MetafileKind::Wmf;
  return MetafileKind::None;
}

MetafileContent drawnContentOf(MetafileContent wmf, const QString& fileName) {
  const QByteArray emfBytes = WmfDecoder::embeddedEmf(wmf);
  if (sniffMetafile(emfBytes) != MetafileKind::Emf) return wmf;
  try {
    MetafileContent emf = EmfDecoder::parse(emfBytes, fileName);
    emf.naturalSize = wmf.naturalSize;
    return emf;
  } catch (const ToolkitError&) {
    return wmf;
  }
}

std::shared_ptr<const Drawing> readMetafile(const QByteArray& data, const QString& fileName) {
  switch (sniffMetafile(data)) {
    case MetafileKind::Emf:
      return std::make_shared<MetafileDrawing>(EmfDecoder::parse(data, fileName));
    case MetafileKind::Wmf:
    case MetafileKind::PlaceableWmf: {
      return std::make_shared<MetafileDrawing>(
          drawnContentOf(WmfDecoder::parse(data, fileName), fileName));
    }
    case MetafileKind::None:
      break;
  }
  throw ToolkitError(
      err::InvalidPicture,
      QCoreApplication::translate("MetafileReader",
                                  "The picture “%1” cannot be shown: it is not a metafile.")
          .arg(FileNames::shown(fileName)));
}

}  // namespace ostrel
