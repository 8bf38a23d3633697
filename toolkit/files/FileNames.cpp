#include "toolkit/files/FileNames.h"

#include <unistd.h>

#include <QDir>
#include <cerrno>
#include <climits>
#include <vector>

#include "toolkit/files/Utf8.h"

namespace ostrel {

namespace {

constexpr char16_t kEscapeBase = 0xDC00;

bool isEscapedByte(QStringView name, qsizetype i) {
  const char16_t c = name[i].unicode();
  // The low half of a surrogate pair is a character, not a byte.
  return c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF &&
         (i == 0 || !name[i - 1].isHighSurrogate());
}

// The length of the UTF-8 sequence a lead byte announces (1 for anything
// that cannot lead one, which then fails the validity check on its own).
qsizetype announcedLength(unsigned char lead) {
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC0) return 2;
  return 1;
}

}  // namespace

QString FileNames::decode(QByteArrayView bytes) {
  if (Utf8::isValid(bytes)) return QString::fromUtf8(bytes);
  QString name;
  name.reserve(bytes.size());
  qsizetype i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    const qsizetype length = qMin(announcedLength(lead), bytes.size() - i);
    const QByteArrayView sequence = bytes.sliced(i, length);
    if (lead < 0x80 || (length == announcedLength(lead) && Utf8::isValid(sequence))) {
      name += QString::fromUtf8(sequence);
      i += length;
    } else {
      name += QChar(char16_t(kEscapeBase + lead));
      ++i;
    }
  }
  return name;
}

QByteArray FileNames::encode(QStringView name) {
  QByteArray bytes;
  bytes.reserve(name.size());
  qsizetype run = 0;  // start of the characters not yet encoded
  for (qsizetype i = 0; i < name.size(); ++i) {
    if (!isEscapedByte(name, i)) continue;
    bytes += name.sliced(run, i - run).toUtf8();
    bytes += static_cast<char>(name[i].unicode() - kEscapeBase);
    run = i + 1;
  }
  bytes += name.sliced(run).toUtf8();
  return bytes;
}

QString FileNames::visible(QStringView text) {
  QString shown;
  shown.reserve(text.size());
  const auto escaped = [&shown](const char* prefix, unsigned code, int digits) {
    shown += QLatin1String(prefix) +
             QStringLiteral("%1").arg(code, digits, 16, QLatin1Char('0')).toUpper();
  };
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t c = text[i].unicode();
    if (isEscapedByte(text, i)) {
      escaped("\\x", c - kEscapeBase, 2);
    } else if (c < 0x20 || c == 0x7F) {
      // A line break or another control character would break a title or
      // a row in two, or vanish: shown as its byte.
      escaped("\\x", c, 2);
    } else if ((c >= 0x80 && c < 0xA0) || c == 0x2028 || c == 0x2029) {
      escaped("\\u", c, 4);
    } else {
      shown += text[i];
    }
  }
  return shown;
}

QString FileNames::shown(QStringView name) {
  return QDir::toNativeSeparators(visible(name));
}

QString FileNames::currentFolder() {
  std::vector<char> buffer(PATH_MAX);
  while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return QDir::cleanPath(QDir::currentPath());
    buffer.resize(buffer.size() * 2);
  }
  return QDir::cleanPath(decode(QByteArrayView(buffer.data())));
}

}  // namespace ostrel
