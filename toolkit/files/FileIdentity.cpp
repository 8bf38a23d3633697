#include "toolkit/files/FileIdentity.h"

#include <sys/stat.h>

#include <QHash>

#include "toolkit/files/FileNames.h"
#include "toolkit/files/RegularFileReader.h"

namespace ostrel {

namespace {

qint64 modifiedNs(const struct stat& info) {
  return qint64(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
}

}  // namespace

FileIdentity::FileIdentity(const struct stat& info, QByteArrayView bytes)
    : device_(info.st_dev),
      inode_(info.st_ino),
      size_(info.st_size),
      modifiedNs_(modifiedNs(info)) {
  if (bytes.size() == size_ && size_ <= kHashedUpTo) hash_ = qHash(bytes);
}

std::optional<FileIdentity> FileIdentity::of(const QString& name) {
  struct stat info {};
  if (::stat(FileNames::encode(name).constData(), &info) != 0) return std::nullopt;
  return FileIdentity(info, {});
}

bool FileIdentity::sameStatusAs(const FileIdentity& other) const {
  return samePlaceAs(other) && size_ == other.size_ && modifiedNs_ == other.modifiedNs_;
}

bool FileIdentity::samePlaceAs(const FileIdentity& other) const {
  return device_ == other.device_ && inode_ == other.inode_;
}

FileIdentity::OnDisk FileIdentity::compareWith(const QString& name, Look look) const {
  struct stat info {};
  if (::stat(FileNames::encode(name).constData(), &info) != 0) {
    // Only a file that is gone counts; a look that fails otherwise leaves the
    // verdict to the write, which names the reason.
    return errno == ENOENT ? OnDisk::Gone : OnDisk::Same;
  }
  const FileIdentity now(info, {});
  const bool sameStatus = sameStatusAs(now);
  if (!hash_ || now.size_ != size_ || (sameStatus && look == Look::Quick)) {
    return sameStatus ? OnDisk::Same : OnDisk::Changed;
  }
  try {
    const RegularFileReader::Contents contents = RegularFileReader::read(name, kHashedUpTo);
    return contents.identity.hash_ == hash_ ? OnDisk::Same : OnDisk::Changed;
  } catch (const RegularFileReader::Failure&) {
    return sameStatus ? OnDisk::Same : OnDisk::Changed;
  }
}

}  // namespace ostrel
