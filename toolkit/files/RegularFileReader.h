#pragma once

#include <sys/stat.h>

#include <QByteArray>
#include <QString>
#include <functional>

#include "toolkit/files/FileIdentity.h"
#include "toolkit/files/UniqueFd.h"

namespace ostrel {

// Reads a regular file whole, for text and pictures alike. What the name
// stands for is checked before it is opened and again on what was opened, so
// a folder, a pipe or a device is refused without blocking and without the
// side effects opening a device can have. The file may grow or shrink while
// it is read: what is there is taken, up to the caller's limit. Failures say
// what went wrong, not how to word it; each caller chooses its own messages.
class RegularFileReader {
 public:
  enum class Problem {
    NoName,          // empty, or a folder's name ending in "/"
    NotFound,        // the folder is there, the file is not
    FolderNotFound,  // a folder on the way is missing
    NotAFolder,      // something on the way is a file, not a folder
    Unfollowable,    // too many links, or a name too long
    PermissionDenied,
    IsFolder,
    NotRegular,   // a pipe, socket or device
    TooLarge,     // more bytes than the caller's limit
    OutOfMemory,  // no memory for the bytes
    CannotOpen,   // any other refusal to open (systemError says which)
    CannotRead    // a read failed part way (systemError says which)
  };

  // Thrown by read(), open(), readAt() and readRest().
  struct Failure {
    Problem problem;
    int systemError = 0;  // the errno behind it, 0 when none
    qint64 size = 0;      // the file's size when known (for TooLarge)
  };

  struct Contents {
    QByteArray bytes;
    FileIdentity identity;  // as the file was when it was read
  };

  // Hears now and then how many bytes of how many are read.
  using Progress = std::function<bool(qint64 done, qint64 total)>;

  static Contents read(const QString& fileName, qint64 sizeLimit, const Progress& progress = {});

  // read()'s checks alone, for a caller that reads the file in parts: the
  // file open for reading, and what it was when opened.
  struct Opened {
    UniqueFd fd;
    struct stat info;
  };
  static Opened open(const QString& fileName, qint64 sizeLimit);
  // Reads up to count bytes at offset into to and says how many came: fewer
  // only where the file ends. Throws Failure (CannotRead).
  static qint64 readAt(const Opened& file, qint64 offset, char* to, qint64 count);
  // The whole file as read() gives it, head being its first bytes as
  // readAt() gave them, which are not read again.
  static QByteArray readRest(const Opened& file, const QByteArray& head, qint64 sizeLimit,
                             const Progress& progress = {});
};

}  // namespace ostrel
