#include "toolkit/files/SafeFileWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QRandomGenerator>
#include <cerrno>
#include <climits>
#include <cstring>
#include <optional>

#include "toolkit/ToolkitError.h"
#include "toolkit/files/FileMetadata.h"
#include "toolkit/files/FileNames.h"
#include "toolkit/files/SaveJournal.h"
#include "toolkit/files/UniqueFd.h"

namespace ostrel {

namespace {

// The reason for the user behind a system error.
QString reasonFor(int error) {
  switch (error) {
    case ENOSPC:
      return QCoreApplication::translate("SafeFileWriter", "the disk is full");
    case EDQUOT:
      return QCoreApplication::translate("SafeFileWriter", "your disk quota is full");
    case EROFS:
      return QCoreApplication::translate("SafeFileWriter", "the file system is read-only");
    case EACCES:
    case EPERM:
      return QCoreApplication::translate("SafeFileWriter",
                                         "you do not have permission to write it");
    case EIO:
      return QCoreApplication::translate("SafeFileWriter", "the device reported an error");
    case EFBIG:
      return QCoreApplication::translate("SafeFileWriter",
                                         "it would be larger than the file system allows");
    case ENOENT:
    case ENOTDIR:
      return QCoreApplication::translate("SafeFileWriter", "its folder does not exist");
    case ENOMEM:
      return QCoreApplication::translate("SafeFileWriter", "there is not enough memory");
    default:
      // A number the C library has no words for is given as a number.
      if (::strerrordesc_np(error) == nullptr)
        return QCoreApplication::translate("SafeFileWriter", "the system reports error %1")
            .arg(error);
      return QCoreApplication::translate("SafeFileWriter", "the system reports \"%1\"")
          .arg(QString::fromLocal8Bit(std::strerror(error)));
  }
}

int numberFor(int error) {
  switch (error) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return err::DiskFull;
    case EROFS:
    case EACCES:
    case EPERM:
      return err::PermissionDenied;
    case ENOENT:
    case ENOTDIR:
      return err::PathNotFound;
    case ENOMEM:
      return err::OutOfMemory;
    default:
      return err::PathFileAccess;
  }
}

// One save: the name the user gave, the file it leads to, the content.
struct Save {
  QString fileName;
  QByteArray target;  // links followed
  QByteArray folder;
  QByteArray base;
  const SafeFileWriter::Content& content;
  const std::optional<FileIdentity>& folderWas;
};

// A write of the content that the disk refused, with its errno; thrown
// through the content's own code back to the save.
struct WriteRefused {
  int error;
};

// What went to the file: its length and the hash its identity keeps.
struct Written {
  qint64 length = 0;
  FileIdentity::Hash hash;
};

[[noreturn]] void failUnchanged(const Save& save, int number, const QString& reason) {
  throw ToolkitError(number, QCoreApplication::translate(
                                 "SafeFileWriter",
                                 "The file “%1” could not be saved: %2. The file on disk was "
                                 "not changed.")
                                 .arg(FileNames::shown(save.fileName), reason));
}

[[noreturn]] void failUnchanged(const Save& save, int error) {
  failUnchanged(save, numberFor(error), reasonFor(error));
}

[[noreturn]] void failDamaged(const Save& save, int error, const QByteArray& kept,
                              const std::optional<QString>& copy) {
  const QString name = FileNames::shown(save.fileName);
  const QString old = FileNames::shown(FileNames::decode(kept));
  if (copy) {
    throw ToolkitError(numberFor(error),
                       QCoreApplication::translate(
                           "SafeFileWriter",
                           "The file “%1” could not be saved: %2. The file on disk is damaged: "
                           "its old content could not be put back, and is kept in “%3”. A copy "
                           "of your text was saved as “%4”.")
                           .arg(name, reasonFor(error), old, FileNames::shown(*copy)));
  }
  throw ToolkitError(numberFor(error),
                     QCoreApplication::translate(
                         "SafeFileWriter",
                         "The file “%1” could not be saved: %2. The file on disk is damaged: its "
                         "old content could not be put back, and is kept in “%3”. No copy of "
                         "your text could be written: it is still in this window; save it under "
                         "another name on another disk.")
                         .arg(name, reasonFor(error), old));
}

QByteArray folderOf(const QByteArray& path) {
  const qsizetype slash = path.lastIndexOf('/');
  if (slash < 0) return QByteArrayLiteral(".");
  return slash == 0 ? QByteArrayLiteral("/") : path.left(slash);
}

// The system's own rule for links in shared folders (fs.protected_symlinks):
// in a sticky folder anyone may write to, only a link of the user's own or
// of the folder's owner is followed, so that nobody can plant one there that
// leads another user's save to a file of their choosing.
bool mayFollow(const QByteArray& link, const struct stat& info) {
  struct stat folder {};
  if (::stat(folderOf(link).constData(), &folder) != 0) return true;
  const bool shared = (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
  return !shared || info.st_uid == ::geteuid() || info.st_uid == folder.st_uid;
}

// The file a name leads to through any links; a link to nothing leads to
// the name the file will get. Nothing for a link not to be followed.
std::optional<QByteArray> followLinks(QByteArray path) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat info {};
    if (::lstat(path.constData(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    if (!mayFollow(path, info)) return std::nullopt;
    QByteArray target(PATH_MAX, Qt::Uninitialized);
    const ssize_t length = ::readlink(path.constData(), target.data(), target.size());
    if (length <= 0 || length >= target.size()) return path;
    target.truncate(length);
    path = target.startsWith('/') ? target : folderOf(path) + '/' + target;
  }
  return path;  // a loop of links: the write reports it
}

// Hands the content to fd from its start. Nothing when the content gave up;
// a write the disk refuses throws WriteRefused.
std::optional<Written> stream(const Save& save, int fd) {
  Written written;
  const bool whole = save.content([&](QByteArrayView part) {
    if (!DiskCalls::writeAll(fd, part, written.length)) throw WriteRefused{errno};
    written.length += part.size();
    // Past the size whose identity keeps a hash, hashing is time lost.
    if (written.length <= FileIdentity::kHashedUpTo) written.hash.add(part);
  });
  if (!whole) return std::nullopt;
  return written;
}

// A new file of ours named prefix, eight random letters and suffix, made
// mode. A note given names it first (so a save killed at any moment leaves
// nothing it has not named); a note that cannot be written then is dropped
// when optional, else the file is not made. -1 with errno set on failure.
enum class Noting { Required, Optional };
int createUnique(const QByteArray& prefix, const QByteArray& suffix, mode_t mode,
                 std::unique_ptr<SaveJournal::Note>& note, Noting noting, QByteArray& name) {
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  const auto dropNote = [&] {
    const int error = errno;
    note->remove();
    note.reset();
    errno = error;
    return noting == Noting::Optional;
  };
  for (int attempt = 0; attempt < 100; ++attempt) {
    QByteArray letters(8, '0');
    for (char& c : letters) c = kLetters[QRandomGenerator::global()->bounded(36)];
    name = prefix + letters + suffix;
    if (note && !note->nameCopy(name) && !dropNote()) return -1;
    const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0) {
      if (note && !note->copyMade() && !dropNote()) {
        ::close(fd);
        ::unlink(name.constData());
        return -1;
      }
      return fd;
    }
    if (errno != EEXIST) return -1;
  }
  return -1;
}

enum class Outcome { Done, NotFaithful, GaveUp };

// Writes the content to a new file and puts it in the target's place.
Outcome replaceBeside(const Save& save, const FileMetadata* metadata, FileIdentity& identity) {
  // Without a note the save is as safe; only a copy it leaves if killed
  // would go unnoticed.
  std::unique_ptr<SaveJournal::Note> note =
      SaveJournal::begin(SaveJournal::Copy::NewContent, save.target);
  QByteArray temporary;
  // Hidden, so that the file list does not show it for the moment it
  // exists. A new file gets the usual mode less the umask; a replacement
  // starts private.
  const UniqueFd fd(createUnique(save.folder + "/." + save.base.left(200) + '.', {},
                                 metadata != nullptr ? 0600 : 0666, note, Noting::Optional,
                                 temporary));
  const auto forget = [&note] {
    if (note) note->remove();
  };
  if (fd.get() < 0) {
    const int error = errno;
    forget();
    if (error == EACCES || error == EPERM) return Outcome::NotFaithful;
    failUnchanged(save, error);
  }
  struct Remover {
    const QByteArray& name;
    const std::function<void()>& forget;
    bool keep = false;
    ~Remover() {
      if (!keep) ::unlink(name.constData());
      forget();
    }
  } remover{temporary, forget};
  // Taken over before the content, so that a replacement that cannot be
  // faithful is known before the content is made.
  if (metadata != nullptr && !metadata->applyTo(fd.get())) return Outcome::NotFaithful;
  std::optional<Written> written;
  try {
    written = stream(save, fd.get());
  } catch (const WriteRefused& refused) {
    failUnchanged(save, refused.error);
  }
  if (!written) return Outcome::GaveUp;
  if (DiskCalls::sync(fd.get()) != 0) failUnchanged(save, errno);
  // Again after the bytes: a write by anyone but root clears the set-ID bits.
  if (metadata != nullptr && !metadata->applyTo(fd.get())) return Outcome::NotFaithful;
  if (::rename(temporary.constData(), save.target.constData()) != 0) {
    // A sticky folder lets only the owner replace the file.
    if (errno == EACCES || errno == EPERM) return Outcome::NotFaithful;
    failUnchanged(save, errno);
  }
  remover.keep = true;
  DiskCalls::syncFolder(save.folder);
  struct stat info {};
  if (::fstat(fd.get(), &info) == 0) identity = FileIdentity(info, written->hash);
  return Outcome::Done;
}

// Writes the content to a new file at path or path.1, path.2...; its name
// on success.
std::optional<QString> writeCopy(const QByteArray& path, const SafeFileWriter::Content& content) {
  for (int n = 0; n < 100; ++n) {
    const QByteArray name = n == 0 ? path : path + '.' + QByteArray::number(n);
    const UniqueFd fd(::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (fd.get() < 0 && errno == EEXIST) continue;
    if (fd.get() < 0) return std::nullopt;
    try {
      qint64 done = 0;
      const bool whole = content([&](QByteArrayView part) {
        if (!DiskCalls::writeAll(fd.get(), part, done)) throw WriteRefused{errno};
        done += part.size();
      });
      if (whole && ::fsync(fd.get()) == 0) return FileNames::decode(name);
    } catch (...) {
      // No copy, then; the message says so.
    }
    ::unlink(name.constData());
    return std::nullopt;
  }
  return std::nullopt;
}

// A copy of the text that could not be saved: beside the file, else in the
// user's cache folder.
std::optional<QString> rescueCopy(const Save& save) {
  const QByteArray name = save.base + ".recovered";
  if (auto copy = writeCopy(save.folder + '/' + name, save.content)) return copy;
  const QString cache = SaveJournal::cacheFolder();
  if (cache.isEmpty()) return std::nullopt;
  return writeCopy(FileNames::encode(cache) + '/' + name, save.content);
}

// A write, a cut or a clone by a user clears the set-ID bits; they are set
// again however a rewrite ends, the old bytes put back or not.
struct ModeKept {
  int fd;
  mode_t mode;
  ~ModeKept() {
    struct stat now {};
    if (::fstat(fd, &now) == 0 && (now.st_mode & 07777) != mode) ::fchmod(fd, mode);
  }
};

// The old content of a file about to be rewritten in place, kept whole on
// disk until the new content is.
struct OldContent {
  std::unique_ptr<SaveJournal::Note> note;
  UniqueFd fd{-1};
  QByteArray name;

  // The copy and its note go: the file holds what it should.
  void discard() {
    ::unlink(name.constData());
    DiskCalls::syncFolder(folderOf(name));
    note->remove();
  }
};

// Fills copy with from's bytes: a clone where the file system shares
// blocks, else a copy; flushed. False with errno set.
bool copyWhole(int from, int copy) {
  if (DiskCalls::clone(copy, from) != 0) {
    // What a file that shrank meanwhile holds is all there is to keep.
    const qint64 copied = DiskCalls::copy(from, copy);
    if (copied < 0 || ::ftruncate(copy, copied) != 0) return false;
  }
  return DiskCalls::sync(copy) == 0;
}

// Puts the copy's bytes back into fd, its old times too, and flushes them.
bool putBackInto(int fd, int copy, const struct stat& before) {
  struct stat info {};
  if (::fstat(copy, &info) != 0) return false;
  // A clone back needs no room on a file system that shares blocks.
  if (DiskCalls::clone(fd, copy) != 0 && DiskCalls::copy(copy, fd) != info.st_size) return false;
  if (::ftruncate(fd, info.st_size) != 0 || DiskCalls::sync(fd) != 0) return false;
  // The same bytes at the same time: nobody is asked about a change that is none.
  const struct timespec times[2] = {before.st_atim, before.st_mtim};
  ::futimens(fd, times);
  return true;
}

// Keeps the target's old content before it is rewritten: beside it when
// its folder allows, else in the user's cache folder.
OldContent keepOldContent(const Save& save, int fd) {
  OldContent kept;
  kept.note = SaveJournal::begin(SaveJournal::Copy::OldContent, save.target);
  int error = errno;
  if (kept.note) {
    QList<QByteArray> places;
    if (::access(save.folder.constData(), W_OK) == 0) {
      places.append(save.folder + "/." + save.base.left(200) + '.');
    }
    const QString cache = SaveJournal::cacheFolder();
    if (!cache.isEmpty()) places.append(FileNames::encode(cache) + '/' + save.base.left(200) + '.');
    for (const QByteArray& place : places) {
      const int copy = createUnique(place, ".old", 0600, kept.note, Noting::Required, kept.name);
      if (copy < 0) {
        error = errno;
        if (!kept.note) break;
        continue;
      }
      kept.fd = UniqueFd(copy);
      if (copyWhole(fd, copy)) {
        DiskCalls::syncFolder(folderOf(kept.name));
        if (kept.note->copyComplete()) return kept;
      }
      error = errno;
      ::unlink(kept.name.constData());
      kept.fd = UniqueFd(-1);
    }
    if (kept.note) kept.note->remove();
  }
  failUnchanged(
      save, numberFor(error),
      QCoreApplication::translate(
          "SafeFileWriter", "a copy of its old content could not be kept while it is rewritten: %1")
          .arg(reasonFor(error)));
}

// Rewrites the target itself, its old content kept whole in a copy until
// the new content is on disk.
Outcome rewriteInPlace(const Save& save, mode_t mode, FileIdentity& identity) {
  const UniqueFd fd(::open(save.target.constData(), O_RDWR | O_CLOEXEC | O_NOCTTY));
  if (fd.get() < 0) failUnchanged(save, errno);
  struct stat before {};
  if (::fstat(fd.get(), &before) != 0) failUnchanged(save, errno);
  const ModeKept modeKept{fd.get(), mode};
  OldContent kept = keepOldContent(save, fd.get());
  // From here until the copy is discarded the old content is safe in it.
  int error = 0;
  std::optional<Written> written;
  std::exception_ptr thrown;
  try {
    written = stream(save, fd.get());
    if (written && (::ftruncate(fd.get(), written->length) != 0 || DiskCalls::sync(fd.get()) != 0))
      error = errno;
  } catch (const WriteRefused& refused) {
    error = refused.error;
  } catch (...) {
    thrown = std::current_exception();
  }
  if (written && error == 0) {
    kept.discard();
    struct stat info {};
    if (::fstat(fd.get(), &info) == 0) identity = FileIdentity(info, written->hash);
    return Outcome::Done;
  }
  if (!putBackInto(fd.get(), kept.fd.get(), before)) {
    const int restoreError = errno;
    failDamaged(save, error != 0 ? error : restoreError, kept.name,
                error != 0 ? rescueCopy(save) : std::nullopt);
  }
  kept.discard();
  if (thrown) std::rethrow_exception(thrown);
  if (error != 0) failUnchanged(save, error);
  return Outcome::GaveUp;
}

// Refuses what cannot be replaced by a text file: a folder, a device, a
// read-only file.
void checkExisting(const Save& save, const struct stat& info) {
  if (S_ISDIR(info.st_mode))
    failUnchanged(save, err::PathFileAccess,
                  QCoreApplication::translate("SafeFileWriter", "it is a folder"));
  if (!S_ISREG(info.st_mode)) {
    failUnchanged(save, err::PathFileAccess,
                  QCoreApplication::translate("SafeFileWriter", "it is not a regular file"));
  }
  // Replacing through a temporary file would get round a read-only file.
  // The mode bits count too, so a file marked read-only stays so even for root.
  if (::access(save.target.constData(), W_OK) != 0 && errno == EROFS) failUnchanged(save, EROFS);
  if (::access(save.target.constData(), W_OK) != 0 || (info.st_mode & 0222) == 0) {
    failUnchanged(save, err::PermissionDenied,
                  QCoreApplication::translate("SafeFileWriter", "the file is read-only"));
  }
}

Outcome createNew(const Save& save, FileIdentity& identity) {
  struct stat folder {};
  if (::stat(save.folder.constData(), &folder) != 0 || !S_ISDIR(folder.st_mode)) {
    failUnchanged(save, ENOENT);
  }
  if (save.folderWas && !FileIdentity(folder, QByteArrayView()).samePlaceAs(*save.folderWas)) {
    failUnchanged(save, err::PathNotFound,
                  QCoreApplication::translate("SafeFileWriter",
                                              "its folder, or the disk it was on, is no longer "
                                              "there"));
  }
  if (::access(save.folder.constData(), W_OK) != 0 && errno == EROFS) failUnchanged(save, EROFS);
  const Outcome outcome = ::access(save.folder.constData(), W_OK) == 0
                              ? replaceBeside(save, nullptr, identity)
                              : Outcome::NotFaithful;
  if (outcome == Outcome::NotFaithful) {
    failUnchanged(save, err::PermissionDenied,
                  QCoreApplication::translate("SafeFileWriter",
                                              "you do not have permission to write in its folder"));
  }
  return outcome;
}

// Whether a new file beside the target can take its place faithfully: one
// link (another would keep the old text), a folder we may write, and in a
// sticky folder a file or folder of our own.
bool mayReplace(const Save& save, const FileMetadata& metadata, const struct stat& info) {
  struct stat folder {};
  if (metadata.links() != 1 || ::access(save.folder.constData(), W_OK) != 0 ||
      ::stat(save.folder.constData(), &folder) != 0) {
    return false;
  }
  const uid_t user = ::geteuid();
  return (folder.st_mode & S_ISVTX) == 0 || user == 0 || info.st_uid == user ||
         folder.st_uid == user;
}

}  // namespace

void SafeFileWriter::setSystemCalls(SystemCalls calls) {
  DiskCalls::use(std::move(calls));
}

std::optional<FileIdentity> SafeFileWriter::write(const QString& fileName, const Content& content,
                                                  const std::optional<FileIdentity>& folderWas) {
  const std::optional<QByteArray> target = followLinks(FileNames::encode(fileName));
  if (!target) {
    throw ToolkitError(err::PermissionDenied,
                       QCoreApplication::translate(
                           "SafeFileWriter",
                           "The file “%1” could not be saved: it is a link that another user "
                           "made in a folder open to everyone, and such links are not followed. "
                           "The file on disk was not changed.")
                           .arg(FileNames::shown(fileName)));
  }
  const qsizetype slash = target->lastIndexOf('/');
  const Save save{fileName, *target, folderOf(*target), target->mid(slash + 1), content, folderWas};
  FileIdentity identity;
  Outcome outcome = Outcome::Done;
  struct stat info {};
  if (::stat(target->constData(), &info) != 0) {
    if (errno != ENOENT) failUnchanged(save, errno);
    outcome = createNew(save, identity);
  } else {
    checkExisting(save, info);
    const std::optional<FileMetadata> metadata = FileMetadata::of(*target);
    if (!metadata) failUnchanged(save, errno);
    outcome = mayReplace(save, *metadata, info) ? replaceBeside(save, &*metadata, identity)
                                                : Outcome::NotFaithful;
    if (outcome == Outcome::NotFaithful) outcome = rewriteInPlace(save, metadata->mode(), identity);
  }
  if (outcome == Outcome::GaveUp) return std::nullopt;
  return identity;
}

FileIdentity SafeFileWriter::write(const QString& fileName, const QByteArray& bytes) {
  return *write(fileName, [&bytes](const Sink& sink) {
    sink(bytes);
    return true;
  });
}

std::optional<FileIdentity> SafeFileWriter::folderHolding(const QString& fileName) {
  const std::optional<QByteArray> target = followLinks(FileNames::encode(fileName));
  struct stat folder {};
  if (!target || ::stat(folderOf(*target).constData(), &folder) != 0) return std::nullopt;
  return FileIdentity(folder, QByteArrayView());
}

void SafeFileWriter::putBack(const QByteArray& target, const QByteArray& copy) {
  const UniqueFd fd(::open(target.constData(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW));
  const UniqueFd kept(::open(copy.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
  struct stat before {};
  bool done = fd.get() >= 0 && kept.get() >= 0 && ::fstat(fd.get(), &before) == 0 &&
              S_ISREG(before.st_mode);
  if (done) {
    const ModeKept modeKept{fd.get(), before.st_mode & 07777};
    done = putBackInto(fd.get(), kept.get(), before);
    // Now, not the old time: the file did change since it was last looked at.
    ::futimens(fd.get(), nullptr);
  }
  if (!done) {
    const int error = errno == 0 ? EIO : errno;
    throw ToolkitError(numberFor(error),
                       QCoreApplication::translate(
                           "SafeFileWriter",
                           "The old content of “%1” could not be put back: %2. It is still kept "
                           "in “%3”.")
                           .arg(FileNames::shown(FileNames::decode(target)), reasonFor(error),
                                FileNames::shown(FileNames::decode(copy))));
  }
  ::unlink(copy.constData());
}

}  // namespace ostrel
