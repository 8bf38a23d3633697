#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QString>
#include <utility>

#include "toolkit/files/RegularFileReader.h"

namespace ostrel {

// Reads a whole text file in one piece, as stored, and words the reader's
// refusals for the text window: a folder, a pipe or a device named like a
// text file, a file that is gone, and a file larger than it can sensibly
// hold in a text box.
class TextFileReader {
  Q_DECLARE_TR_FUNCTIONS(TextFileReader)

 public:
  static constexpr qint64 kSizeLimit = qint64(512) * 1024 * 1024;

  using Progress = RegularFileReader::Progress;

  // The file's bytes and what the file was. Throws ToolkitError naming the
  // file and the reason.
  static RegularFileReader::Contents read(const QString& fileName, qint64 sizeLimit = kSizeLimit,
                                          const Progress& progress = {});
  static QByteArray readAll(const QString& fileName, qint64 sizeLimit = kSizeLimit,
                            const Progress& progress = {}) {
    return read(fileName, sizeLimit, progress).bytes;
  }

 private:
  // The error number and the reason for the user.
  static std::pair<int, QString> describe(const RegularFileReader::Failure& failure,
                                          qint64 sizeLimit);
};

}  // namespace ostrel
