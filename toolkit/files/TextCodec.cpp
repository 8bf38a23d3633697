#include "toolkit/files/TextCodec.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>
#include <utility>

#include "toolkit/files/CodeUnits.h"
#include "toolkit/files/Utf8.h"

namespace ostrel {

// A byte table and its inverse, sorted by character for the way back.
struct TextCodec::Table {
  ByteTable chars{};
  std::array<std::pair<char16_t, unsigned char>, 256> reverse{};

  void sortReverse() {
    for (int b = 0; b < 256; ++b) reverse[b] = {chars[b], static_cast<unsigned char>(b)};
    std::sort(reverse.begin(), reverse.end());
  }
  bool distinct() const {
    return std::adjacent_find(reverse.begin(), reverse.end(), [](const auto& a, const auto& b) {
             return a.first == b.first;
           }) == reverse.end();
  }
};

namespace {

constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";
constexpr char kUtf16LeBom[] = "\xFF\xFE";
constexpr char kUtf16BeBom[] = "\xFE\xFF";
constexpr char kUtf32LeBom[] = "\xFF\xFE\0\0";
constexpr char kUtf32BeBom[] = "\0\0\xFE\xFF";
constexpr qsizetype kDeclarationWindow = 1024;
constexpr char16_t kReplacement = 0xFFFD;
constexpr char16_t kPrivateBytes = 0xF700;

// Windows-1252 bytes 0x80 to 0x9F. The bytes the code page leaves undefined
// map to the C1 control of the same number, so they too come back unchanged.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::shared_ptr<const TextCodec::Table> windows1252Table();

bool startsWith(QByteArrayView bytes, const char* mark, qsizetype length) {
  return bytes.startsWith(QByteArrayView(mark, length));
}

// UTF-32 that comes back byte for byte: whole characters, none a surrogate
// or past U+10FFFF.
bool validUtf32(QByteArrayView bytes, bool bigEndian) {
  if (bytes.size() % 4 != 0) return false;
  for (qsizetype i = 0; i < bytes.size(); i += 4) {
    if (!CodeUnits::isCodePoint(CodeUnits::load32(bytes.data() + i, bigEndian))) return false;
  }
  return true;
}

void appendUtf16(QStringView text, bool bigEndian, QByteArray& out) {
  const qsizetype from = out.size();
  out.resize(from + text.size() * 2);
  char* p = out.data() + from;
  for (const QChar c : text) {
    const char16_t u = c.unicode();
    const char high = static_cast<char>(u >> 8);
    const char low = static_cast<char>(u & 0xFF);
    *p++ = bigEndian ? high : low;
    *p++ = bigEndian ? low : high;
  }
}

bool appendUtf32(QStringView text, bool bigEndian, QByteArray& out) {
  out.reserve(out.size() + text.size() * 4);
  const char16_t* s = text.utf16();
  for (qsizetype i = 0; i < text.size(); ++i) {
    char32_t code = s[i];
    if (code >= 0xD800 && code <= 0xDFFF) {
      if (code >= 0xDC00 || i + 1 >= text.size() || s[i + 1] < 0xDC00 || s[i + 1] > 0xDFFF) {
        return false;
      }
      code = 0x10000 + ((code - 0xD800) << 10) + (s[++i] - 0xDC00);
    }
    for (int k = 0; k < 4; ++k) {
      const int shift = bigEndian ? 24 - 8 * k : 8 * k;
      out.append(static_cast<char>((code >> shift) & 0xFF));
    }
  }
  return true;
}

std::shared_ptr<const TextCodec::Table> windows1252Table() {
  static const std::shared_ptr<const TextCodec::Table> table = [] {
    auto t = std::make_shared<TextCodec::Table>();
    for (int b = 0; b < 256; ++b) {
      t->chars[b] = (b >= 0x80 && b <= 0x9F) ? kHighControls[b - 0x80] : static_cast<char16_t>(b);
    }
    t->sortReverse();
    return t;
  }();
  return table;
}

// The table of a single-byte character set, or null when it has characters
// of several bytes or cannot give every byte back. A byte the set leaves
// undefined is taken as the character of the same number, as in
// Windows-1252, when no other byte stands for that character, else as a
// character of the private-use area.
std::shared_ptr<const TextCodec::Table> buildTable(const QByteArray& name) {
  auto t = std::make_shared<TextCodec::Table>();
  std::array<bool, 256> defined{};
  std::array<bool, 256> usedLow{};
  for (int b = 0; b < 256; ++b) {
    QStringDecoder decoder(name.constData(), QStringConverter::Flag::Stateless);
    const char byte = static_cast<char>(b);
    const QString one = decoder.decode(QByteArrayView(&byte, 1));
    if (decoder.hasError() && one.isEmpty()) return nullptr;
    if (one.size() > 1) return nullptr;
    defined[b] = one.size() == 1 && one[0] != QChar(kReplacement) && !one[0].isSurrogate();
    t->chars[b] = defined[b] ? one[0].unicode() : char16_t(0);
    if (defined[b] && t->chars[b] < 256) usedLow[t->chars[b]] = true;
  }
  // A stateful set decodes a run of bytes differently from one byte at a time.
  QByteArray all(256, Qt::Uninitialized);
  for (int b = 0; b < 256; ++b) all[b] = static_cast<char>(b);
  QStringDecoder whole(name.constData(), QStringConverter::Flag::Stateless);
  const QString run = whole.decode(all);
  if (run.size() != 256) return nullptr;
  for (int b = 0; b < 256; ++b) {
    if (defined[b] && run[b].unicode() != t->chars[b]) return nullptr;
    if (!defined[b]) {
      // Else a private-use character stands for the byte.
      t->chars[b] =
          usedLow[b] ? static_cast<char16_t>(kPrivateBytes + b) : static_cast<char16_t>(b);
      usedLow[b] = true;
    }
  }
  t->sortReverse();
  if (!t->distinct()) return nullptr;
  return t;
}

std::shared_ptr<const TextCodec::Table> cachedTable(const QByteArray& name, bool* singleByte) {
  static QMutex mutex;
  static QHash<QByteArray, std::shared_ptr<const TextCodec::Table>> tables;
  const QMutexLocker lock(&mutex);
  const auto found = tables.constFind(name);
  if (found != tables.constEnd()) {
    *singleByte = *found != nullptr;
    return *found;
  }
  std::shared_ptr<const TextCodec::Table> table = buildTable(name);
  tables.insert(name, table);
  *singleByte = table != nullptr;
  return table;
}

bool isUtf8Name(const QByteArray& name) {
  return name == "utf-8" || name == "utf8" || name == "unicode-1-1-utf-8";
}

bool isWindows1252Name(const QByteArray& name) {
  // What HTML pages call Latin-1 is, by long usage, Windows-1252.
  static const QByteArray names[] = {"windows-1252", "cp1252", "x-cp1252", "iso-8859-1",
                                     "iso8859-1",    "latin1", "l1",       "iso_8859-1",
                                     "us-ascii",     "ascii",  "ibm819",   "cp819"};
  return std::find(std::begin(names), std::end(names), name) != std::end(names);
}

bool isNameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' ||
         c == ':';
}

// The character set a <meta charset> or http-equiv Content-Type declaration
// names in the first bytes of a page, lower case, or empty.
QByteArray declaredCharset(QByteArrayView bytes) {
  const QByteArray head =
      bytes.first(qMin(bytes.size(), kDeclarationWindow)).toByteArray().toLower();
  qsizetype from = 0;
  for (;;) {
    const qsizetype meta = head.indexOf("<meta", from);
    if (meta < 0) return {};
    qsizetype end = head.indexOf('>', meta);
    if (end < 0) end = head.size();
    const qsizetype charset = head.indexOf("charset", meta);
    if (charset >= 0 && charset < end) {
      qsizetype i = charset + 7;
      while (i < end && (head[i] == ' ' || head[i] == '\t')) ++i;
      if (i < end && head[i] == '=') {
        ++i;
        while (i < end &&
               (head[i] == ' ' || head[i] == '\t' || head[i] == '"' || head[i] == '\'')) {
          ++i;
        }
        const qsizetype start = i;
        while (i < end && isNameCharacter(head[i])) ++i;
        if (i > start) return head.mid(start, i - start);
      }
    }
    from = end;
  }
}

bool looksLikeHtml(QByteArrayView bytes, const QString& fileName) {
  const QString suffix = QFileInfo(fileName).suffix().toLower();
  if (suffix == QLatin1String("htm") || suffix == QLatin1String("html")) return true;
  QByteArrayView rest = bytes.first(qMin(bytes.size(), kDeclarationWindow));
  if (startsWith(rest, kUtf8Bom, 3)) rest = rest.sliced(3);
  while (!rest.isEmpty() && (rest[0] == ' ' || rest[0] == '\t' || rest[0] == '\r' ||
                             rest[0] == '\n' || rest[0] == '\f')) {
    rest = rest.sliced(1);
  }
  const QByteArray start = rest.first(qMin<qsizetype>(rest.size(), 14)).toByteArray().toLower();
  return start.startsWith("<!doctype html") || start.startsWith("<html");
}

// The codec a byte-order mark chooses, if any gives every byte back.
std::optional<TextCodec> codecForMark(QByteArrayView bytes) {
  using E = TextCodec::Encoding;
  const auto present = TextCodec::ByteOrderMark::Present;
  if (startsWith(bytes, kUtf32LeBom, 4) && validUtf32(bytes, false))
    return TextCodec(E::Utf32LE, present);
  if (startsWith(bytes, kUtf32BeBom, 4) && validUtf32(bytes, true))
    return TextCodec(E::Utf32BE, present);
  if (bytes.size() % 2 == 0) {
    if (startsWith(bytes, kUtf16LeBom, 2)) return TextCodec(E::Utf16LE, present);
    if (startsWith(bytes, kUtf16BeBom, 2)) return TextCodec(E::Utf16BE, present);
  }
  if (startsWith(bytes, kUtf8Bom, 3) && Utf8::isValid(bytes.sliced(3))) {
    return TextCodec(E::Utf8, present);
  }
  return std::nullopt;
}

}  // namespace

TextCodec::TextCodec(Encoding encoding, ByteOrderMark bom) : encoding_(encoding), bom_(bom) {
  switch (encoding) {
    case Encoding::Utf16LE:
    case Encoding::Utf16BE:
    case Encoding::Utf32LE:
    case Encoding::Utf32BE:
      bom_ = ByteOrderMark::Present;
      break;
    case Encoding::Utf8:
      break;
    case Encoding::Windows1252:
    case Encoding::SingleByte:
    case Encoding::MultiByte:
      // A declared set is made by named(); without a name it is Windows-1252.
      encoding_ = Encoding::Windows1252;
      bom_ = ByteOrderMark::Absent;
      table_ = windows1252Table();
      break;
  }
}

std::optional<TextCodec> TextCodec::named(const QByteArray& name) {
  const QByteArray lower = name.trimmed().toLower();
  if (lower.isEmpty()) return std::nullopt;
  if (isUtf8Name(lower)) return TextCodec(Encoding::Utf8, ByteOrderMark::Absent);
  if (isWindows1252Name(lower)) return TextCodec(Encoding::Windows1252, ByteOrderMark::Absent);
  // Without a mark the byte order is unknown; pages that say UTF-16 are read
  // as the bytes show.
  if (lower.startsWith("utf-16") || lower.startsWith("utf-32") || lower.startsWith("ucs")) {
    return std::nullopt;
  }
  if (!QStringDecoder(lower.constData()).isValid() ||
      !QStringEncoder(lower.constData()).isValid()) {
    return std::nullopt;
  }
  TextCodec codec;
  codec.declaredName_ = lower;
  bool singleByte = false;
  codec.table_ = cachedTable(lower, &singleByte);
  codec.encoding_ = singleByte ? Encoding::SingleByte : Encoding::MultiByte;
  return codec;
}

TextCodec TextCodec::detect(QByteArrayView bytes) {
  if (std::optional<TextCodec> marked = codecForMark(bytes)) return *marked;
  // The strict check refuses overlong forms, encoded surrogates and
  // truncated sequences, so what it takes comes back byte for byte.
  if (Utf8::isValid(bytes)) return TextCodec(Encoding::Utf8, ByteOrderMark::Absent);
  return TextCodec(Encoding::Windows1252, ByteOrderMark::Absent);
}

TextCodec TextCodec::detectFile(QByteArrayView bytes, const QString& fileName) {
  // A mark wins over what the page says.
  if (codecForMark(bytes) || !looksLikeHtml(bytes, fileName)) return detect(bytes);
  const std::optional<TextCodec> declared = named(declaredCharset(bytes));
  if (!declared || declared->encoding_ == Encoding::Utf8) return detect(bytes);
  if (declared->encoding_ == Encoding::MultiByte) {
    // Only a set that gives these very bytes back may be used for them.
    QStringDecoder decoder(declared->declaredName_.constData(), QStringConverter::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError() || declared->encodeFragment(text) != bytes.toByteArray()) {
      return detect(bytes);
    }
  }
  return *declared;
}

TextCodec TextCodec::utf8For(QStringView head, const QString& fileName) {
  const QByteArray bytes = head.left(kDeclarationWindow).toUtf8();
  const bool readAsUtf8 = detectFile(bytes, fileName).encoding() == Encoding::Utf8;
  return TextCodec(Encoding::Utf8, readAsUtf8 ? ByteOrderMark::Absent : ByteOrderMark::Present);
}

QString TextCodec::name() const {
  switch (encoding_) {
    case Encoding::Utf8:
      return bom_ == ByteOrderMark::Present
                 ? QCoreApplication::translate("TextCodec", "UTF-8 with BOM")
                 : QStringLiteral("UTF-8");
    case Encoding::Windows1252:
      // Written as the declared sets are, in the lower case of their
      // registered names.
      return QStringLiteral("windows-1252");
    case Encoding::Utf16LE:
      return QStringLiteral("UTF-16 LE");
    case Encoding::Utf16BE:
      return QStringLiteral("UTF-16 BE");
    case Encoding::Utf32LE:
      return QStringLiteral("UTF-32 LE");
    case Encoding::Utf32BE:
      return QStringLiteral("UTF-32 BE");
    case Encoding::SingleByte:
    case Encoding::MultiByte:
      return QCoreApplication::translate("TextCodec", "%1 (declared)")
          .arg(QString::fromLatin1(declaredName_));
  }
  return {};
}

QByteArray TextCodec::byteOrderMarkBytes() const {
  if (bom_ == ByteOrderMark::Absent) return {};
  switch (encoding_) {
    case Encoding::Utf8:
      return QByteArray(kUtf8Bom, 3);
    case Encoding::Utf16LE:
      return QByteArray(kUtf16LeBom, 2);
    case Encoding::Utf16BE:
      return QByteArray(kUtf16BeBom, 2);
    case Encoding::Utf32LE:
      return QByteArray(kUtf32LeBom, 4);
    case Encoding::Utf32BE:
      return QByteArray(kUtf32BeBom, 4);
    default:
      return {};
  }
}

const TextCodec::ByteTable* TextCodec::byteTable() const {
  return table_ ? &table_->chars : nullptr;
}

QString TextCodec::decode(QByteArrayView bytes) const {
  const QByteArray mark = byteOrderMarkBytes();
  if (!mark.isEmpty() && bytes.startsWith(mark)) bytes = bytes.sliced(mark.size());
  QString text;
  appendDecoded(bytes, text);
  return text;
}

void TextCodec::appendDecoded(QByteArrayView bytes, QString& out) const {
  const qsizetype from = out.size();
  const auto unitsAt = [&out, from] { return reinterpret_cast<char16_t*>(out.data()) + from; };
  switch (encoding_) {
    case Encoding::Utf8: {
      out.resize(from + bytes.size());
      out.truncate(from + Utf8::decodeInto(bytes, unitsAt()));
      return;
    }
    case Encoding::Utf16LE:
    case Encoding::Utf16BE: {
      const bool big = encoding_ == Encoding::Utf16BE;
      const qsizetype units = bytes.size() / 2;
      out.resize(from + units);
      char16_t* o = unitsAt();
      for (qsizetype i = 0; i < units; ++i) o[i] = CodeUnits::load16(bytes.data() + 2 * i, big);
      return;
    }
    case Encoding::Utf32LE:
    case Encoding::Utf32BE: {
      const bool big = encoding_ == Encoding::Utf32BE;
      out.resize(from + bytes.size() / 2);
      char16_t* o = unitsAt();
      char16_t* const first = o;
      for (qsizetype i = 0; i + 3 < bytes.size(); i += 4) {
        const quint32 code = CodeUnits::load32(bytes.data() + i, big);
        o += CodeUnits::isCodePoint(code) ? CodeUnits::store(code, o)
                                          : CodeUnits::store(kReplacement, o);
      }
      out.truncate(from + (o - first));
      return;
    }
    case Encoding::MultiByte: {
      QStringDecoder decoder(declaredName_.constData(), QStringConverter::Flag::Stateless);
      out.append(decoder.decode(bytes));
      return;
    }
    case Encoding::Windows1252:
    case Encoding::SingleByte:
      break;
  }
  out.resize(from + bytes.size());
  char16_t* o = unitsAt();
  for (const char byte : bytes) *o++ = table_->chars[static_cast<unsigned char>(byte)];
}

std::optional<QByteArray> TextCodec::encodeFragment(QStringView text) const {
  QByteArray bytes;
  if (!encodeInto(text, bytes)) return std::nullopt;
  return bytes;
}

bool TextCodec::encodeInto(QStringView text, QByteArray& out) const {
  switch (encoding_) {
    case Encoding::Utf8:
      return Utf8::encodeInto(text, out);
    case Encoding::Utf16LE:
    case Encoding::Utf16BE:
      appendUtf16(text, encoding_ == Encoding::Utf16BE, out);
      return true;
    case Encoding::Utf32LE:
    case Encoding::Utf32BE:
      return appendUtf32(text, encoding_ == Encoding::Utf32BE, out);
    case Encoding::MultiByte: {
      // Converters put a stand-in for what they cannot hold, and not all
      // report it: what does not decode back to the text is refused.
      QStringEncoder encoder(declaredName_.constData(), QStringConverter::Flag::Stateless);
      const QByteArray bytes = encoder.encode(text);
      if (encoder.hasError()) return false;
      QStringDecoder decoder(declaredName_.constData(), QStringConverter::Flag::Stateless);
      const QString back = decoder.decode(bytes);
      if (back != text || decoder.hasError()) return false;
      out.append(bytes);
      return true;
    }
    case Encoding::Windows1252:
    case Encoding::SingleByte:
      break;
  }
  const qsizetype from = out.size();
  out.resize(from + text.size());
  char* p = out.data() + from;
  for (const QChar c : text) {
    const int byte = byteFor(c.unicode());
    if (byte < 0) return false;
    *p++ = static_cast<char>(byte);
  }
  return true;
}

int TextCodec::byteFor(char16_t c) const {
  if (!table_) return -1;
  // Most text is ASCII, which every table we accept keeps in place.
  if (c < 0x80 && table_->chars[c] == c) return c;
  const auto& reverse = table_->reverse;
  const auto found =
      std::lower_bound(reverse.begin(), reverse.end(), std::pair<char16_t, unsigned char>(c, 0));
  if (found == reverse.end() || found->first != c) return -1;
  return found->second;
}

bool TextCodec::operator==(const TextCodec& other) const {
  return encoding_ == other.encoding_ && bom_ == other.bom_ && declaredName_ == other.declaredName_;
}

}  // namespace ostrel
