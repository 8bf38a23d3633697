#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace ostrel {

// Turns a text file's bytes into characters and back so that every byte
// survives the trip. Bytes that are valid UTF-8 are read as UTF-8 (a leading
// byte-order mark is kept aside and written back); anything else is read as
// Windows-1252, one character per byte, with the five bytes that code page
// leaves undefined taken as the control characters of the same number.
class TextCodec {
 public:
  enum class Encoding { Utf8, Windows1252 };
  enum class ByteOrderMark { Absent, Present };

  TextCodec() = default;
  TextCodec(Encoding encoding, ByteOrderMark bom) : encoding_(encoding), bom_(bom) {}

  // The codec that reads these bytes faithfully; the second form also gives
  // the text, sparing large files a second decoding.
  static TextCodec detect(const QByteArray& bytes);
  static TextCodec detect(const QByteArray& bytes, QString& text);

  Encoding encoding() const { return encoding_; }
  ByteOrderMark byteOrderMark() const { return bom_; }
  QString name() const;

  QString decode(const QByteArray& bytes) const;
  // The bytes for text, or nothing when a character has no byte in this
  // codec's character set (UTF-8 holds every character).
  std::optional<QByteArray> encode(const QString& text) const;

 private:
  Encoding encoding_ = Encoding::Utf8;
  ByteOrderMark bom_ = ByteOrderMark::Absent;
};

}  // namespace ostrel
