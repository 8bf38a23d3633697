#include "toolkit/picture/PictureFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "toolkit/ToolkitError.h"
#include "toolkit/files/UniqueFd.h"
#include "toolkit/picture/DecodeFailure.h"
#include "toolkit/picture/PictureLimits.h"

namespace ostrel {

namespace {

QString native(const QString& name) {
  return QDir::toNativeSeparators(name);
}

[[noreturn]] void throwOpenError(const QString& fullName, int error) {
  const QString name = native(fullName);
  switch (error) {
    case ENOENT: {
      // A missing folder on the way is a different mistake from a missing file.
      const QFileInfo info(fullName);
      if (!fullName.isEmpty() && !info.absoluteDir().exists()) {
        throw ToolkitError(err::PathNotFound, QCoreApplication::translate(
                                                  "ostrel::PictureLoader",
                                                  "The folder of the file “%1” does not exist.")
                                                  .arg(name));
      }
      throw ToolkitError(
          err::FileNotFound,
          QCoreApplication::translate("ostrel::PictureLoader", "The file “%1” does not exist.")
              .arg(name));
    }
    case ENOTDIR:
      throw ToolkitError(err::PathNotFound,
                         QCoreApplication::translate(
                             "ostrel::PictureLoader",
                             "The path of the file “%1” runs through something that is not a "
                             "folder.")
                             .arg(name));
    case EACCES:
    case EPERM:
      throw ToolkitError(err::PermissionDenied,
                         QCoreApplication::translate("ostrel::PictureLoader",
                                                     "You are not allowed to read the file “%1”.")
                             .arg(name));
    case ENAMETOOLONG:
    case ELOOP:
      throw ToolkitError(err::PathNotFound,
                         QCoreApplication::translate("ostrel::PictureLoader",
                                                     "The file name “%1” cannot be followed: %2.")
                             .arg(name, QString::fromLocal8Bit(std::strerror(error))));
    case ENXIO:
      // O_NONBLOCK on a FIFO without writer would succeed; ENXIO comes from
      // sockets and devices that have nothing behind them.
      throw ToolkitError(err::InvalidPicture,
                         QCoreApplication::translate(
                             "ostrel::PictureLoader",
                             "The file “%1” is not a picture this program can show: it is not a "
                             "regular file.")
                             .arg(name));
    default:
      throw ToolkitError(err::PathFileAccess,
                         QCoreApplication::translate("ostrel::PictureLoader",
                                                     "The file “%1” cannot be opened: %2.")
                             .arg(name, QString::fromLocal8Bit(std::strerror(error))));
  }
}

// A large photo read into fresh memory page-faults once per 4 KB page, which
// on a virtual machine costs more than copying the bytes. Huge pages for the
// buffer's interior cut that to one fault per 2 MB; the advice is harmless
// where the kernel does not follow it.
void adviseHugePages(QByteArray& bytes) {
  constexpr std::uintptr_t kHuge = 2 * 1024 * 1024;
  if (std::uintptr_t(bytes.size()) < 4 * kHuge) return;
  const auto begin = (reinterpret_cast<std::uintptr_t>(bytes.data()) + kHuge - 1) & ~(kHuge - 1);
  const auto end = (reinterpret_cast<std::uintptr_t>(bytes.data()) + bytes.size()) & ~(kHuge - 1);
  if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

}  // namespace

QByteArray PictureFile::read(const QString& fullName) {
  const QString name = native(fullName);
  if (fullName.isEmpty()) {
    throw ToolkitError(err::FileNotFound,
                       QCoreApplication::translate("ostrel::PictureLoader",
                                                   "No file name was given for the picture."));
  }
  const QByteArray path = QFile::encodeName(fullName);
  // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
  // Checking the type after opening (fstat) leaves no window for the name to
  // be swapped between the check and the open.
  UniqueFd fd(::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (fd.get() < 0) throwOpenError(fullName, errno);

  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) throwOpenError(fullName, errno);
  if (S_ISDIR(st.st_mode)) {
    throw ToolkitError(err::PathFileAccess,
                       QCoreApplication::translate("ostrel::PictureLoader",
                                                   "“%1” is a folder, not a picture file.")
                           .arg(name));
  }
  if (!S_ISREG(st.st_mode)) {
    throw ToolkitError(err::InvalidPicture,
                       QCoreApplication::translate(
                           "ostrel::PictureLoader",
                           "The file “%1” is not a picture this program can show: it is not a "
                           "regular file.")
                           .arg(name));
  }
  if (st.st_size == 0) {
    throw ToolkitError(err::InvalidPicture,
                       QCoreApplication::translate(
                           "ostrel::PictureLoader",
                           "The file “%1” is not a picture this program can show: the file is "
                           "empty.")
                           .arg(name));
  }
  if (st.st_size > PictureLimits::kMaxFileBytes) {
    throw ToolkitError(err::OutOfMemory,
                       QCoreApplication::translate(
                           "ostrel::PictureLoader",
                           "The file “%1” is too large to show: it holds %2 MB, and pictures of "
                           "up to %3 MB are shown.")
                           .arg(name)
                           .arg(st.st_size / (1024 * 1024))
                           .arg(PictureLimits::kMaxFileBytes / (1024 * 1024)));
  }

  QByteArray bytes(qsizetype(st.st_size), Qt::Uninitialized);
  adviseHugePages(bytes);
  qsizetype done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::read(fd.get(), bytes.data() + done, size_t(bytes.size() - done));
    if (n < 0) {
      if (errno == EINTR) continue;
      throw ToolkitError(err::PathFileAccess,
                         QCoreApplication::translate("ostrel::PictureLoader",
                                                     "The file “%1” could not be read: %2.")
                             .arg(name, QString::fromLocal8Bit(std::strerror(errno))));
    }
    if (n == 0) break;  // shrank while we read: keep what there is
    done += n;
  }
  if (done == 0) {
    throw ToolkitError(err::InvalidPicture,
                       QCoreApplication::translate(
                           "ostrel::PictureLoader",
                           "The file “%1” is not a picture this program can show: the file is "
                           "empty.")
                           .arg(name));
  }
  bytes.truncate(done);
  return bytes;
}

}  // namespace ostrel
