#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "toolkit/files/TextCodec.h"
#include "toolkit/text/LineIndex.h"

namespace ostrel {

// A loaded file's bytes, read-only, seen as UTF-16 code units: it finds the
// unit positions of the line ends at load and decodes any range of units on
// demand. Encodings of one byte (or two) a unit map positions directly;
// UTF-8 with characters beyond ASCII and UTF-32 keep a unit count every
// 4 KiB of bytes, so a position costs at most that much scanning. A declared
// multi-byte character set is decoded whole at load (its bytes are kept for
// writing back unchanged).
class TextSource {
 public:
  using Progress = std::function<bool(qint64 done, qint64 total)>;

  // Finds the line ends as it goes. Throws ToolkitError when progress
  // cancels or the line index would not fit.
  TextSource(QByteArray bytes, TextCodec codec, const Progress& progress);

  // The line ends found at load, handed over once.
  LineIndex takeLineEnds() { return std::move(lineEnds_); }

  qint64 length() const { return length_; }
  const TextCodec& codec() const { return codec_; }

  // Decodes units [position, position + length) onto out; a range that
  // starts or ends inside a surrogate pair gets that half of it.
  void appendText(qint64 position, qint64 length, QString& out) const;

  // The stored bytes of units [position, position + length), which must not
  // split a character; empty when they cannot be given (a decoded source).
  QByteArrayView bytesOf(qint64 position, qint64 length) const;
  // The whole file as read, the byte-order mark included.
  const QByteArray& bytes() const { return bytes_; }

  // How the units are stored, for those who search the bytes themselves.
  enum class Storage { Table, Utf8, Utf16LE, Utf16BE, Utf32LE, Utf32BE, Decoded };
  Storage storage() const;
  // The bytes after the byte-order mark.
  QByteArrayView body() const { return {body_, bodySize_}; }
  // The byte offset in the body where the character holding position starts.
  qint64 byteOffsetOf(qint64 position) const;
  // The unit position of the character starting at offset in the body.
  qint64 positionOfByte(qint64 offset) const;

 private:
  // How a unit position finds its bytes: one byte a unit (a byte table, or
  // UTF-8 holding nothing beyond ASCII), two (UTF-16), through the counts
  // kept every 4 KiB (other UTF-8, UTF-32), or not at all (a multi-byte set,
  // decoded whole).
  enum class Positions { ByteEach, TwoBytesEach, Counted, Decoded };

  bool bigEndian() const {
    return codec_.encoding() == TextCodec::Encoding::Utf16BE ||
           codec_.encoding() == TextCodec::Encoding::Utf32BE;
  }

  LineIndex scanBytes(const Progress& progress) const;
  LineIndex scanUnits(const Progress& progress) const;
  void countUtf8();
  void countUtf32();
  // The byte offset (within the body) where the character holding unit
  // position starts, and how many of its units come before position.
  qint64 byteOffsetOf(qint64 position, int* unitsBefore) const;

  QByteArray bytes_;
  TextCodec codec_;
  Positions positions_ = Positions::ByteEach;
  const char* body_ = nullptr;  // after the byte-order mark
  qint64 bodySize_ = 0;
  qint64 length_ = 0;
  // Units before each 4 KiB block of the body (UTF-8 and UTF-32).
  std::vector<qint64> checkpoints_;
  QString decoded_;
  LineIndex lineEnds_;
};

}  // namespace ostrel
