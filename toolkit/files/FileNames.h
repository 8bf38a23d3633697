#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace ostrel {

// File names as the system stores them, bytes, carried in a QString without
// losing one. A name is read as UTF-8; a byte that is not part of valid UTF-8
// becomes the lone low surrogate U+DC00 + byte, which valid UTF-8 never
// yields, so encode() gives back exactly the bytes decode() was given. Qt's
// own conversions would turn such a byte into U+FFFD for good: every name
// that goes to the system passes through encode().
class FileNames {
 public:
  static QString decode(QByteArrayView bytes);
  static QByteArray encode(QStringView name);

  // For the user: native separators, and every byte that is not UTF-8 shown
  // as \xFF, so that two such names can be told apart; a control character
  // (a line break, say) as \x0A, one beyond ASCII as \u and four digits.
  static QString shown(QStringView name);
  // Only the bytes and control characters made visible; the rest as it is.
  static QString visible(QStringView text);
  // The process's current folder, every byte kept (QDir::currentPath()
  // would turn a byte that is not UTF-8 into U+FFFD).
  static QString currentFolder();
};

}  // namespace ostrel
