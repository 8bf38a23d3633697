#include "toolkit/registry/RegistryFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringDecoder>
#include <QStringList>

namespace ostrel {

namespace {

// Wine's system.reg of a well-used prefix is a few megabytes; anything far
// beyond that is not a registry we should pull into memory.
constexpr qint64 kMaxFileSize = 64 * 1024 * 1024;

QString normalise(const QString& path) {
  const QStringList parts = path.split(u'\\', Qt::SkipEmptyParts);
  return parts.join(u'\\').toCaseFolded();
}

// Exported files may abbreviate the root; the lookups use the full names.
QString expandRootAlias(const QString& path) {
  static const QHash<QString, QString> aliases{
      {QStringLiteral("hklm"), QStringLiteral("hkey_local_machine")},
      {QStringLiteral("hkcu"), QStringLiteral("hkey_current_user")},
      {QStringLiteral("hkcr"), QStringLiteral("hkey_classes_root")},
      {QStringLiteral("hku"), QStringLiteral("hkey_users")},
      {QStringLiteral("hkcc"), QStringLiteral("hkey_current_config")}};
  const qsizetype cut = path.indexOf(u'\\');
  const QString first = cut < 0 ? path : path.left(cut);
  const auto it = aliases.constFind(first);
  if (it == aliases.constEnd()) return path;
  return *it + (cut < 0 ? QString() : path.mid(cut));
}

QString decodeText(const QByteArray& bytes) {
  if (bytes.startsWith("\xFF\xFE")) return QStringDecoder(QStringDecoder::Utf16LE).decode(bytes);
  if (bytes.startsWith("\xFE\xFF")) return QStringDecoder(QStringDecoder::Utf16BE).decode(bytes);
  QStringDecoder utf8(QStringDecoder::Utf8);
  QString text = utf8.decode(bytes);
  // Older exports are in the writer's 8-bit code page; Latin-1 keeps every
  // byte as one character instead of losing it.
  if (utf8.hasError()) return QString::fromLatin1(bytes);
  return text;
}

int hexDigit(QChar c) {
  const char16_t u = c.unicode();
  if (u >= '0' && u <= '9') return u - '0';
  if (u >= 'a' && u <= 'f') return u - 'a' + 10;
  if (u >= 'A' && u <= 'F') return u - 'A' + 10;
  return -1;
}

// Reads the escape after a backslash at text[pos] (pos points past the "\").
// Both the exported forms (\\ and \") and Wine's C-style ones are understood.
QChar readEscape(const QString& text, qsizetype& pos) {
  if (pos >= text.size()) return u'\\';
  const QChar c = text[pos++];
  switch (c.unicode()) {
    case 'a':
      return QChar(7);
    case 'b':
      return QChar(8);
    case 'e':
      return QChar(27);
    case 'f':
      return QChar(12);
    case 'n':
      return QChar(10);
    case 'r':
      return QChar(13);
    case 't':
      return QChar(9);
    case 'v':
      return QChar(11);
    case 'x': {
      uint code = 0;
      int digits = 0;
      while (digits < 4 && pos < text.size() && hexDigit(text[pos]) >= 0) {
        code = code * 16 + hexDigit(text[pos++]);
        ++digits;
      }
      return digits == 0 ? QChar(u'x') : QChar(char16_t(code));
    }
    default:
      if (c >= u'0' && c <= u'7') {
        uint code = c.unicode() - '0';
        for (int i = 0; i < 2 && pos < text.size() && text[pos] >= u'0' && text[pos] <= u'7'; ++i)
          code = code * 8 + (text[pos++].unicode() - '0');
        return QChar(char16_t(code));
      }
      return c;
  }
}

// A quoted string starting at text[pos] == '"'; pos ends past the closing quote.
std::optional<QString> readQuoted(const QString& text, qsizetype& pos) {
  if (pos >= text.size() || text[pos] != u'"') return std::nullopt;
  QString out;
  out.reserve(text.size() - pos);
  for (++pos; pos < text.size();) {
    const QChar c = text[pos++];
    if (c == u'"') return out;
    out += c == u'\\' ? readEscape(text, pos) : c;
  }
  return std::nullopt;
}

QString unescape(const QString& text) {
  QString out;
  out.reserve(text.size());
  for (qsizetype pos = 0; pos < text.size();) {
    const QChar c = text[pos++];
    out += c == u'\\' ? readEscape(text, pos) : c;
  }
  return out;
}

std::optional<QByteArray> readHexBytes(const QString& list) {
  QByteArray out;
  const QStringList items = list.split(u',');
  for (qsizetype i = 0; i < items.size(); ++i) {
    const QString item = items[i].trimmed();
    if (item.isEmpty()) {
      if (i == items.size() - 1) break;  // a trailing comma
      return std::nullopt;
    }
    if (item.size() > 2) return std::nullopt;
    int byte = 0;
    for (QChar c : item) {
      if (hexDigit(c) < 0) return std::nullopt;
      byte = byte * 16 + hexDigit(c);
    }
    out.append(char(byte));
  }
  return out;
}

QByteArray utf16ToUtf8(const QByteArray& bytes) {
  QString text;
  text.reserve(bytes.size() / 2);
  for (qsizetype i = 0; i + 1 < bytes.size(); i += 2)
    text += QChar(char16_t(quint8(bytes[i]) | (quint8(bytes[i + 1]) << 8)));
  return text.toUtf8();
}

bool isStringType(quint32 type) {
  return type == reg::Sz || type == reg::ExpandSz || type == reg::MultiSz;
}

// ":" or "(N):" after hex or str; N is the type in hexadecimal. The plain
// form gives plainType.
std::optional<quint32> readTypeSuffix(const QString& data, qsizetype& pos, quint32 plainType) {
  if (pos < data.size() && data[pos] == u':') {
    ++pos;
    return plainType;
  }
  if (pos >= data.size() || data[pos] != u'(') return std::nullopt;
  const qsizetype close = data.indexOf(u')', pos);
  if (close < 0 || close + 1 >= data.size() || data[close + 1] != u':') return std::nullopt;
  bool ok = false;
  const quint32 type = data.mid(pos + 1, close - pos - 1).trimmed().toUInt(&ok, 16);
  if (!ok) return std::nullopt;
  pos = close + 2;
  return type;
}

std::optional<RegistryValue> readData(const QString& data, RegistryFile::Format format) {
  if (data.startsWith(u'"')) {
    qsizetype pos = 0;
    const auto text = readQuoted(data, pos);
    if (!text) return std::nullopt;
    return RegistryValue{reg::Sz, text->toUtf8().append('\0')};
  }
  if (data.startsWith(QLatin1String("dword:"), Qt::CaseInsensitive)) {
    const QString digits = data.mid(6).trimmed();
    bool ok = false;
    const quint32 number = digits.toUInt(&ok, 16);
    if (!ok || digits.size() > 8 || digits.startsWith(u'+') || digits.startsWith(u'-'))
      return std::nullopt;
    QByteArray bytes(4, '\0');
    for (int i = 0; i < 4; ++i) bytes[i] = char((number >> (8 * i)) & 0xFF);
    return RegistryValue{reg::Dword, bytes};
  }
  if (data.startsWith(QLatin1String("str"), Qt::CaseInsensitive)) {
    qsizetype pos = 3;
    const auto type = readTypeSuffix(data, pos, reg::Sz);
    if (!type) return std::nullopt;
    const auto text = readQuoted(data, pos);
    if (!text) return std::nullopt;
    return RegistryValue{*type, text->toUtf8().append('\0')};
  }
  if (data.startsWith(QLatin1String("hex"), Qt::CaseInsensitive)) {
    qsizetype pos = 3;
    const auto type = readTypeSuffix(data, pos, reg::Binary);
    if (!type) return std::nullopt;
    auto bytes = readHexBytes(data.mid(pos));
    if (!bytes) return std::nullopt;
    if (isStringType(*type) && format != RegistryFile::Format::Regedit4)
      *bytes = utf16ToUtf8(*bytes);
    return RegistryValue{*type, *bytes};
  }
  return std::nullopt;
}

// Opens without following the path into a FIFO or device: O_NONBLOCK keeps
// open() from waiting for a writer, and the descriptor's own type decides.
QByteArray readRegularFile(const QString& path, QString& error) {
  const QString shown = QDir::toNativeSeparators(path);
  const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error =
        QCoreApplication::translate("RegistryFile", "The registry file %1 could not be opened: %2.")
            .arg(shown, QString::fromLocal8Bit(strerror(errno)));
    return {};
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    error = S_ISDIR(st.st_mode)
                ? QCoreApplication::translate("RegistryFile", "The registry file %1 is a folder.")
                      .arg(shown)
                : QCoreApplication::translate("RegistryFile",
                                              "The registry file %1 is not a regular file.")
                      .arg(shown);
    return {};
  }
  if (st.st_size > kMaxFileSize) {
    ::close(fd);
    error =
        QCoreApplication::translate("RegistryFile", "The registry file %1 is too large to read.")
            .arg(shown);
    return {};
  }
  QFile file;
  if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
    ::close(fd);
    error =
        QCoreApplication::translate("RegistryFile", "The registry file %1 could not be read: %2.")
            .arg(shown, file.errorString());
    return {};
  }
  QByteArray bytes = file.read(kMaxFileSize + 1);
  if (bytes.size() > kMaxFileSize) {
    error =
        QCoreApplication::translate("RegistryFile", "The registry file %1 is too large to read.")
            .arg(shown);
    return {};
  }
  return bytes;
}

}  // namespace

RegistryFile RegistryFile::parse(const QByteArray& bytes) {
  RegistryFile file;
  QString text = decodeText(bytes);
  if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
  file.parseLines(text.split(u'\n'));
  return file;
}

RegistryFile RegistryFile::load(const QString& path) {
  if (!QFileInfo::exists(path)) return {};
  QString error;
  const QByteArray bytes = readRegularFile(path, error);
  if (!error.isEmpty()) {
    RegistryFile empty;
    empty.error_ = error;
    return empty;
  }
  RegistryFile file = parse(bytes);
  if (file.format_ == Format::None && !bytes.isEmpty())
    file.error_ = QCoreApplication::translate("RegistryFile", "The file %1 is not a registry file.")
                      .arg(QDir::toNativeSeparators(path));
  return file;
}

void RegistryFile::parseLines(const QStringList& lines) {
  qsizetype i = 0;
  auto lineAt = [&](qsizetype at) {
    QString line = lines[at];
    if (line.endsWith(u'\r')) line.chop(1);
    return line;
  };
  for (; i < lines.size() && format_ == Format::None; ++i) {
    const QString header = lineAt(i).trimmed();
    if (header.isEmpty()) continue;
    if (header == QLatin1String("REGEDIT4"))
      format_ = Format::Regedit4;
    else if (header == QLatin1String("Windows Registry Editor Version 5.00"))
      format_ = Format::Regedit5;
    else if (header.startsWith(QLatin1String("WINE REGISTRY Version ")))
      format_ = Format::Wine;
    else
      return;
  }

  QString key;  // empty: no key yet, or values of a deleted key
  for (; i < lines.size(); ++i) {
    QString line = lineAt(i).trimmed();
    if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#')) continue;
    if (line.startsWith(u'[')) {
      // Wine follows the bracket with a time stamp; the last "]" ends the name.
      const qsizetype close = line.lastIndexOf(u']');
      key.clear();
      if (close < 0) continue;
      const QString inside = line.mid(1, close - 1);
      if (inside.startsWith(u'-')) {
        removeKey(keyFromHeader(inside.mid(1)));
      } else {
        key = keyFromHeader(inside);
        if (!key.isEmpty()) addKey(key);
      }
      continue;
    }
    if (key.isEmpty()) continue;

    QString name;
    qsizetype pos = 0;
    if (line.startsWith(u'@')) {
      pos = 1;
    } else {
      const auto quoted = readQuoted(line, pos);
      if (!quoted) continue;
      name = *quoted;
    }
    while (pos < line.size() && line[pos].isSpace()) ++pos;
    if (pos >= line.size() || line[pos] != u'=') continue;
    QString data = line.mid(pos + 1).trimmed();
    if (data.startsWith(QLatin1String("hex"), Qt::CaseInsensitive)) {
      while (data.endsWith(u'\\') && i + 1 < lines.size()) {
        data.chop(1);
        data += lineAt(++i).trimmed();
      }
    }
    if (data == QLatin1String("-")) {
      removeValue(keys_[key], name.toCaseFolded());
      continue;
    }
    if (auto value = readData(data, format_)) setValue(keys_[key], name.toCaseFolded(), *value);
  }
}

QString RegistryFile::keyFromHeader(const QString& inBrackets) const {
  if (format_ == Format::Wine) return normalise(unescape(inBrackets));
  return expandRootAlias(normalise(inBrackets));
}

void RegistryFile::addKey(const QString& key) {
  // A file lists a key only where it has values; its parents exist all the
  // same, found by hasKey() among the keys below them. Storing each parent
  // path would cost a line of n components n copies of its prefixes.
  if (!keys_.contains(key)) keys_.insert(key, {});
}

void RegistryFile::removeKey(const QString& key) {
  if (key.isEmpty()) return;
  bool removed = keys_.remove(key) > 0;
  // The keys below form one run in the sorted map.
  const QString below = key + u'\\';
  for (auto it = keys_.lowerBound(below); it != keys_.end() && it.key().startsWith(below);) {
    it = keys_.erase(it);
    removed = true;
  }
  // The parent stays, even when the removed key was all that made it exist.
  const qsizetype cut = key.lastIndexOf(u'\\');
  if (removed && cut > 0) addKey(key.left(cut));
}

bool RegistryFile::contains(const QString& key) const {
  if (keys_.contains(key)) return true;
  const QString below = key + u'\\';
  const auto it = keys_.lowerBound(below);
  return it != keys_.end() && it.key().startsWith(below);
}

bool RegistryFile::hasKey(const QString& keyPath) const {
  const QString key = normalise(keyPath);
  return !key.isEmpty() && contains(format_ == Format::Wine ? key : expandRootAlias(key));
}

std::optional<RegistryValue> RegistryFile::value(const QString& keyPath,
                                                 const QString& valueName) const {
  const QString key = normalise(keyPath);
  const auto it = keys_.constFind(format_ == Format::Wine ? key : expandRootAlias(key));
  if (it == keys_.constEnd()) return std::nullopt;
  const QString name = valueName.toCaseFolded();
  for (const NamedValue& entry : *it)
    if (entry.name == name) return entry.value;
  return std::nullopt;
}

void RegistryFile::setValue(Values& values, const QString& name, const RegistryValue& value) {
  for (NamedValue& entry : values) {
    if (entry.name == name) {
      entry.value = value;
      return;
    }
  }
  values.append(NamedValue{name, value});
}

void RegistryFile::removeValue(Values& values, const QString& name) {
  values.removeIf([&](const NamedValue& entry) { return entry.name == name; });
}

QString RegistryFile::rootName(reg::HKEY root) {
  switch (root) {
    case reg::ClassesRoot:
      return QStringLiteral("HKEY_CLASSES_ROOT");
    case reg::CurrentUser:
      return QStringLiteral("HKEY_CURRENT_USER");
    case reg::LocalMachine:
      return QStringLiteral("HKEY_LOCAL_MACHINE");
    case reg::Users:
      return QStringLiteral("HKEY_USERS");
    case reg::CurrentConfig:
      return QStringLiteral("HKEY_CURRENT_CONFIG");
    default:
      return {};
  }
}

}  // namespace ostrel
