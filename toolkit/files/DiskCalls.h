#pragma once

#include <sys/types.h>

#include <QByteArrayView>
#include <functional>

namespace ostrel {

// The calls through which saving puts bytes on disk, in one place so that a
// test can make any of them fail, or end the process, at the moment it picks.
class DiskCalls {
 public:
  struct Set {
    // As pwrite(2): the bytes written, or -1 with errno set.
    std::function<ssize_t(int fd, const char* data, size_t size, off_t offset)> write;
    // As ioctl(to, FICLONE, from): 0, or -1 with errno set.
    std::function<int(int to, int from)> clone;
    // As fsync(2).
    std::function<int(int fd)> sync;
  };
  // From now on every save uses these (an empty member: the system's own).
  static void use(Set calls);

  static ssize_t write(int fd, const char* data, size_t size, off_t offset);
  static int clone(int to, int from);
  static int sync(int fd);

  // All of bytes at offset; false with errno set.
  static bool writeAll(int fd, QByteArrayView bytes, off_t offset);
  // from's bytes into to at the same places, a bounded piece at a time, its
  // holes as holes; the length copied (less than from's size only when it
  // shrank meanwhile), or -1 with errno set. The caller cuts to to that length.
  static qint64 copy(int from, int to);
  // Flushes the folder that holds a name just made, renamed or removed.
  static void syncFolder(const QByteArray& folder);
};

}  // namespace ostrel
