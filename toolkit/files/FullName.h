#pragma once

#include <QString>

namespace ostrel {

// A file's full name: the directory, then a separator unless the directory
// already ends in one (a root such as "/" or "C:\"), then the file name. The
// separator is the one the directory itself uses.
QString fullFileName(const QString& directory, const QString& fileName);

}  // namespace ostrel
