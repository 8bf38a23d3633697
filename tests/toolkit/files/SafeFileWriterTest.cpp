#include "toolkit/files/SafeFileWriter.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include "tests/support/OtherUser.h"
#include "tests/support/TempDir.h"
#include "toolkit/ToolkitError.h"
#include "toolkit/files/SaveJournal.h"

namespace ostrel {
namespace {

struct stat statOf(const QString& name) {
  struct stat info {};
  ::stat(QFile::encodeName(name).constData(), &info);
  return info;
}

QByteArray attribute(const QString& name, const char* key) {
  QByteArray value(256, '\0');
  const ssize_t got = ::getxattr(QFile::encodeName(name).constData(), key, value.data(), 256);
  return got < 0 ? QByteArray() : value.left(got);
}

// The file an open descriptor writes to.
QByteArray pathOf(int fd) {
  QByteArray path(4096, '\0');
  const ssize_t length = ::readlink(
      QByteArray("/proc/self/fd/" + QByteArray::number(fd)).constData(), path.data(), path.size());
  return path.left(qMax<ssize_t>(length, 0));
}

class SafeFileWriterTest : public ::testing::Test {
 protected:
  // Copies of old content and notes of saves go to a cache of the test's own.
  void SetUp() override { qputenv("XDG_CACHE_HOME", QFile::encodeName(tmp.file("cache"))); }
  void TearDown() override {
    SafeFileWriter::setSystemCalls({});
    qunsetenv("XDG_CACHE_HOME");
  }

  // The description of the error writing raises (empty when none); it must
  // name the file and never fall back to an unknown error.
  QString failureWriting(const QString& name, const QByteArray& bytes, int* number = nullptr) {
    try {
      SafeFileWriter::write(name, bytes);
    } catch (const ToolkitError& e) {
      EXPECT_TRUE(e.Description().contains(QStringLiteral("“%1”").arg(name)))
          << qPrintable(e.Description());
      EXPECT_FALSE(e.Description().contains(QStringLiteral("nknown")))
          << qPrintable(e.Description());
      if (number != nullptr) *number = e.Number();
      return e.Description();
    }
    return {};
  }

  // From now on the disk takes `room` more bytes of the files saved, then
  // fails with error; after `failures` failures (0: never) it takes bytes
  // again. Copies of old content always fit, as on a disk with room for
  // them but not for the larger new text.
  void fillDiskAfter(qint64 room, int error, int failures = 0) {
    SafeFileWriter::setSystemCalls(
        {[=, failed = 0](int fd, const char* data, size_t size, off_t offset) mutable -> ssize_t {
           if (!pathOf(fd).endsWith(".old") && room <= 0 && (failures == 0 || failed < failures)) {
             ++failed;
             errno = error;
             return -1;
           }
           const size_t n = room > 0 ? std::min<size_t>(size, size_t(room)) : size;
           if (room > 0) room -= qint64(n);
           return ::pwrite(fd, data, n, offset);
         },
         {},
         {}});
  }

  // Two names of one file, so that a save must write the file in place.
  QString hardLinked(const QByteArray& bytes) {
    const QString name = tmp.write("h1.txt", bytes);
    ::link(QFile::encodeName(name).constData(), QFile::encodeName(tmp.file("h2.txt")).constData());
    return name;
  }

  // Copies of old content beside the files and in the cache.
  QStringList oldCopies() const {
    QStringList found;
    for (const QString& folder : {tmp.path(), tmp.file("cache/ostrel_viewer")})
      found += QDir(folder).entryList({QStringLiteral("*.old")}, QDir::Files | QDir::Hidden);
    return found;
  }

  test::TempDir tmp;
};

TEST_F(SafeFileWriterTest, ReplacesTheContentThroughLinksKeepingModeAndHardLinks) {
  const QString name = tmp.write("a.txt", "old content");
  ::chmod(QFile::encodeName(name).constData(), 0640);
  SafeFileWriter::write(name, "new");
  EXPECT_EQ(tmp.read(name), QByteArray("new"));
  EXPECT_EQ(statOf(name).st_mode & 07777, 0640U);
  SafeFileWriter::write(tmp.file("created.txt"), "x");
  EXPECT_EQ(tmp.read("created.txt"), QByteArray("x"));

  // A link stays a link; its target gets the text.
  QFile::link(name, tmp.file("link.txt"));
  SafeFileWriter::write(tmp.file("link.txt"), "through the link");
  EXPECT_TRUE(QFileInfo(tmp.file("link.txt")).isSymLink());
  EXPECT_EQ(tmp.read(name), QByteArray("through the link"));

  // Both names of a hard-linked file see the new text: it is the same file.
  const QString h1 = hardLinked("old text, longer than the new");
  const ino_t inode = statOf(h1).st_ino;
  SafeFileWriter::write(h1, "new text");
  EXPECT_EQ(statOf(h1).st_ino, inode);
  EXPECT_EQ(tmp.read("h2.txt"), QByteArray("new text"));
}

TEST_F(SafeFileWriterTest, RefusalsLeaveTheOldFileAsItWas) {
  const QString name = tmp.write("a.txt", "precious");
  ::chmod(QFile::encodeName(name).constData(), 0444);
  int number = 0;
  EXPECT_TRUE(failureWriting(name, "x", &number).contains(QStringLiteral("read-only")));
  EXPECT_EQ(number, err::PermissionDenied);
  EXPECT_EQ(tmp.read(name), QByteArray("precious"));
  QDir(tmp.path()).mkdir(QStringLiteral("d.txt"));
  for (const auto& [target, expected] : {std::pair{tmp.file("gone/a.txt"), err::PathNotFound},
                                         {tmp.file("d.txt"), err::PathFileAccess},
                                         {QStringLiteral("/dev/null"), err::PathFileAccess}}) {
    failureWriting(target, "x", &number);
    EXPECT_EQ(number, expected) << qPrintable(target);
  }
}

struct DiskFault {
  const char* name;
  int error;
  const char* reason;
  int number;
};

class SafeFileWriterFault : public SafeFileWriterTest,
                            public ::testing::WithParamInterface<DiskFault> {};

// Through a temporary file and in place (the fault then strikes halfway and
// the old bytes are written back), the file keeps every byte and the
// message says why.
TEST_P(SafeFileWriterFault, IsNamedAndLeavesEveryByte) {
  const DiskFault& fault = GetParam();
  const QByteArray old(5000, 'o');
  for (const QString& name : {tmp.write("a.txt", old), hardLinked(old)}) {
    fillDiskAfter(3000, fault.error, 1);
    int number = 0;
    const QString message = failureWriting(name, QByteArray(8000, 'n'), &number);
    EXPECT_TRUE(message.contains(QLatin1String(fault.reason))) << qPrintable(message);
    EXPECT_TRUE(message.contains(QStringLiteral("was not changed"))) << qPrintable(message);
    EXPECT_EQ(number, fault.number);
    EXPECT_EQ(tmp.read(name), old);
  }
  EXPECT_EQ(QDir(tmp.path()).entryList(QDir::Files | QDir::Hidden).size(), 3) << "a leftover";
}

INSTANTIATE_TEST_SUITE_P(
    Faults, SafeFileWriterFault,
    ::testing::Values(DiskFault{"full", ENOSPC, "the disk is full", err::DiskFull},
                      DiskFault{"quota", EDQUOT, "quota is full", err::DiskFull},
                      DiskFault{"device", EIO, "the device reported an error", err::PathFileAccess},
                      DiskFault{"read_only", EROFS, "the file system is read-only",
                                err::PermissionDenied},
                      DiskFault{"permission", EACCES, "permission", err::PermissionDenied},
                      DiskFault{"unnamed", 4000, "error 4000", err::PathFileAccess}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SafeFileWriterTest, InPlaceADamageThatCannotBeUndoneNamesTheOldContentAndTheNewText) {
  const QString name = hardLinked("old text");
  SafeFileWriter::setSystemCalls(
      {[](int fd, const char* data, size_t size, off_t offset) -> ssize_t {
         // The file itself takes three bytes, then nothing, nor the old bytes back.
         if (pathOf(fd).endsWith("h1.txt") && offset + size > 3) {
           errno = EIO;
           return -1;
         }
         return ::pwrite(fd, data, size, offset);
       },
       {},
       {}});
  const QString message = failureWriting(name, "the user's new text");
  EXPECT_TRUE(message.contains(QStringLiteral("is damaged"))) << qPrintable(message);
  EXPECT_FALSE(message.contains(QStringLiteral("not changed")));
  const QString copy = name + QStringLiteral(".recovered");
  EXPECT_TRUE(message.contains(QStringLiteral("“%1”").arg(copy))) << qPrintable(message);
  EXPECT_EQ(tmp.read(copy), QByteArray("the user's new text"));
  ASSERT_EQ(oldCopies().size(), 1);
  const QString kept = tmp.file(oldCopies()[0]);
  EXPECT_TRUE(message.contains(QStringLiteral("“%1”").arg(kept))) << qPrintable(message);
  EXPECT_EQ(tmp.read(kept), QByteArray("old text"));
  // Offered again when the program next starts.
  EXPECT_EQ(SaveJournal::interrupted().size(), 1U);
}

struct Identity {
  const char* name;
  mode_t mode;
  uid_t owner;
  const char* acl;  // for setfacl -m, or nothing
};

class SafeFileWriterIdentity : public SafeFileWriterTest,
                               public ::testing::WithParamInterface<Identity> {};

TEST_P(SafeFileWriterIdentity, RootKeepsOwnerGroupModeAndAttributes) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root can give a file to another user";
  const Identity& kept = GetParam();
  const QString name = tmp.write("a.txt", "old");
  const QByteArray path = QFile::encodeName(name);
  ASSERT_EQ(::chown(path.constData(), kept.owner, 50), 0);
  ASSERT_EQ(::chmod(path.constData(), kept.mode), 0);
  ASSERT_EQ(::setxattr(path.constData(), "user.origin", "mail", 4, 0), 0) << "no xattrs here";
  if (kept.acl != nullptr) {
    if (QStandardPaths::findExecutable(QStringLiteral("setfacl")).isEmpty())
      GTEST_SKIP() << "setfacl (acl) is not installed";
    ASSERT_EQ(QProcess::execute("setfacl", {"-m", kept.acl, name}), 0);
  }
  const struct stat before = statOf(name);
  const QByteArray acl = attribute(name, "system.posix_acl_access");
  SafeFileWriter::write(name, "new");
  const struct stat after = statOf(name);
  EXPECT_EQ(tmp.read(name), QByteArray("new"));
  EXPECT_EQ(after.st_uid, before.st_uid);
  EXPECT_EQ(after.st_gid, 50U);
  EXPECT_EQ(after.st_mode, before.st_mode);
  EXPECT_EQ(attribute(name, "user.origin"), QByteArray("mail"));
  EXPECT_EQ(attribute(name, "system.posix_acl_access"), acl);
}

INSTANTIATE_TEST_SUITE_P(Files, SafeFileWriterIdentity,
                         ::testing::Values(Identity{"private", 0600, 65534, nullptr},
                                           Identity{"setuid", 04755, 0, nullptr},
                                           Identity{"setgid", 02755, 65534, nullptr},
                                           Identity{"sticky", 01777, 0, nullptr},
                                           Identity{"acl", 0640, 65534, "u:daemon:rw"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SafeFileWriterTest, AUserKeepsTheGroupAndTheOwnerTheyMayNotGive) {
  const QByteArray folder = QFile::encodeName(tmp.path());
  const QString own = tmp.write("own.txt", "old");
  const QString others = tmp.write("others.txt", "old");
  ::chown(folder.constData(), test::OtherUser::kUid, test::OtherUser::kGid);
  ::chown(QFile::encodeName(own).constData(), test::OtherUser::kUid, 50);  // group staff
  ::chmod(QFile::encodeName(others).constData(), 0666);                    // root's
  {
    test::OtherUser nobody({50});
    if (!nobody.active()) GTEST_SKIP() << "needs root to act as another user";
    SafeFileWriter::write(own, "mine");
    SafeFileWriter::write(others, "theirs");
    ::chmod(folder.constData(), 0555);  // a folder nobody may write: in place
    SafeFileWriter::write(own, "in place");
    ::chmod(QFile::encodeName(own).constData(), 04755);  // its set-ID bit outlives a failure
    fillDiskAfter(3, ENOSPC, 1);
    EXPECT_FALSE(failureWriting(own, "cut short").isEmpty());
  }
  ::chmod(folder.constData(), 0755);
  EXPECT_EQ(statOf(own).st_mode & 07777, 04755U);
  EXPECT_EQ(statOf(own).st_gid, 50U);
  EXPECT_EQ(statOf(others).st_uid, 0U);
  EXPECT_EQ(tmp.read(own), QByteArray("in place"));
  EXPECT_EQ(tmp.read(others), QByteArray("theirs"));
}

// A real file system that fills: a small tmpfs (root only).
TEST_F(SafeFileWriterTest, AFullTmpfsRefusesBeforeAByteIsLost) {
  const QString mount = tmp.file("small");
  QDir().mkpath(mount);
  if (::geteuid() != 0 ||
      ::mount("tmpfs", QFile::encodeName(mount).constData(), "tmpfs", 0, "size=256k") != 0) {
    GTEST_SKIP() << "needs root to mount a tmpfs";
  }
  struct Unmount {
    QByteArray path;
    ~Unmount() { ::umount2(path.constData(), MNT_DETACH); }
  } unmount{QFile::encodeName(mount)};
  const QByteArray old(100 * 1024, 'o');
  const QString plain = tmp.write("small/a.txt", old);
  const QString linked = tmp.write("small/h1.txt", old);
  // A sparse file claims room it does not hold.
  const QString sparse = tmp.write("small/sparse.txt", "s");
  ::truncate(QFile::encodeName(sparse).constData(), 1024 * 1024);
  for (const auto& [name, link] : {std::pair{linked, "small/h2.txt"}, {sparse, "small/s2.txt"}})
    ::link(QFile::encodeName(name).constData(), QFile::encodeName(tmp.file(link)).constData());
  for (const QString& name : {plain, linked, sparse}) {
    const QByteArray before = tmp.read(name);
    const QString message = failureWriting(name, QByteArray(1024 * 1024, 'n'));
    EXPECT_TRUE(message.contains("the disk is full")) << qPrintable(message);
    EXPECT_EQ(tmp.read(name), before) << qPrintable(name);
  }
}

TEST_F(SafeFileWriterTest, InPlaceWithNowhereToKeepTheOldContentNothingIsChanged) {
  const QString name = hardLinked("old");
  tmp.write("not-a-folder", "x");
  qputenv("XDG_CACHE_HOME", QFile::encodeName(tmp.file("not-a-folder/cache")));
  const QString message = failureWriting(name, "new");
  EXPECT_TRUE(message.contains(QStringLiteral("old content could not be kept")))
      << qPrintable(message);
  EXPECT_EQ(tmp.read(name), QByteArray("old"));
}

QByteArray pattern(char letter, qint64 size) {
  QByteArray bytes(size, letter);
  for (qint64 i = 0; i < size; i += 997) bytes[i] = '\n';
  return bytes;
}

enum class Strike { Fails, FailsAfterWriting, FailsAndSoDoesAWriteLater };

// Every write of an in-place save in turn goes wrong: copying the old
// content, writing the new, putting the old back. Whatever the moment, the
// old bytes are in the file, or whole in the copy the message names.
TEST_F(SafeFileWriterTest, InPlaceTheOldBytesAreInTheFileOrInTheNamedCopyWhicheverWriteFails) {
  // Over a step of copying, so that each stage takes several writes.
  const QByteArray old = pattern('o', 2'500'000);
  const QByteArray fresh = pattern('n', 3'500'000);
  const QString name = hardLinked(old);
  for (const Strike strike :
       {Strike::Fails, Strike::FailsAfterWriting, Strike::FailsAndSoDoesAWriteLater}) {
    for (int later = 1; later <= (strike == Strike::FailsAndSoDoesAWriteLater ? 3 : 1); ++later) {
      for (int n = 1;; ++n) {
        tmp.write("h1.txt", old);
        int calls = 0;
        SafeFileWriter::setSystemCalls(
            {[&](int fd, const char* data, size_t size, off_t offset) -> ssize_t {
               ++calls;
               const bool strikes = calls == n || (strike == Strike::FailsAndSoDoesAWriteLater &&
                                                   calls == n + later);
               if (!strikes) return ::pwrite(fd, data, size, offset);
               if (strike == Strike::FailsAfterWriting) ::pwrite(fd, data, size, offset);
               errno = EIO;
               return -1;
             },
             {},
             [](int) { return 0; }});
        const QString message = failureWriting(name, fresh);
        const QString at =
            QStringLiteral("strike %1/%2 at write %3: ").arg(int(strike)).arg(later).arg(n) +
            message;
        const QStringList copies = oldCopies();
        if (message.isEmpty()) {
          EXPECT_EQ(tmp.read(name), fresh) << qPrintable(at);
        } else if (message.contains(QStringLiteral("was not changed"))) {
          EXPECT_EQ(tmp.read(name), old) << qPrintable(at);
        } else {
          EXPECT_TRUE(message.contains(QStringLiteral("is damaged"))) << qPrintable(at);
          ASSERT_EQ(copies.size(), 1) << qPrintable(at);
          const QString copy = tmp.file(copies[0]);
          EXPECT_TRUE(message.contains(copy)) << qPrintable(at);
          EXPECT_EQ(tmp.read(copy), old) << qPrintable(at);
          const auto notes = SaveJournal::interrupted();
          ASSERT_EQ(notes.size(), 1U) << qPrintable(at);
          SafeFileWriter::setSystemCalls({});
          SafeFileWriter::putBack(notes[0]->target(), notes[0]->copy());
          notes[0]->remove();
          EXPECT_EQ(tmp.read(name), old) << qPrintable(at);
          QFile::remove(name + QStringLiteral(".recovered"));
          continue;
        }
        EXPECT_TRUE(copies.isEmpty()) << qPrintable(at);
        EXPECT_TRUE(SaveJournal::interrupted().empty()) << qPrintable(at);
        if (calls < n) break;  // past the last write: the save went through
      }
    }
  }
}

// The exit status of a save killed at a write.
constexpr int kKilled = 99;

// Saves in a child process that ends at once at its n-th write, before or
// after writing, as a kill would end it; true when it got that far.
bool killedAtWrite(int n, bool afterWriting, const QString& name, const QByteArray& bytes) {
  const pid_t child = ::fork();
  if (child == 0) {
    int calls = 0;
    SafeFileWriter::setSystemCalls(
        {[&](int fd, const char* data, size_t size, off_t offset) -> ssize_t {
           if (++calls == n) {
             if (afterWriting) ::pwrite(fd, data, size, offset);
             ::_exit(kKilled);
           }
           return ::pwrite(fd, data, size, offset);
         },
         {},
         [](int) { return 0; }});
    try {
      SafeFileWriter::write(name, bytes);
    } catch (...) {
      ::_exit(1);
    }
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == kKilled;
}

// After a save that did not finish: the file holds its old bytes, or all
// of the new ones, or the copy a note offers holds the old ones and puts
// them back. Every copy left is offered, and dealing with the offers leaves
// nothing behind.
void expectRecoverable(const test::TempDir& tmp, const QString& name, const QByteArray& old,
                       const QByteArray& fresh, const QString& when) {
  const auto notes = SaveJournal::interrupted(QFile::encodeName(name));
  const QByteArray now = tmp.read(name);
  bool offered = false;
  for (const auto& note : notes) {
    if (note->kind() == SaveJournal::Copy::OldContent) {
      EXPECT_EQ(tmp.read(QFile::decodeName(note->copy())), old) << qPrintable(when);
      SafeFileWriter::putBack(note->target(), note->copy());
      offered = true;
    }
    ::unlink(note->copy().constData());
    note->remove();
  }
  EXPECT_TRUE(now == old || now == fresh || offered) << qPrintable(when);
  EXPECT_TRUE(tmp.read(name) == old || (now == fresh && !offered)) << qPrintable(when);
  // Nothing hidden is left beside the file that no note offered.
  EXPECT_EQ(QDir(tmp.path()).entryList(QDir::Files | QDir::Hidden).filter(".txt.").size(), 0)
      << qPrintable(when);
}

TEST_F(SafeFileWriterTest, AKillAtEveryWriteLeavesTheOldBytesInTheFileOrInACopyOffered) {
  const QByteArray old = pattern('o', 2'500'000);
  const QByteArray fresh = pattern('n', 2'000'000);
  const QString plain = tmp.file("a.txt");
  const QString linked = hardLinked(old);
  for (const QString& name : {plain, linked}) {
    for (const bool afterWriting : {false, true}) {
      for (int n = 1;; ++n) {
        tmp.write(QFileInfo(name).fileName(), old);
        const bool killed = killedAtWrite(n, afterWriting, name, fresh);
        if (!killed) {
          EXPECT_EQ(tmp.read(name), fresh);
          break;
        }
        expectRecoverable(tmp, name, old, fresh,
                          QStringLiteral("%1 killed %2 write %3")
                              .arg(name, afterWriting ? "after" : "at")
                              .arg(n));
      }
    }
  }
}

TEST_F(SafeFileWriterTest, ALinkAnotherUserPlantedInASharedFolderIsNotFollowed) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to make another user's link";
  const QString target = tmp.write("target.txt", "precious");
  const QString shared = tmp.file("shared");
  QDir().mkpath(shared);
  const QByteArray folder = QFile::encodeName(shared);
  ::chmod(folder.constData(), 01777);
  struct Case {
    const char* link;
    uid_t linkOwner;
    uid_t folderOwner;
    bool followed;
  };
  constexpr uid_t kOther = test::OtherUser::kUid;
  for (const Case& c :
       {Case{"planted", kOther, 0, false}, Case{"folder_owners", kOther, kOther, true},
        Case{"own", 0, kOther, true}}) {
    const QByteArray link = folder + '/' + c.link;
    ::chown(folder.constData(), c.folderOwner, c.folderOwner);
    ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), link.constData()), 0);
    ASSERT_EQ(::lchown(link.constData(), c.linkOwner, c.linkOwner), 0);
    const QString message = failureWriting(QFile::decodeName(link), "new");
    EXPECT_EQ(message.isEmpty(), c.followed) << c.link << qPrintable(message);
    EXPECT_EQ(tmp.read(target), c.followed ? QByteArray("new") : QByteArray("precious")) << c.link;
    if (!c.followed) EXPECT_TRUE(message.contains(QStringLiteral("link"))) << qPrintable(message);
    tmp.write("target.txt", "precious");
  }
}

}  // namespace
}  // namespace ostrel
