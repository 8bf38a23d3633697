#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

namespace ostrel {

// Reads a whole text file in one piece, as stored. It checks what the name
// stands for before opening it, so a folder, a pipe or a device named like a
// text file is refused instead of blocking the program, and it refuses a
// file larger than it can sensibly hold in a text box.
class TextFileReader {
 public:
  static constexpr qint64 kSizeLimit = qint64(512) * 1024 * 1024;

  // Hears now and then how many bytes of how many are read.
  using Progress = std::function<bool(qint64 done, qint64 total)>;

  // The file's bytes. Throws ToolkitError naming the file and the reason.
  static QByteArray readAll(const QString& fileName, qint64 sizeLimit = kSizeLimit,
                            const Progress& progress = {});
};

}  // namespace ostrel
