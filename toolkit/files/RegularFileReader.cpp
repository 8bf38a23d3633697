#include "toolkit/files/RegularFileReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>

#include "toolkit/files/FileNames.h"
#include "toolkit/files/UniqueFd.h"

namespace ostrel {

namespace {

using Problem = RegularFileReader::Problem;
using Failure = RegularFileReader::Failure;

[[noreturn]] void failFor(const QByteArray& path, int error) {
  switch (error) {
    case ENOENT: {
      // A missing folder on the way is a different mistake from a missing file.
      const qsizetype slash = path.lastIndexOf('/');
      struct stat folder {};
      const QByteArray folderPath =
          slash > 0 ? path.left(slash) : QByteArray(slash == 0 ? "/" : ".");
      const bool folderThere =
          ::stat(folderPath.constData(), &folder) == 0 && S_ISDIR(folder.st_mode);
      throw Failure{folderThere ? Problem::NotFound : Problem::FolderNotFound, error};
    }
    case ENOTDIR:
      throw Failure{Problem::NotAFolder, error};
    case ELOOP:
    case ENAMETOOLONG:
      throw Failure{Problem::Unfollowable, error};
    case EACCES:
    case EPERM:
      throw Failure{Problem::PermissionDenied, error};
    case ENXIO:  // a socket or a device with nothing behind it
      throw Failure{Problem::NotRegular, error};
    case ENOMEM:
      throw Failure{Problem::OutOfMemory, error};
    default:
      throw Failure{Problem::CannotOpen, error};
  }
}

void checkKind(const struct stat& info, qint64 sizeLimit) {
  if (S_ISDIR(info.st_mode)) throw Failure{Problem::IsFolder};
  if (!S_ISREG(info.st_mode)) throw Failure{Problem::NotRegular};
  if (info.st_size > sizeLimit) throw Failure{Problem::TooLarge, 0, info.st_size};
}

// Reads up to wanted bytes at offset into at; 0 at the end of the file.
qint64 readSome(int fd, qint64 offset, char* at, qint64 wanted) {
  for (;;) {
    const ssize_t got = ::pread(fd, at, static_cast<size_t>(wanted), static_cast<off_t>(offset));
    if (got >= 0) return got;
    if (errno != EINTR) throw Failure{Problem::CannotRead, errno};
  }
}

// The file from its start, of which the caller has already read head.
QByteArray readFrom(int fd, qint64 expected, qint64 sizeLimit, const QByteArray& head,
                    const RegularFileReader::Progress& progress) {
  // Ordinary pages: the whole file is read before anything of it shows, and
  // fresh huge pages, which the kernel may first have to assemble, made a
  // 250 MB read take two to three times as long on a shared machine.
  QByteArray bytes(static_cast<qsizetype>(qMax<qint64>(expected, head.size())), Qt::Uninitialized);
  std::copy(head.cbegin(), head.cend(), bytes.begin());
  qint64 done = head.size();
  for (;;) {
    if (done == bytes.size()) {
      // All that the size promised is here; a file that grew since has more.
      char probe = 0;
      if (readSome(fd, done, &probe, 1) == 0) break;
      if (done + 1 > sizeLimit) throw Failure{Problem::TooLarge, 0, done + 1};
      bytes.resize(static_cast<qsizetype>(qMin(sizeLimit, qMax<qint64>(done * 2, 65536))));
      bytes[done++] = probe;
      continue;
    }
    // In steps, so that the caller can show how far a large file is.
    constexpr qint64 kStep = qint64(16) * 1024 * 1024;
    const qint64 got = readSome(fd, done, bytes.data() + done, qMin(bytes.size() - done, kStep));
    if (got == 0) break;  // shrank while we read: keep what there is
    done += got;
    if (progress) progress(done, bytes.size());
  }
  bytes.truncate(static_cast<qsizetype>(done));
  return bytes;
}

}  // namespace

RegularFileReader::Opened RegularFileReader::open(const QString& fileName, qint64 sizeLimit) {
  if (fileName.isEmpty() || fileName.endsWith(QLatin1Char('/'))) throw Failure{Problem::NoName};
  const QByteArray path = FileNames::encode(fileName);
  struct stat info {};
  if (::stat(path.constData(), &info) != 0) failFor(path, errno);
  checkKind(info, sizeLimit);

  // Non-blocking, so that a pipe put in the file's place since the check
  // cannot hang us; the kind is checked again on what was opened.
  UniqueFd fd(::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (fd.get() < 0) failFor(path, errno);
  if (::fstat(fd.get(), &info) != 0) failFor(path, errno);
  checkKind(info, sizeLimit);
  return {std::move(fd), info};
}

RegularFileReader::Contents RegularFileReader::read(const QString& fileName, qint64 sizeLimit,
                                                    const Progress& progress) {
  const Opened file = open(fileName, sizeLimit);
  QByteArray bytes = readRest(file, {}, sizeLimit, progress);
  FileIdentity identity(file.info, bytes);
  return {std::move(bytes), identity};
}

qint64 RegularFileReader::readAt(const Opened& file, qint64 offset, char* to, qint64 count) {
  qint64 done = 0;
  while (done < count) {
    const qint64 got = readSome(file.fd.get(), offset + done, to + done, count - done);
    if (got == 0) break;
    done += got;
  }
  return done;
}

QByteArray RegularFileReader::readRest(const Opened& file, const QByteArray& head, qint64 sizeLimit,
                                       const Progress& progress) {
  try {
    return readFrom(file.fd.get(), file.info.st_size, sizeLimit, head, progress);
  } catch (const std::bad_alloc&) {
    throw Failure{Problem::OutOfMemory, ENOMEM, file.info.st_size};
  }
}

}  // namespace ostrel
