#pragma once

#include <QByteArray>
#include <QString>

namespace ostrel {

// Reads a picture file into memory in one go through the one regular-file
// reader, refusing what is no regular file (a directory, a FIFO, a socket, a
// device) without ever blocking on it, an empty file and one larger than
// PictureLimits::kMaxFileBytes, in the picture loader's words.
class PictureFile {
 public:
  // Throws ToolkitError with err::FileNotFound, err::PathNotFound,
  // err::PermissionDenied, err::PathFileAccess (a directory or a read
  // failure), err::InvalidPicture (empty or not a regular file) or
  // err::OutOfMemory (too large); the description names the file.
  static QByteArray read(const QString& fullName);
};

}  // namespace ostrel
