#include "toolkit/files/TextFileReader.h"

#include <QLocale>
#include <cstring>

#include "toolkit/ToolkitError.h"
#include "toolkit/files/FileNames.h"

namespace ostrel {

std::pair<int, QString> TextFileReader::describe(const RegularFileReader::Failure& failure,
                                                 qint64 sizeLimit) {
  using Problem = RegularFileReader::Problem;
  switch (failure.problem) {
    case Problem::NoName:
      return {err::FileNotFound, tr("no file is selected")};
    case Problem::NotFound:
      return {err::FileNotFound, tr("it does not exist")};
    case Problem::FolderNotFound:
    case Problem::NotAFolder:
      return {err::PathNotFound, tr("its folder does not exist")};
    case Problem::PermissionDenied:
      return {err::PermissionDenied, tr("you do not have permission to read it")};
    case Problem::IsFolder:
      return {err::PathFileAccess, tr("it is a folder")};
    case Problem::NotRegular:
      return {err::PathFileAccess, tr("it is a device or a pipe, not a file")};
    case Problem::TooLarge:
      return {err::OutOfMemory, tr("it is larger than %1 MiB, the most the text window can hold")
                                    .arg(QLocale().toString(sizeLimit / (1024 * 1024)))};
    case Problem::OutOfMemory:
      return {err::OutOfMemory, tr("there is not enough memory")};
    case Problem::CannotRead:
      if (failure.systemError == EIO)
        return {err::PathFileAccess, tr("the device reported an error")};
      break;
    case Problem::Unfollowable:
    case Problem::CannotOpen:
      break;
  }
  return {err::PathFileAccess,
          tr("the system reports \"%1\"")
              .arg(QString::fromLocal8Bit(std::strerror(failure.systemError)))};
}

RegularFileReader::Contents TextFileReader::read(const QString& fileName, qint64 sizeLimit,
                                                 const Progress& progress) {
  try {
    return RegularFileReader::read(fileName, sizeLimit, progress);
  } catch (const RegularFileReader::Failure& failure) {
    const auto [number, reason] = describe(failure, sizeLimit);
    throw ToolkitError(
        number, tr("The file “%1” cannot be opened: %2.").arg(FileNames::shown(fileName), reason));
  }
}

}  // namespace ostrel
