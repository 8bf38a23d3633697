#pragma once

#include <sys/types.h>

#include <QByteArray>
#include <QString>
#include <functional>

#include "toolkit/files/FileIdentity.h"

namespace ostrel {

// Writes a file's whole new content so that no failure loses a byte of what
// was on disk. A link is followed and its target written. The bytes go to a
// temporary file beside the target, which takes over the target's owner,
// group, mode bits and extended attributes (ACLs among them) and then
// replaces it. Where that cannot give a faithful replacement (the folder is
// not writable, the file has other hard links, or its owner, group or
// attributes are not ours to give), the file is rewritten in place: the room
// is reserved before anything changes, the old bytes are kept, and any
// failure puts them back. Only when even that fails is the file left
// damaged, and the message then says so and where a copy of the text went.
class SafeFileWriter {
 public:
  // Throws ToolkitError naming the file and the reason, and whether the file
  // on disk is unchanged or damaged. Returns what the file is now.
  static FileIdentity write(const QString& fileName, const QByteArray& bytes);

  // The calls that put bytes on disk, for tests that make them fail.
  struct SystemCalls {
    // As pwrite(2): the bytes written, or -1 with errno set.
    std::function<ssize_t(int fd, const char* data, size_t size, off_t offset)> write;
    // As posix_fallocate(fd, 0, length): 0 or an error number.
    std::function<int(int fd, off_t length)> reserve;
  };
  // From now on every save uses these (an empty member: the system's own).
  static void setSystemCalls(SystemCalls calls);
};

}  // namespace ostrel
