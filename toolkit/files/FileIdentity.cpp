#include "toolkit/files/FileIdentity.h"

#include <sys/stat.h>

#include <QtEndian>

#include "toolkit/files/FileNames.h"
#include "toolkit/files/RegularFileReader.h"

namespace ostrel {

namespace {

qint64 modifiedNs(const struct stat& info) {
  return qint64(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
}

// The rounds of a well-known 64-bit hash, one lane: a changed bit anywhere
// reaches every bit of the result.
constexpr quint64 kPrime1 = 0x9E3779B185EBCA87ULL;
constexpr quint64 kPrime2 = 0xC2B2AE3D27D4EB4FULL;
constexpr quint64 kPrime3 = 0x165667B19E3779F9ULL;

quint64 mixed(quint64 state, quint64 word) {
  const quint64 sum = state + word * kPrime2;
  return ((sum << 31) | (sum >> 33)) * kPrime1;
}

}  // namespace

void FileIdentity::Hash::add(QByteArrayView bytes) {
  const char* at = bytes.data();
  const char* const end = at + bytes.size();
  // Whole words: those of earlier parts first.
  while (size_ % 8 != 0 && at != end) {
    pending_ |= quint64(static_cast<unsigned char>(*at++)) << (8 * (size_ % 8));
    if (++size_ % 8 == 0) {
      state_ = mixed(state_, pending_);
      pending_ = 0;
    }
  }
  for (; end - at >= 8; at += 8, size_ += 8) state_ = mixed(state_, qFromLittleEndian<quint64>(at));
  for (; at != end; ++at, ++size_)
    pending_ |= quint64(static_cast<unsigned char>(*at)) << (8 * (size_ % 8));
}

size_t FileIdentity::Hash::value() const {
  quint64 h = mixed(state_ ^ quint64(size_), pending_ * kPrime3);
  h ^= h >> 33;
  h *= kPrime2;
  h ^= h >> 29;
  h *= kPrime3;
  h ^= h >> 32;
  return static_cast<size_t>(h);
}

FileIdentity::FileIdentity(const struct stat& info, QByteArrayView bytes)
    : device_(info.st_dev),
      inode_(info.st_ino),
      size_(info.st_size),
      modifiedNs_(modifiedNs(info)) {
  if (bytes.size() == size_ && size_ <= kHashedUpTo) {
    Hash hash;
    hash.add(bytes);
    hash_ = hash.value();
  }
}

FileIdentity::FileIdentity(const struct stat& info, const Hash& hash)
    : device_(info.st_dev),
      inode_(info.st_ino),
      size_(info.st_size),
      modifiedNs_(modifiedNs(info)) {
  if (hash.size() == size_ && size_ <= kHashedUpTo) hash_ = hash.value();
}

std::optional<FileIdentity> FileIdentity::of(const QString& name) {
  struct stat info {};
  if (::stat(FileNames::encode(name).constData(), &info) != 0) return std::nullopt;
  return FileIdentity(info, QByteArrayView());
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
  const FileIdentity now(info, QByteArrayView());
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
