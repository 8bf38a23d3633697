#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <vector>

namespace ostrel {

// Notes, in the user's cache folder, of the saves under way: each names the
// file being saved and the copy its save makes beside it, the new content on
// its way to replacing the file or the old content kept while the file is
// rewritten in place. A save removes its note when it is over, however it
// ends; while it runs it holds a lock on the note, which the system lets go
// when the program ends in any way. A note nobody holds was left by a
// program that died in mid-save, and its copy is for the user to restore or
// discard.
class SaveJournal {
 public:
  enum class Copy { NewContent, OldContent };

  class Note {
   public:
    ~Note();
    Note(const Note&) = delete;
    Note& operator=(const Note&) = delete;

    Copy kind() const { return kind_; }
    // The file saved, links followed, and its copy.
    const QByteArray& target() const { return target_; }
    const QByteArray& copy() const { return copy_; }

    // Names the copy about to be made (before it exists, so that a save
    // killed at any moment leaves nothing unnamed); false with errno set.
    bool nameCopy(const QByteArray& copy);
    // The copy named now exists and is the save's own.
    bool copyMade();
    // The copy is whole and, like this note, safely on disk: from now on
    // the file itself may change. False with errno set.
    bool copyComplete();
    // The save is over; the note goes.
    void remove();

   private:
    friend class SaveJournal;
    Note(int fd, QByteArray path, Copy kind, QByteArray target);
    bool append(const QByteArray& line);

    int fd_;
    QByteArray path_;
    Copy kind_;
    QByteArray target_;
    QByteArray copy_;
  };

  // A note for a save of target (links followed); nothing when the cache
  // folder cannot take one (errno then says why).
  static std::unique_ptr<Note> begin(Copy kind, const QByteArray& target);

  // The saves that programs now gone left unfinished with a copy worth a
  // question, only those of target (any name of it) when one is given; each
  // stays locked while the caller holds it. Notes of saves that kept
  // nothing worth keeping (no copy made, or old content not yet complete
  // while the file was still untouched) are tidied away on the way.
  static std::vector<std::unique_ptr<Note>> interrupted(const QByteArray& target = {});

  // The program's folder in the user's cache, made private when missing;
  // empty when it cannot be made.
  static QString cacheFolder();
};

}  // namespace ostrel
