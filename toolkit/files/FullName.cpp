#include "toolkit/files/FullName.h"

namespace ostrel {

QString fullFileName(const QString& directory, const QString& fileName) {
  if (directory.endsWith(QLatin1Char('/')) || directory.endsWith(QLatin1Char('\\'))) {
    return directory + fileName;
  }
  const bool backslashes =
      directory.contains(QLatin1Char('\\')) && !directory.contains(QLatin1Char('/'));
  return directory + (backslashes ? QLatin1Char('\\') : QLatin1Char('/')) + fileName;
}

}  // namespace ostrel
