#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace ostrel {

// Writes a file's whole new content so that a failure leaves the old file as
// it was: the bytes go to a temporary file beside it, which then replaces it
// (keeping the file's permissions). Where the folder cannot take a temporary
// file but the file itself is writable, the file is written in place, after
// checking that the disk has room for it.
class SafeFileWriter {
 public:
  // Throws ToolkitError naming the file and the reason; the file is then unchanged.
  static void write(const QString& fileName, const QByteArray& bytes);

  // For tests: make every write fail as on a full disk once this many bytes
  // have gone out (nothing: the real disk decides).
  static void simulateDiskFullAfter(std::optional<qint64> bytes);
};

}  // namespace ostrel
