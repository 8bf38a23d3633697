#pragma once

#include <QString>
#include <QStringList>

namespace ostrel {

enum class FileAction { None, PreviewPicture, OpenText };

// What a click on name does, decided by its last three letters in upper case
// only (not the text after the dot): ".HTML" opens through "TML", ".JPEG"
// matches nothing, and a name without a dot that ends in a suffix matches.
FileAction actionForFileName(const QString& name);

// The picture files nearest to names[index] in the list: the next one, then
// the previous one, where there are such.
QStringList neighbourPictures(const QStringList& names, qsizetype index);

}  // namespace ostrel
