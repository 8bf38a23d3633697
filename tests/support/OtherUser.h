#pragma once

#include <grp.h>
#include <unistd.h>

#include <vector>

namespace ostrel::test {

// For a test run by root: the rest of the scope runs as the system user
// nobody, with the extra groups given, and root again afterwards. active()
// is false (and nothing changes) when the test is not run by root.
class OtherUser {
 public:
  static constexpr uid_t kUid = 65534;
  static constexpr gid_t kGid = 65534;

  explicit OtherUser(std::vector<gid_t> groups = {}) {
    if (::geteuid() != 0) return;
    saved_.resize(static_cast<size_t>(::getgroups(0, nullptr)));
    saved_.resize(static_cast<size_t>(::getgroups(static_cast<int>(saved_.size()), saved_.data())));
    active_ = ::setgroups(groups.size(), groups.data()) == 0 && ::setegid(kGid) == 0 &&
              ::seteuid(kUid) == 0;
  }
  ~OtherUser() {
    if (::geteuid() != 0 && ::seteuid(0) != 0) return;
    if (::setegid(0) == 0) ::setgroups(saved_.size(), saved_.data());
  }
  OtherUser(const OtherUser&) = delete;
  OtherUser& operator=(const OtherUser&) = delete;

  bool active() const { return active_; }

 private:
  std::vector<gid_t> saved_;
  bool active_ = false;
};

}  // namespace ostrel::test
