#pragma once

#include <QByteArray>
#include <QString>
#include <utility>

#include "toolkit/files/RegularFileReader.h"

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

  // The file held open to be read in parts as a decoder needs them, after
  // read()'s refusals (but an empty file is opened); size() is its size
  // when opened.
  static PictureFile open(const QString& fullName);
  qint64 size() const { return qint64(file_.info.st_size); }
  // Reads up to count bytes at offset into to and says how many came: fewer
  // only where the file ends. Throws ToolkitError when the read fails.
  qint64 readAt(qint64 offset, char* to, qint64 count) const;
  // The whole file as read() gives it, head being its first bytes as
  // readAt() gave them, which are not read again.
  QByteArray readAll(const QByteArray& head) const;

 private:
  PictureFile(RegularFileReader::Opened file, QString name)
      : file_(std::move(file)), name_(std::move(name)) {}
  RegularFileReader::Opened file_;
  QString name_;  // as error descriptions show it
};

}  // namespace ostrel
