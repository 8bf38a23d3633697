#include "toolkit/picture/PictureFile.h"

#include <QCoreApplication>
#include <cstring>

#include "toolkit/ToolkitError.h"
#include "toolkit/files/FileNames.h"
#include "toolkit/files/RegularFileReader.h"
#include "toolkit/picture/PictureLimits.h"

namespace ostrel {

namespace {

QString systemText(int error) {
  return QString::fromLocal8Bit(std::strerror(error));
}

// The reader's refusal in the picture loader's words.
ToolkitError errorFor(const RegularFileReader::Failure& failure, const QString& name) {
  using Problem = RegularFileReader::Problem;
  switch (failure.problem) {
    case Problem::NoName:
      return {err::FileNotFound,
              QCoreApplication::translate("ostrel::PictureLoader",
                                          "No file name was given for the picture.")};
    case Problem::NotFound:
      return {err::FileNotFound,
              QCoreApplication::translate("ostrel::PictureLoader", "The file “%1” does not exist.")
                  .arg(name)};
    case Problem::FolderNotFound:
      return {err::PathNotFound,
              QCoreApplication::translate("ostrel::PictureLoader",
                                          "The file “%1” cannot be opened: its folder does "
                                          "not exist.")
                  .arg(name)};
    case Problem::NotAFolder:
      return {err::PathNotFound,
              QCoreApplication::translate(
                  "ostrel::PictureLoader",
                  "The path of the file “%1” runs through something that is not a folder.")
                  .arg(name)};
    case Problem::Unfollowable:
      return {err::PathNotFound,
              QCoreApplication::translate("ostrel::PictureLoader",
                                          "The file name “%1” cannot be followed: %2.")
                  .arg(name, systemText(failure.systemError))};
    case Problem::PermissionDenied:
      return {err::PermissionDenied,
              QCoreApplication::translate("ostrel::PictureLoader",
                                          "You are not allowed to read the file “%1”.")
                  .arg(name)};
    case Problem::IsFolder:
      return {err::PathFileAccess,
              QCoreApplication::translate("ostrel::PictureLoader",
                                          "“%1” is a folder, not a picture file.")
                  .arg(name)};
    case Problem::NotRegular:
      return {err::InvalidPicture,
              QCoreApplication::translate("ostrel::PictureLoader",
                                          "The file “%1” is not a picture this program can show: "
                                          "it is not a regular file.")
                  .arg(name)};
    case Problem::TooLarge:
      return {err::OutOfMemory,
              QCoreApplication::translate("ostrel::PictureLoader",
                                          "The file “%1” is too large to show: it holds %2 MB, and "
                                          "pictures of up to %3 MB are shown.")
                  .arg(name)
                  .arg(failure.size / (1024 * 1024))
                  .arg(PictureLimits::kMaxFileBytes / (1024 * 1024))};
    case Problem::OutOfMemory:
      return {err::OutOfMemory,
              QCoreApplication::translate(
                  "ostrel::PictureLoader",
                  "The file “%1” is too large to show: there is not enough memory.")
                  .arg(name)};
    case Problem::CannotRead:
      return {err::PathFileAccess,
              QCoreApplication::translate("ostrel::PictureLoader",
                                          "The file “%1” could not be read: %2.")
                  .arg(name, systemText(failure.systemError))};
    case Problem::CannotOpen:
      break;
  }
  return {err::PathFileAccess, QCoreApplication::translate("ostrel::PictureLoader",
                                                           "The file “%1” cannot be opened: %2.")
                                   .arg(name, systemText(failure.systemError))};
}

}  // namespace

QByteArray PictureFile::read(const QString& fullName) {
  return open(fullName).readAll({});
}

PictureFile PictureFile::open(const QString& fullName) {
  QString name = FileNames::shown(fullName);
  try {
    return {RegularFileReader::open(fullName, PictureLimits::kMaxFileBytes), std::move(name)};
  } catch (const RegularFileReader::Failure& failure) {
    throw errorFor(failure, name);
  }
}

qint64 PictureFile::readAt(qint64 offset, char* to, qint64 count) const {
  try {
    return RegularFileReader::readAt(file_, offset, to, count);
  } catch (const RegularFileReader::Failure& failure) {
    throw errorFor(failure, name_);
  }
}

QByteArray PictureFile::readAll(const QByteArray& head) const {
  QByteArray bytes;
  try {
    bytes = RegularFileReader::readRest(file_, head, PictureLimits::kMaxFileBytes);
  } catch (const RegularFileReader::Failure& failure) {
    throw errorFor(failure, name_);
  }
  if (bytes.isEmpty()) {
    throw ToolkitError(err::InvalidPicture,
                       QCoreApplication::translate("ostrel::PictureLoader",
                                                   "The file “%1” is not a picture this program "
                                                   "can show: the file is empty.")
                           .arg(name_));
  }
  return bytes;
}

}  // namespace ostrel
