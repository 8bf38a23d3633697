#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <array>
#include <memory>
#include <optional>

namespace ostrel {

// Turns a text file's bytes into characters and back so that every byte
// survives the trip. A byte-order mark chooses UTF-8, UTF-16 or UTF-32 (and
// is kept aside and written back); an HTML page may declare its character
// set; bytes that are valid UTF-8 are read as UTF-8; anything else is read as
// Windows-1252, one character per byte, with the five bytes that code page
// leaves undefined taken as the control characters of the same number.
class TextCodec {
 public:
  enum class Encoding {
    Utf8,
    Windows1252,
    Utf16LE,
    Utf16BE,
    Utf32LE,
    Utf32BE,
    // A character set an HTML page declared: one byte a character, through a
    // table, or several, through Qt's converters.
    SingleByte,
    MultiByte
  };
  enum class ByteOrderMark { Absent, Present };
  // One character for each of the 256 bytes, every one different.
  using ByteTable = std::array<char16_t, 256>;
  // A byte table with its way back (defined where it is built).
  struct Table;

  TextCodec() = default;
  // A UTF or Windows-1252; a UTF-16 or UTF-32 codec always has its mark.
  TextCodec(Encoding encoding, ByteOrderMark bom);

  // The codec that reads these bytes faithfully. The file's name (its
  // extension) tells whether a declared character set is looked for; the
  // second form looks only at the bytes.
  static TextCodec detectFile(QByteArrayView bytes, const QString& fileName);
  static TextCodec detect(QByteArrayView bytes);
  // A declared character set by its name, or nothing when Qt does not know
  // it or cannot give every byte back.
  static std::optional<TextCodec> named(const QByteArray& name);
  // UTF-8 for a text that begins with head, to be saved as fileName: with a
  // mark when the text declares another character set (an HTML page's
  // <meta charset>), since the mark outranks the declaration when the file
  // is read again, by this program and by browsers.
  static TextCodec utf8For(QStringView head, const QString& fileName);

  Encoding encoding() const { return encoding_; }
  // For the user: "UTF-8", "UTF-8 with BOM", "UTF-16 LE", "windows-1251
  // (declared)"...
  QString name() const;

  // The mark as this codec writes it, empty without one.
  QByteArray byteOrderMarkBytes() const;
  // The byte table of Windows-1252 or a single-byte declared set, else null.
  const ByteTable* byteTable() const;

  // A whole file: the mark (when the codec has one and the bytes start with
  // it) is skipped.
  QString decode(QByteArrayView bytes) const;
  // Bytes without a mark, appended to out: the one decoder of each encoding,
  // for whole files and for any stretch of one that does not split a
  // character. What cannot be read (a malformed or cut UTF-8 sequence, a
  // UTF-32 value that is no character) becomes U+FFFD; an incomplete last
  // unit of UTF-16 or UTF-32 is left out.
  void appendDecoded(QByteArrayView bytes, QString& out) const;
  // Text as part of a file (no mark), e.g. the line end that Save adds;
  // nothing when a character has no bytes in this codec's character set.
  std::optional<QByteArray> encodeFragment(QStringView text) const;
  // Appends text's bytes to out; false (out then undefined) when a character
  // has none.
  bool encodeInto(QStringView text, QByteArray& out) const;
  // The byte for c in a table codec, or -1.
  int byteFor(char16_t c) const;

  bool operator==(const TextCodec& other) const;

 private:
  Encoding encoding_ = Encoding::Utf8;
  ByteOrderMark bom_ = ByteOrderMark::Absent;
  QByteArray declaredName_;
  std::shared_ptr<const Table> table_;
};

}  // namespace ostrel
