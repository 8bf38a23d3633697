#pragma once

#include <sys/types.h>

#include <QByteArrayView>
#include <QString>
#include <optional>

struct stat;

namespace ostrel {

// What a file was when it was read or written, so that a later look can tell
// whether another program has changed it since: where it lives (device and
// inode), its size and modification time to the nanosecond, and, for a file
// small enough to read again in a moment, a hash of its bytes. The hash
// catches a rewrite of the same size within one tick of the file system's
// clock, and keeps a file rewritten with the same bytes from counting as
// changed.
class FileIdentity {
 public:
  static constexpr qint64 kHashedUpTo = qint64(16) * 1024 * 1024;

  enum class OnDisk { Same, Changed, Gone };
  // Quick looks at the file's status only and reads the bytes only to tell
  // a real change from a touch; Thorough also reads them when the status is
  // the same.
  enum class Look { Quick, Thorough };

  // The hash of a file's bytes, taken in parts as they are written; the
  // same whatever the parts.
  class Hash {
   public:
    void add(QByteArrayView bytes);
    size_t value() const;
    qint64 size() const { return size_; }

   private:
    quint64 state_ = 0x27D4EB2F165667C5ULL;
    quint64 pending_ = 0;  // the bytes of a word not yet complete
    qint64 size_ = 0;
  };

  FileIdentity() = default;
  // The file behind info, holding bytes (hashed when small enough).
  FileIdentity(const struct stat& info, QByteArrayView bytes);
  // The file behind info, whose bytes as written gave hash.
  FileIdentity(const struct stat& info, const Hash& hash);
  // The file at name now, without its hash; nothing when it cannot be looked at.
  static std::optional<FileIdentity> of(const QString& name);

  // Same place, size and time: nothing has written the file in between.
  bool sameStatusAs(const FileIdentity& other) const;
  // The same file, whatever was written to it.
  bool samePlaceAs(const FileIdentity& other) const;

  // What has become of this file at name.
  OnDisk compareWith(const QString& name, Look look) const;

 private:
  dev_t device_ = 0;
  ino_t inode_ = 0;
  qint64 size_ = -1;
  qint64 modifiedNs_ = 0;
  std::optional<size_t> hash_;
};

}  // namespace ostrel
