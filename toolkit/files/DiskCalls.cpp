#include "toolkit/files/DiskCalls.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <cerrno>
#include <utility>

#include "toolkit/files/UniqueFd.h"

namespace ostrel {

namespace {

DiskCalls::Set& calls() {
  static DiskCalls::Set set;
  return set;
}

constexpr qint64 kCopyStep = 1024 * 1024;

}  // namespace

void DiskCalls::use(Set set) {
  calls() = std::move(set);
}

ssize_t DiskCalls::write(int fd, const char* data, size_t size, off_t offset) {
  if (calls().write) return calls().write(fd, data, size, offset);
  return ::pwrite(fd, data, size, offset);
}

int DiskCalls::clone(int to, int from) {
  if (calls().clone) return calls().clone(to, from);
  return ::ioctl(to, FICLONE, from);
}

int DiskCalls::sync(int fd) {
  if (calls().sync) return calls().sync(fd);
  return ::fsync(fd);
}

bool DiskCalls::writeAll(int fd, QByteArrayView bytes, off_t offset) {
  qint64 done = 0;
  while (done < bytes.size()) {
    const auto step = static_cast<size_t>(qMin<qint64>(bytes.size() - done, 1 << 30));
    const ssize_t written = write(fd, bytes.data() + done, step, offset + done);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return false;
    if (written == 0) {
      errno = ENOSPC;
      return false;
    }
    done += written;
  }
  return true;
}

namespace {

// Makes [at, at + length) of fd read as zeros: a hole where the file system
// makes them (freeing room rather than taking it), else written zeros.
bool zero(int fd, off_t at, off_t length) {
  if (length <= 0) return true;
  if (::fallocate(fd, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, at, length) == 0) return true;
  const QByteArray zeros(static_cast<qsizetype>(qMin<off_t>(length, kCopyStep)), '\0');
  for (off_t done = 0; done < length; done += zeros.size()) {
    if (!DiskCalls::writeAll(
            fd, QByteArrayView(zeros).first(qMin<off_t>(zeros.size(), length - done)), at + done))
      return false;
  }
  return true;
}

// Where from's next stretch of data starts and ends, at or after at; its
// end when there is none. Where the system cannot tell, all is data.
std::pair<off_t, off_t> nextData(int from, off_t at, off_t size) {
  const off_t data = ::lseek(from, at, SEEK_DATA);
  if (data < 0) return errno == ENXIO ? std::pair{size, size} : std::pair{at, size};
  const off_t hole = ::lseek(from, data, SEEK_HOLE);
  return {data, hole < 0 ? size : qMin(hole, size)};
}

}  // namespace

qint64 DiskCalls::copy(int from, int to) {
  struct stat info {};
  if (::fstat(from, &info) != 0) return -1;
  QByteArray buffer(kCopyStep, Qt::Uninitialized);
  off_t at = 0;
  // A sparse file's holes stay holes: a copy of it takes no more room than
  // it does, and neither does putting it back.
  while (at < info.st_size) {
    const auto [data, end] = nextData(from, at, info.st_size);
    if (!zero(to, at, data - at)) return -1;
    for (at = data; at < end;) {
      const ssize_t got = ::pread(from, buffer.data(), qMin<off_t>(buffer.size(), end - at), at);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) return -1;
      if (got == 0) return at;  // it shrank meanwhile: all there is
      if (!writeAll(to, QByteArrayView(buffer).first(got), at)) return -1;
      at += got;
    }
  }
  return at;
}

void DiskCalls::syncFolder(const QByteArray& folder) {
  const UniqueFd fd(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.get() >= 0) ::fsync(fd.get());
}

}  // namespace ostrel
