#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <functional>
#include <optional>

#include "toolkit/files/DiskCalls.h"
#include "toolkit/files/FileIdentity.h"

namespace ostrel {

// Writes a file's whole new content so that no failure loses a byte of what
// was on disk. A link is followed and its target written. The bytes go to a
// temporary file beside the target, which takes over the target's owner,
// group, mode bits and extended attributes (ACLs among them) and then
// replaces it. Where that cannot give a faithful replacement (the folder is
// not writable, the file has other hard links, or its owner, group or
// attributes are not ours to give), the file is rewritten in place, and its
// old content is first kept whole on disk in a copy (beside it, else in the
// user's cache folder), which puts it back after any failure and stays until
// the new content is on disk. Only when even that fails is the file left
// damaged, and the message then names the copy of the old content.
//
// Each save is noted in the user's cache folder while it runs (SaveJournal),
// so that a save the program could not finish leaves its copy to be found.
class SafeFileWriter {
 public:
  // Takes the new content in order, a part at a time.
  using Sink = std::function<void(QByteArrayView)>;
  // Hands the whole new content to the sink; false when it cannot (a
  // character the file's character set has no bytes for). It may throw, to
  // cancel the save.
  using Content = std::function<bool(const Sink&)>;

  // Throws ToolkitError naming the file and the reason, and whether the file
  // on disk is unchanged or damaged; passes on what content throws, the file
  // then unchanged. Returns what the file is now, or nothing when content
  // gave up (the file then unchanged too). A file that is gone is made anew
  // only in the folder it was read from (folderWas, when given): a disk
  // taken away leaves its mount point behind, an empty folder at the same
  // path, and a text saved there would be lost from sight.
  static std::optional<FileIdentity> write(const QString& fileName, const Content& content,
                                           const std::optional<FileIdentity>& folderWas = {});
  static FileIdentity write(const QString& fileName, const QByteArray& bytes);

  // The folder that holds the file fileName leads to, links followed, as
  // write's folderWas takes it; nothing when it cannot be looked at.
  static std::optional<FileIdentity> folderHolding(const QString& fileName);

  // Writes the old content an unfinished save kept in copy back into target
  // (the file itself, not a link), keeping its mode. Throws ToolkitError,
  // the copy then kept.
  static void putBack(const QByteArray& target, const QByteArray& copy);

  // The calls that put bytes on disk, for tests that make them fail.
  using SystemCalls = DiskCalls::Set;
  // From now on every save uses these (an empty member: the system's own).
  static void setSystemCalls(SystemCalls calls);
};

}  // namespace ostrel
