#pragma once

#include <QSize>
#include <QString>

#include "toolkit/picture/Picture.h"

namespace ostrel {

// The program's one picture loader: a full file name in, a Picture out. The
// format is decided by content (BMP, header-less DIB, JPEG, GIF, ICO/CUR, PNG,
// WMF, EMF), never by the name. Failures throw ToolkitError with a number
// (err::FileNotFound, err::PathNotFound, err::PermissionDenied,
// err::PathFileAccess, err::InvalidPicture, err::OutOfMemory) and a
// description naming the file and the reason.
class PictureLoader {
 public:
  // The whole picture at its natural size.
  static Picture load(const QString& fullName);

  // A picture good for showing at about previewPixels: photos are decoded
  // at the smallest DCT scale that still covers it. naturalSize() stays the
  // picture's full size. Drawings are the same as from load().
  static Picture loadForPreview(const QString& fullName, QSize previewPixels);

  // The decoding step alone, for bytes already in memory; fileName only
  // names the picture in error descriptions.
  static Picture decode(const QByteArray& bytes, const QString& fileName, QSize previewPixels);
};

}  // namespace ostrel
