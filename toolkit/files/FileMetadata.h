#pragma once

#include <sys/types.h>

#include <QByteArray>
#include <optional>
#include <utility>
#include <vector>

namespace ostrel {

// What makes a file itself besides its bytes: owner, group, every mode bit
// (set-user-ID, set-group-ID and sticky too) and the extended attributes,
// POSIX ACLs among them. A replacement written beside a file takes these
// over before it takes the file's place.
class FileMetadata {
 public:
  // Of the file at path (links followed); nothing when it cannot be looked at
  // (errno then says why).
  static std::optional<FileMetadata> of(const QByteArray& path);

  mode_t mode() const { return mode_; }
  nlink_t links() const { return links_; }

  // Gives the file open as fd this owner, group, mode and these attributes.
  // False when the system does not allow one of them (a user may give a file
  // only their own groups, and no other owner): the file is then not a
  // faithful replacement.
  bool applyTo(int fd) const;

 private:
  uid_t owner_ = 0;
  gid_t group_ = 0;
  mode_t mode_ = 0;
  nlink_t links_ = 1;
  std::vector<std::pair<QByteArray, QByteArray>> attributes_;  // name, value
};

}  // namespace ostrel
