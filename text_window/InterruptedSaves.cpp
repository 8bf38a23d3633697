#include "text_window/InterruptedSaves.h"

#include <unistd.h>

#include "toolkit/App.h"
#include "toolkit/ToolkitError.h"
#include "toolkit/dialogs/MessageBoxService.h"
#include "toolkit/files/FileNames.h"
#include "toolkit/files/SafeFileWriter.h"
#include "toolkit/files/SaveJournal.h"

namespace ostrel {

namespace {

QString shown(const QByteArray& path) {
  return FileNames::shown(FileNames::decode(path));
}

void offerOldContent(SaveJournal::Note& note, QWidget* parent) {
  const int answer = MsgBox(
      InterruptedSaves::tr("A save of “%1” did not finish: the program ended while the file was "
                           "being rewritten, so it may hold part of the new text. Its old content "
                           "was kept in “%2”.\n\nPut the old content back? No deletes the kept "
                           "copy; Cancel keeps it, and you will be asked again.")
          .arg(shown(note.target()), shown(note.copy())),
      mb::YesNoCancel | mb::Exclamation, App().Title, parent);
  if (answer == mb::Yes) {
    try {
      SafeFileWriter::putBack(note.target(), note.copy());
    } catch (const ToolkitError& e) {
      MsgBox(e.Description(), mb::OkOnly | mb::Critical, App().Title, parent);
      return;
    }
  } else if (answer == mb::No) {
    ::unlink(note.copy().constData());
  } else {
    return;
  }
  note.remove();
}

void offerNewContent(SaveJournal::Note& note, QWidget* parent) {
  const int answer = MsgBox(
      InterruptedSaves::tr("A save of “%1” did not finish: the program ended before the new text "
                           "took the file's place. The file itself was not changed; the text "
                           "being saved, perhaps not all of it, is in “%2”.\n\nDelete that copy? "
                           "No keeps it, and you will be asked again.")
          .arg(shown(note.target()), shown(note.copy())),
      mb::YesNo | mb::Question, App().Title, parent);
  if (answer != mb::Yes) return;
  ::unlink(note.copy().constData());
  note.remove();
}

void offerEach(const QByteArray& target, QWidget* parent) {
  for (const auto& note : SaveJournal::interrupted(target)) {
    if (note->kind() == SaveJournal::Copy::OldContent) {
      offerOldContent(*note, parent);
    } else {
      offerNewContent(*note, parent);
    }
  }
}

}  // namespace

void InterruptedSaves::offer(QWidget* parent) {
  offerEach({}, parent);
}

void InterruptedSaves::offerFor(const QString& fileName, QWidget* parent) {
  offerEach(FileNames::encode(fileName), parent);
}

}  // namespace ostrel
