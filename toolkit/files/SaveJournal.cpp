#include "toolkit/files/SaveJournal.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <cerrno>
#include <optional>

#include "toolkit/files/DiskCalls.h"
#include "toolkit/files/FileNames.h"

namespace ostrel {

namespace {

constexpr char kFirstLine[] = "ostrel_viewer save";
constexpr qsizetype kLongestNote = 64 * 1024;

QByteArray notesFolder() {
  const QString cache = SaveJournal::cacheFolder();
  if (cache.isEmpty()) return {};
  QByteArray folder = FileNames::encode(cache) + "/saves";
  if (::mkdir(folder.constData(), 0700) != 0 && errno != EEXIST) return {};
  return folder;
}

QByteArray kindWord(SaveJournal::Copy kind) {
  return kind == SaveJournal::Copy::OldContent ? QByteArrayLiteral("old")
                                               : QByteArrayLiteral("new");
}

struct Parsed {
  SaveJournal::Copy kind = SaveJournal::Copy::NewContent;
  QByteArray target;
  QByteArray copy;
  bool made = false;
  bool complete = false;
};

std::optional<Parsed> parse(const QByteArray& text) {
  const QList<QByteArray> lines = text.split('\n');
  if (lines.size() < 4 || lines[0] != kFirstLine || (lines[1] != "old" && lines[1] != "new"))
    return std::nullopt;
  Parsed note;
  note.kind = lines[1] == "old" ? SaveJournal::Copy::OldContent : SaveJournal::Copy::NewContent;
  note.target = QByteArray::fromPercentEncoding(lines[2]);
  note.copy = QByteArray::fromPercentEncoding(lines[3]);
  for (qsizetype i = 4; i < lines.size(); ++i) {
    note.made = note.made || lines[i] == "made";
    note.complete = note.complete || lines[i] == "complete";
  }
  if (note.target.isEmpty()) return std::nullopt;
  return note;
}

bool sameFile(const QByteArray& a, const QByteArray& b) {
  if (a == b) return true;
  struct stat first {};
  struct stat second {};
  return ::stat(a.constData(), &first) == 0 && ::stat(b.constData(), &second) == 0 &&
         first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

bool exists(const QByteArray& path) {
  struct stat info {};
  return ::lstat(path.constData(), &info) == 0;
}

// Notes are written past the calls tests make fail: what those test is the
// file's content and its copies.
bool writeNote(int fd, QByteArrayView text, off_t offset) {
  for (qsizetype done = 0; done < text.size();) {
    const ssize_t written = ::pwrite(fd, text.data() + done, text.size() - done, offset + done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    done += written;
  }
  return true;
}

QByteArray readNote(int fd) {
  QByteArray text(kLongestNote, Qt::Uninitialized);
  qsizetype done = 0;
  while (done < text.size()) {
    const ssize_t got = ::pread(fd, text.data() + done, text.size() - done, done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += got;
  }
  text.truncate(done);
  return text;
}

}  // namespace

SaveJournal::Note::Note(int fd, QByteArray path, Copy kind, QByteArray target)
    : fd_(fd), path_(std::move(path)), kind_(kind), target_(std::move(target)) {}

SaveJournal::Note::~Note() {
  // Closing lets go of the lock: a note still there is for the user now.
  ::close(fd_);
}

bool SaveJournal::Note::nameCopy(const QByteArray& copy) {
  copy_ = copy;
  const QByteArray text = QByteArray(kFirstLine) + '\n' + kindWord(kind_) + '\n' +
                          target_.toPercentEncoding() + '\n' + copy_.toPercentEncoding() + '\n';
  return writeNote(fd_, text, 0) && ::ftruncate(fd_, text.size()) == 0;
}

bool SaveJournal::Note::append(const QByteArray& line) {
  struct stat info {};
  return ::fstat(fd_, &info) == 0 && writeNote(fd_, line + '\n', info.st_size);
}

bool SaveJournal::Note::copyMade() {
  return append("made");
}

bool SaveJournal::Note::copyComplete() {
  if (!append("complete") || ::fdatasync(fd_) != 0) return false;
  DiskCalls::syncFolder(path_.left(path_.lastIndexOf('/')));
  return true;
}

void SaveJournal::Note::remove() {
  ::unlink(path_.constData());
}

std::unique_ptr<SaveJournal::Note> SaveJournal::begin(Copy kind, const QByteArray& target) {
  const QByteArray folder = notesFolder();
  if (folder.isEmpty()) return nullptr;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const QByteArray path =
        folder + '/' + QByteArray::number(QRandomGenerator::global()->generate64(), 36);
    // Written and locked under a name the search skips, so that nobody
    // finds it empty and unlocked.
    const QByteArray unfinished = path + ".new";
    const int fd = ::open(unfinished.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) return nullptr;
    std::unique_ptr<Note> note(new Note(fd, unfinished, kind, target));
    if (::flock(fd, LOCK_EX) != 0 || !note->nameCopy({}) ||
        ::rename(unfinished.constData(), (path + ".save").constData()) != 0) {
      const int error = errno;
      note->remove();
      errno = error;
      return nullptr;
    }
    note->path_ = path + ".save";
    return note;
  }
  errno = EEXIST;
  return nullptr;
}

std::vector<std::unique_ptr<SaveJournal::Note>> SaveJournal::interrupted(const QByteArray& target) {
  std::vector<std::unique_ptr<Note>> found;
  const QByteArray folder = notesFolder();
  if (folder.isEmpty()) return found;
  const QStringList names = QDir(FileNames::decode(folder))
                                .entryList({QStringLiteral("*.save"), QStringLiteral("*.new")},
                                           QDir::Files | QDir::Hidden);
  for (const QString& name : names) {
    const QByteArray path = folder + '/' + FileNames::encode(name);
    const int fd = ::open(path.constData(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) continue;
    struct stat info {};
    // A save under way holds its note; one dealt with meanwhile is gone.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::fstat(fd, &info) != 0 || info.st_nlink == 0) {
      ::close(fd);
      continue;
    }
    if (name.endsWith(QLatin1String(".new"))) {
      // A note its save never finished writing: it named nothing yet.
      ::unlink(path.constData());
      ::close(fd);
      continue;
    }
    const std::optional<Parsed> parsed = parse(readNote(fd));
    std::unique_ptr<Note> note(
        new Note(fd, path, parsed ? parsed->kind : Copy::NewContent, parsed ? parsed->target : ""));
    if (parsed && !target.isEmpty() && !sameFile(parsed->target, target)) continue;
    if (!parsed || !parsed->made || parsed->copy.isEmpty() || !exists(parsed->copy)) {
      note->remove();
      continue;
    }
    note->copy_ = parsed->copy;
    if (parsed->kind == Copy::OldContent && !parsed->complete) {
      // The file was not touched before the copy was whole: the part copied
      // is a duplicate of what it holds.
      ::unlink(parsed->copy.constData());
      note->remove();
      continue;
    }
    found.push_back(std::move(note));
  }
  return found;
}

QString SaveJournal::cacheFolder() {
  const QString folder =
      QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + "/ostrel_viewer";
  return QDir().mkpath(folder) ? folder : QString();
}

}  // namespace ostrel
