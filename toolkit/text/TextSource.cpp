#include "toolkit/text/TextSource.h"

#include <QCoreApplication>
#include <algorithm>
#include <cstring>

#include "toolkit/ToolkitError.h"
#include "toolkit/files/CodeUnits.h"
#include "toolkit/files/Utf8.h"

namespace ostrel {

namespace {

// Positions in UTF-8 and UTF-32 are found from a count kept every this many
// bytes, so finding one scans at most that much.
constexpr qint64 kBlock = 4 * 1024;
constexpr qint64 kProgressStep = 16 * 1024 * 1024;
// The line index takes 8 bytes a line; a file of nothing but line ends would
// otherwise need eight times its size.
constexpr qint64 kMaxLineEnds = qint64(32) * 1024 * 1024;

void report(const TextSource::Progress& progress, qint64 done, qint64 total) {
  if (progress && !progress(done, total)) {
    throw ToolkitError(err::DialogCancelled, QCoreApplication::translate(
                                                 "TextSource", "Reading the file was cancelled."));
  }
}

void addLineEnd(LineIndex& ends, qint64 next, int length) {
  if (ends.count() >= kMaxLineEnds) {
    // The reason only: the document names the file.
    throw ToolkitError(
        err::OutOfMemory,
        QCoreApplication::translate("TextSource",
                                    "it has more than %1 lines, the most the text window can hold")
            .arg(kMaxLineEnds));
  }
  ends.append(next, length);
}

int unitsOf(quint32 code) {
  return code >= 0x10000 ? 2 : 1;
}

int utf8Length(unsigned char lead) {
  if (lead < 0xC0) return 1;
  if (lead < 0xE0) return 2;
  if (lead < 0xF0) return 3;
  return 4;
}

// Whether codec gives these very bytes back. A declared set of several bytes
// a character is tried on its decoded text, which the caller made.
bool givesBytesBack(const QByteArray& bytes, const TextCodec& codec, const QString& decoded) {
  using E = TextCodec::Encoding;
  const QByteArray mark = codec.byteOrderMarkBytes();
  if (!mark.isEmpty() && !bytes.startsWith(mark)) return false;
  const QByteArrayView body = QByteArrayView(bytes).sliced(mark.size());
  switch (codec.encoding()) {
    case E::Utf8:
      return Utf8::isValid(body);
    case E::Utf16LE:
    case E::Utf16BE:
      return body.size() % 2 == 0;
    case E::Utf32LE:
    case E::Utf32BE:
      return TextCodec::detect(bytes) == codec;
    case E::MultiByte:
      return codec.encodeFragment(decoded) == bytes;
    case E::Windows1252:
    case E::SingleByte:
      return true;
  }
  return true;
}

}  // namespace

TextSource::TextSource(QByteArray bytes, TextCodec codec, const Progress& progress)
    : bytes_(std::move(bytes)), codec_(std::move(codec)) {
  using E = TextCodec::Encoding;
  if (codec_.encoding() == E::MultiByte) decoded_ = codec_.decode(bytes_);
  // Bytes that do not fit the codec given are read as they would be detected,
  // so that they still come back unchanged.
  if (!givesBytesBack(bytes_, codec_, decoded_)) {
    decoded_.clear();
    codec_ = TextCodec::detect(bytes_);
  }
  const qint64 mark = codec_.byteOrderMarkBytes().size();
  body_ = bytes_.constData() + mark;
  bodySize_ = bytes_.size() - mark;

  switch (codec_.encoding()) {
    case E::Utf8:
      countUtf8();
      lineEnds_ = scanBytes(progress);
      break;
    case E::Windows1252:
    case E::SingleByte:
      positions_ = Positions::ByteEach;
      length_ = bodySize_;
      lineEnds_ = scanBytes(progress);
      break;
    case E::Utf16LE:
    case E::Utf16BE:
      positions_ = Positions::TwoBytesEach;
      length_ = bodySize_ / 2;
      lineEnds_ = scanUnits(progress);
      break;
    case E::Utf32LE:
    case E::Utf32BE:
      positions_ = Positions::Counted;
      countUtf32();
      lineEnds_ = scanUnits(progress);
      break;
    case E::MultiByte:
      positions_ = Positions::Decoded;
      length_ = decoded_.size();
      lineEnds_ = scanUnits(progress);
      break;
  }
}

void TextSource::countUtf8() {
  checkpoints_.reserve(static_cast<std::size_t>(bodySize_ / kBlock + 1));
  qint64 units = 0;
  for (qint64 at = 0; at < bodySize_; at += kBlock) {
    checkpoints_.push_back(units);
    const qint64 end = qMin(bodySize_, at + kBlock);
    units += Utf8::countUnits(body_ + at, body_ + end);
  }
  length_ = units;
  if (length_ == bodySize_) {
    // Nothing beyond ASCII: a unit a byte.
    positions_ = Positions::ByteEach;
    checkpoints_.clear();
    checkpoints_.shrink_to_fit();
  } else {
    positions_ = Positions::Counted;
  }
}

void TextSource::countUtf32() {
  const bool big = bigEndian();
  qint64 units = 0;
  for (qint64 at = 0; at + 3 < bodySize_; at += 4) {
    if (at % kBlock == 0) checkpoints_.push_back(units);
    units += unitsOf(CodeUnits::load32(body_ + at, big));
  }
  length_ = units;
}

LineIndex TextSource::scanBytes(const Progress& progress) const {
  LineIndex ends;
  int lf = '\n';
  int cr = '\r';
  if (codec_.byteTable() != nullptr) {
    lf = codec_.byteFor(u'\n');
    cr = codec_.byteFor(u'\r');
  }
  const char* const end = body_ + bodySize_;
  const auto find = [&](int byte, const char* from) -> const char* {
    if (byte < 0) return end;
    const void* at = std::memchr(from, byte, static_cast<std::size_t>(end - from));
    return at ? static_cast<const char*>(at) : end;
  };
  // Room for the blocks the first megabyte promises.
  const qint64 sample = qMin<qint64>(bodySize_, 1024 * 1024);
  if (sample > 0 && lf >= 0) {
    const qint64 inSample = std::count(body_, body_ + sample, static_cast<char>(lf));
    ends.reserve(qMin(kMaxLineEnds, inSample * (bodySize_ / sample) + inSample / 8 + 16));
  }
  // UTF-8 positions are counted up to each line end from the one before.
  const char* counted = body_;
  qint64 units = 0;
  const auto unitOf = [&](const char* p) {
    if (positions_ == Positions::ByteEach) return static_cast<qint64>(p - body_);
    units += Utf8::countUnits(counted, p);
    counted = p;
    return units;
  };
  const char* nextLf = find(lf, body_);
  const char* nextCr = find(cr, body_);
  const char* reported = body_;
  for (;;) {
    const char* p = std::min(nextLf, nextCr);
    if (p == end) break;
    const char* after = p + 1;
    if (p == nextCr && after < end && static_cast<unsigned char>(*after) == lf) ++after;
    addLineEnd(ends, unitOf(after), static_cast<int>(after - p));
    if (nextLf < after) nextLf = find(lf, after);
    if (nextCr < after) nextCr = find(cr, after);
    if (after - reported >= kProgressStep) {
      reported = after;
      report(progress, after - body_, bodySize_);
    }
  }
  return ends;
}

LineIndex TextSource::scanUnits(const Progress& progress) const {
  LineIndex ends;
  const bool big = bigEndian();
  const bool wide = positions_ == Positions::Counted;
  const bool decodedWhole = positions_ == Positions::Decoded;
  const qint64 step = wide ? 4 : (decodedWhole ? 1 : 2);
  const qint64 count = decodedWhole ? length_ : bodySize_ / step;
  const auto* decoded = reinterpret_cast<const char16_t*>(decoded_.utf16());
  const auto codeAt = [&](qint64 i) -> quint32 {
    if (decodedWhole) return decoded[i];
    if (wide) return CodeUnits::load32(body_ + i * 4, big);
    return CodeUnits::load16(body_ + i * 2, big);
  };
  qint64 units = 0;
  for (qint64 i = 0; i < count; ++i) {
    const quint32 c = codeAt(i);
    units += wide ? unitsOf(c) : 1;
    if (c == u'\n') {
      addLineEnd(ends, units, 1);
    } else if (c == u'\r') {
      if (i + 1 < count && codeAt(i + 1) == u'\n') {
        ++i;
        ++units;
        addLineEnd(ends, units, 2);
      } else {
        addLineEnd(ends, units, 1);
      }
    }
    if ((i & (kProgressStep - 1)) == 0 && i > 0) report(progress, i * step, count * step);
  }
  return ends;
}

qint64 TextSource::byteOffsetOf(qint64 position, int* unitsBefore) const {
  *unitsBefore = 0;
  switch (positions_) {
    case Positions::ByteEach:
      return position;
    case Positions::TwoBytesEach:
      return position * 2;
    case Positions::Decoded:
      return -1;
    case Positions::Counted:
      break;
  }
  if (position >= length_) return bodySize_;
  const auto block = std::upper_bound(checkpoints_.begin(), checkpoints_.end(), position) - 1;
  qint64 at = (block - checkpoints_.begin()) * kBlock;
  qint64 units = *block;
  if (codec_.encoding() == TextCodec::Encoding::Utf8) {
    while (at < bodySize_ && !Utf8::startsCharacter(body_[at])) ++at;
    for (;;) {
      if (units + 8 <= position && at + 8 <= bodySize_ && CodeUnits::isAsciiWord(body_ + at)) {
        at += 8;
        units += 8;
        continue;
      }
      const auto lead = static_cast<unsigned char>(body_[at]);
      const int n = lead >= 0xF0 ? 2 : 1;
      if (units + n > position) {
        *unitsBefore = static_cast<int>(position - units);
        return at;
      }
      units += n;
      at += utf8Length(lead);
    }
  }
  const bool big = bigEndian();
  for (;;) {
    const int n = unitsOf(CodeUnits::load32(body_ + at, big));
    if (units + n > position) {
      *unitsBefore = static_cast<int>(position - units);
      return at;
    }
    units += n;
    at += 4;
  }
}

void TextSource::appendText(qint64 position, qint64 length, QString& out) const {
  position = qBound<qint64>(0, position, length_);
  length = qBound<qint64>(0, length, length_ - position);
  if (length == 0) return;
  if (positions_ == Positions::Decoded) {
    out.append(QStringView(decoded_).sliced(position, length));
    return;
  }
  if (positions_ != Positions::Counted) {
    const qint64 width = positions_ == Positions::TwoBytesEach ? 2 : 1;
    codec_.appendDecoded(QByteArrayView(body_ + position * width, length * width), out);
    return;
  }
  // UTF-8 and UTF-32: decode whole characters from the one holding position,
  // then keep the units asked for.
  int before = 0;
  const qint64 at = byteOffsetOf(position, &before);
  const qint64 wanted = length + before;
  // A unit takes at most three bytes of UTF-8 (one more character may
  // straddle the end), or four of UTF-32.
  const bool utf8 = codec_.encoding() == TextCodec::Encoding::Utf8;
  const qint64 window = qMin(bodySize_ - at, utf8 ? wanted * 3 + 4 : wanted * 4);
  QString units;
  codec_.appendDecoded(QByteArrayView(body_ + at, window), units);
  out.append(QStringView(units).sliced(before, qMin<qint64>(length, units.size() - before)));
}

TextSource::Storage TextSource::storage() const {
  using E = TextCodec::Encoding;
  if (positions_ == Positions::Decoded) return Storage::Decoded;
  switch (codec_.encoding()) {
    case E::Utf8:
      return Storage::Utf8;
    case E::Utf16LE:
      return Storage::Utf16LE;
    case E::Utf16BE:
      return Storage::Utf16BE;
    case E::Utf32LE:
      return Storage::Utf32LE;
    case E::Utf32BE:
      return Storage::Utf32BE;
    case E::Windows1252:
    case E::SingleByte:
      return Storage::Table;
    case E::MultiByte:
      break;
  }
  return Storage::Decoded;
}

qint64 TextSource::byteOffsetOf(qint64 position) const {
  int before = 0;
  return byteOffsetOf(position, &before);
}

qint64 TextSource::positionOfByte(qint64 offset) const {
  offset = qBound<qint64>(0, offset, bodySize_);
  switch (positions_) {
    case Positions::ByteEach:
      return offset;
    case Positions::TwoBytesEach:
      return offset / 2;
    case Positions::Decoded:
      return -1;
    case Positions::Counted:
      break;
  }
  if (offset >= bodySize_) return length_;
  const qint64 block = offset / kBlock;
  qint64 units = checkpoints_[static_cast<std::size_t>(block)];
  if (codec_.encoding() == TextCodec::Encoding::Utf8) {
    return units + Utf8::countUnits(body_ + block * kBlock, body_ + offset);
  }
  const bool big = bigEndian();
  for (qint64 at = block * kBlock; at < offset; at += 4) {
    units += unitsOf(CodeUnits::load32(body_ + at, big));
  }
  return units;
}

QByteArrayView TextSource::bytesOf(qint64 position, qint64 length) const {
  if (positions_ == Positions::Decoded) {
    if (position == 0 && length == length_) return {body_, bodySize_};
    return {};
  }
  int before = 0;
  const qint64 from = byteOffsetOf(position, &before);
  const qint64 to = byteOffsetOf(position + length, &before);
  return {body_ + from, to - from};
}

}  // namespace ostrel
