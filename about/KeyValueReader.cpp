#include "about/KeyValueReader.h"

#include <QByteArray>

#include "toolkit/registry/Registry.h"

namespace ostrel {

namespace {
constexpr quint32 kBufferSize = 1024;
}

bool GetKeyValue(Registry& registry, quint32 KeyRoot, const QString& KeyName,
                 const QString& SubKeyRef, QString& KeyVal) {
  bool found = false;
  reg::HKEY key = 0;
  if (registry.RegOpenKeyExA(KeyRoot, KeyName, 0, reg::KeyAllAccess, &key) == reg::Success) {
    QByteArray buffer(kBufferSize, '\0');
    quint32 size = kBufferSize;
    quint32 type = reg::None;
    if (registry.RegQueryValueExA(key, SubKeyRef, nullptr, &type,
                                  reinterpret_cast<quint8*>(buffer.data()),
                                  &size) == reg::Success) {
      found = true;
      const QByteArray stored = buffer.left(size);
      QByteArray text = stored;
      if (text.endsWith('\0')) text.chop(1);
      if (stored.isEmpty()) {
        KeyVal.clear();
      } else if (type == reg::Sz) {
        KeyVal = QString::fromUtf8(text);
      } else if (type == reg::Dword) {
        // The number's own bytes, little-endian: dropping the final zero byte
        // above is about text and must not shorten the number.
        quint32 number = 0;
        for (qsizetype i = qMin<qsizetype>(stored.size(), 4) - 1; i >= 0; --i)
          number = (number << 8) | quint8(stored[i]);
        KeyVal = QString::number(number);
      }
    }
  }
  // Closed in every case, also the 0 of a failed open; that result means nothing.
  registry.RegCloseKey(key);
  if (!found) KeyVal.clear();
  return found;
}

}  // namespace ostrel
