#pragma once

#include <QString>

namespace ostrel {

enum class FileAction { None, PreviewPicture, OpenText };

// What a click on name does, decided by its last three letters in upper case
// only (not the text after the dot): ".HTML" opens through "TML", ".JPEG"
// matches nothing, and a name without a dot that ends in a suffix matches.
FileAction actionForFileName(const QString& name);

}  // namespace ostrel
