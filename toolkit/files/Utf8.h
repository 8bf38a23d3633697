#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringView>

namespace ostrel {

// UTF-8 as the text codec and the text document need it: strict checking
// (what passes comes back byte for byte), decoding into a buffer the caller
// owns, and counting UTF-16 code units without decoding.
class Utf8 {
 public:
  // True when bytes are well-formed UTF-8: no overlong forms, no encoded
  // surrogates, nothing above U+10FFFF, no sequence cut off at the end.
  static bool isValid(QByteArrayView bytes);

  // Decodes into out, which has room for bytes.size() code units (UTF-8
  // never needs more); returns the units written. Bytes that are not UTF-8
  // become U+FFFD each.
  static qsizetype decodeInto(QByteArrayView bytes, char16_t* out);

  // The UTF-16 code units that well-formed bytes decode to.
  static qint64 countUnits(const char* begin, const char* end);

  // Whether a byte starts a character (is not a continuation byte).
  static bool startsCharacter(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) != 0x80;
  }

  // Appends text's bytes to out; false for a lone surrogate, which UTF-8
  // cannot hold.
  static bool encodeInto(QStringView text, QByteArray& out);
};

}  // namespace ostrel
