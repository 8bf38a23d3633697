#include "toolkit/printing/PrintFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "toolkit/files/FileNames.h"

namespace ostrel {

namespace {
constexpr qsizetype kBufferBytes = 256 * 1024;
// What every PDF ends with, give or take a line end after it.
constexpr char kEndMark[] = "%%EOF";
}  // namespace

PrintFile::~PrintFile() {
  if (fd_ >= 0) discard();
}

bool PrintFile::create(const QString& fileName) {
  name_ = FileNames::encode(fileName);
  // Not blocking on the open: a pipe nobody reads fails with ENXIO at once.
  // Read access too, to look at the file's end once it is written.
  constexpr int kFlags = O_CREAT | O_TRUNC | O_NONBLOCK | O_CLOEXEC;
  fd_ = ::open(name_.constData(), O_RDWR | kFlags, 0666);
  if (fd_ < 0 && errno == EACCES) fd_ = ::open(name_.constData(), O_WRONLY | kFlags, 0666);
  if (fd_ < 0) {
    error_ = errno;
    return false;
  }
  ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
  buffer_.reserve(kBufferBytes);
  return open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

qint64 PrintFile::readData(char*, qint64) {
  return -1;
}

qint64 PrintFile::writeData(const char* data, qint64 size) {
  // After a failure the rest is dropped; the painter goes on to its next
  // check, which sees error().
  if (error_ != 0 || fd_ < 0) return size;
  buffer_.append(data, size);
  if (buffer_.size() >= kBufferBytes) flushBuffer();
  return size;
}

bool PrintFile::flushBuffer() {
  const char* at = buffer_.constData();
  qsizetype left = buffer_.size();
  while (left > 0 && error_ == 0) {
    const ssize_t done = ::write(fd_, at, static_cast<size_t>(left));
    if (done < 0) {
      if (errno != EINTR) error_ = errno;
      continue;
    }
    at += done;
    left -= done;
    written_ += done;
  }
  buffer_.clear();
  return error_ == 0;
}

bool PrintFile::wholeOnDisk() {
  struct stat status {};
  if (::fstat(fd_, &status) != 0) {
    error_ = errno;
    return false;
  }
  // A device or a pipe the user chose keeps nothing to look at.
  if (!S_ISREG(status.st_mode)) return true;
  char tail[16] = {};
  const off_t from = qMax<off_t>(0, status.st_size - off_t(sizeof tail));
  const ssize_t got = ::pread(fd_, tail, sizeof tail, from);
  const QByteArray end = QByteArray(tail, qMax<ssize_t>(got, 0)).trimmed();
  // A file the user may write but not read keeps its end to itself.
  const bool readable = got >= 0 || errno != EBADF;
  if (status.st_size != written_ || (readable && !end.endsWith(kEndMark))) error_ = kIncomplete;
  return error_ == 0;
}

bool PrintFile::finish() {
  if (fd_ < 0) return false;
  QIODevice::close();
  if (flushBuffer() && ::fdatasync(fd_) != 0 && errno != EINVAL) error_ = errno;
  if (error_ == 0) wholeOnDisk();
  // Closing can be the first to hear of a failed write (on a network file system).
  if (::close(fd_) != 0 && error_ == 0 && errno != EINTR) error_ = errno;
  fd_ = -1;
  if (error_ != 0) ::unlink(name_.constData());
  return error_ == 0;
}

void PrintFile::discard() {
  QIODevice::close();
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  buffer_.clear();
  ::unlink(name_.constData());
}

QString PrintFile::reason() const {
  // In the words a failed save uses, and its translations.
  const auto words = [](const char* text) {
    return QCoreApplication::translate("SafeFileWriter", text);
  };
  switch (error_) {
    case 0:
      return {};
    case kIncomplete:
      return tr("the file on disk is not the whole document");
    case ENOSPC:
      return words(QT_TRANSLATE_NOOP("SafeFileWriter", "the disk is full"));
    case EDQUOT:
      return words(QT_TRANSLATE_NOOP("SafeFileWriter", "your disk quota is full"));
    case EFBIG:
      return words(
          QT_TRANSLATE_NOOP("SafeFileWriter", "it would be larger than the file system allows"));
    case EIO:
      return words(QT_TRANSLATE_NOOP("SafeFileWriter", "the device reported an error"));
    case EACCES:
    case EPERM:
      return words(QT_TRANSLATE_NOOP("SafeFileWriter", "you do not have permission to write it"));
    case EROFS:
      return words(QT_TRANSLATE_NOOP("SafeFileWriter", "the file system is read-only"));
    default:
      return words(QT_TRANSLATE_NOOP("SafeFileWriter", "the system reports \"%1\""))
          .arg(QString::fromLocal8Bit(std::strerror(error_)));
  }
}

}  // namespace ostrel
