#include "toolkit/files/TextCodec.h"

#include <QStringDecoder>
#include <array>

namespace ostrel {

namespace {

constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";
constexpr qsizetype kUtf8BomLength = 3;

// Windows-1252 bytes 0x80 to 0x9F. The bytes the code page leaves undefined
// map to the C1 control of the same number, so they too come back unchanged.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t charFor1252(unsigned char byte) {
  if (byte >= 0x80 && byte <= 0x9F) return kHighControls[byte - 0x80];
  return byte;
}

// The byte for a character, or -1 when Windows-1252 has none.
int byteFor1252(char16_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return c;
  for (std::size_t i = 0; i < kHighControls.size(); ++i) {
    if (kHighControls[i] == c) return static_cast<int>(0x80 + i);
  }
  return -1;
}

bool startsWithBom(const QByteArray& bytes) {
  return bytes.startsWith(QByteArrayView(kUtf8Bom, kUtf8BomLength));
}

// Strict UTF-8 decoding that keeps any further byte-order mark as a character.
QString decodeUtf8(QByteArrayView bytes, bool* valid) {
  // Stateless, so a sequence cut off at the end counts as an error.
  QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless |
                                                     QStringConverter::Flag::ConvertInitialBom);
  QString text = decoder.decode(bytes);
  *valid = !decoder.hasError();
  return text;
}

}  // namespace

TextCodec TextCodec::detect(const QByteArray& bytes) {
  QString text;
  return detect(bytes, text);
}

TextCodec TextCodec::detect(const QByteArray& bytes, QString& text) {
  const bool bom = startsWithBom(bytes);
  bool valid = false;
  text = decodeUtf8(QByteArrayView(bytes).sliced(bom ? kUtf8BomLength : 0), &valid);
  // The strict decoder refuses overlong forms, encoded surrogates and
  // truncated sequences, so what it takes comes back byte for byte.
  if (valid) return TextCodec(Encoding::Utf8, bom ? ByteOrderMark::Present : ByteOrderMark::Absent);
  const TextCodec codec(Encoding::Windows1252, ByteOrderMark::Absent);
  text = codec.decode(bytes);
  return codec;
}

QString TextCodec::name() const {
  return encoding_ == Encoding::Utf8 ? QStringLiteral("UTF-8") : QStringLiteral("Windows-1252");
}

QString TextCodec::decode(const QByteArray& bytes) const {
  if (encoding_ == Encoding::Utf8) {
    const bool skip = bom_ == ByteOrderMark::Present && startsWithBom(bytes);
    bool valid = false;
    return decodeUtf8(QByteArrayView(bytes).sliced(skip ? kUtf8BomLength : 0), &valid);
  }
  QString text(bytes.size(), Qt::Uninitialized);
  char16_t* out = reinterpret_cast<char16_t*>(text.data());
  for (const char byte : bytes) *out++ = charFor1252(static_cast<unsigned char>(byte));
  return text;
}

std::optional<QByteArray> TextCodec::encode(const QString& text) const {
  if (encoding_ == Encoding::Utf8) {
    QByteArray bytes = text.toUtf8();
    if (bom_ == ByteOrderMark::Present) bytes.prepend(kUtf8Bom, kUtf8BomLength);
    return bytes;
  }
  QByteArray bytes(text.size(), Qt::Uninitialized);
  char* out = bytes.data();
  for (const QChar c : text) {
    const int byte = byteFor1252(c.unicode());
    if (byte < 0) return std::nullopt;
    *out++ = static_cast<char>(byte);
  }
  return bytes;
}

}  // namespace ostrel
