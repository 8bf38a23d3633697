// The registry file parser on fuzzed text, then the lookups the program makes.
#include <QByteArray>
#include <QString>

#include "toolkit/registry/RegistryFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
  const ostrel::RegistryFile file = ostrel::RegistryFile::parse(bytes);
  if (file.format() == ostrel::RegistryFile::Format::None && file.keyCount() != 0)
    __builtin_trap();  // without a header nothing is read
  for (const char* key :
       {"HKEY_LOCAL_MACHINE\\Software\\Maker", "Software\\Maker", "hkcu\\a", "\\\\", ""}) {
    const QString path = QString::fromLatin1(key);
    const bool exists = file.hasKey(path);
    const auto value = file.value(path, QStringLiteral("Name"));
    if (value && !exists) __builtin_trap();  // a value lives in a key
  }
  return 0;
}
