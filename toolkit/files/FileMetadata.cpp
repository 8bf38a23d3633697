#include "toolkit/files/FileMetadata.h"

#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <QList>
#include <cerrno>

namespace ostrel {

namespace {

// Calls query(buffer, size) until the buffer is large enough for what it
// returns (an attribute may grow between asking its size and reading it).
template <typename Query>
std::optional<QByteArray> readGrowing(Query query) {
  for (int attempt = 0; attempt < 8; ++attempt) {
    const ssize_t size = query(nullptr, 0);
    if (size < 0) return std::nullopt;
    QByteArray buffer(static_cast<qsizetype>(size), Qt::Uninitialized);
    const ssize_t got = query(buffer.data(), buffer.size());
    if (got >= 0) {
      buffer.truncate(got);
      return buffer;
    }
    if (errno != ERANGE) return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace

std::optional<FileMetadata> FileMetadata::of(const QByteArray& path) {
  struct stat info {};
  if (::stat(path.constData(), &info) != 0) return std::nullopt;
  FileMetadata metadata;
  metadata.owner_ = info.st_uid;
  metadata.group_ = info.st_gid;
  metadata.mode_ = info.st_mode & 07777;
  metadata.links_ = info.st_nlink;
  const auto names = readGrowing(
      [&](char* buffer, size_t size) { return ::listxattr(path.constData(), buffer, size); });
  if (!names) {
    // A file system without extended attributes has none to keep.
    if (errno == ENOTSUP) return metadata;
    return std::nullopt;
  }
  for (const QByteArray& name : names->split('\0')) {
    if (name.isEmpty()) continue;
    const auto value = readGrowing([&](char* buffer, size_t size) {
      return ::getxattr(path.constData(), name.constData(), buffer, size);
    });
    if (!value) return std::nullopt;
    metadata.attributes_.emplace_back(name, *value);
  }
  return metadata;
}

bool FileMetadata::applyTo(int fd) const {
  struct stat info {};
  if (::fstat(fd, &info) != 0) return false;
  if ((info.st_uid != owner_ || info.st_gid != group_) && ::fchown(fd, owner_, group_) != 0) {
    return false;
  }
  for (const auto& [name, value] : attributes_) {
    if (::fsetxattr(fd, name.constData(), value.constData(), value.size(), 0) != 0) return false;
  }
  // Last: a change of owner clears the set-ID bits, and an ACL sets the group bits.
  if (::fchmod(fd, mode_) != 0 || ::fstat(fd, &info) != 0) return false;
  // The system may drop a set-group-ID bit it does not allow without failing.
  return info.st_uid == owner_ && info.st_gid == group_ && (info.st_mode & 07777) == mode_;
}

}  // namespace ostrel
