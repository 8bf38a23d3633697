#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <optional>

#include "toolkit/registry/RegistryValue.h"

namespace ostrel {

// One registry file in the text form that registry editors export and that
// Wine keeps its registry in:
//
//   REGEDIT4                                 (8-bit text)
//   Windows Registry Editor Version 5.00     (usually UTF-16 with a BOM)
//   WINE REGISTRY Version 2                  (Wine's system.reg / user.reg)
//
//   [HKEY_LOCAL_MACHINE\Software\Maker]      exported files name the root;
//   [Software\\Maker] 1700000000             Wine's are relative to the file's
//   #time=1d9a...                            root, escape "\" and carry stamps
//   @="default value"                        REG_SZ, escapes \\ \" \n \x41 ...
//   "Count"=dword:0000002a                   REG_DWORD
//   "Blob"=hex:01,02,\                       REG_BINARY, "\" continues a line
//     03,04
//   "Path"=hex(2):25,00,00,00                hex(N): any type N
//   "Path"=str(2):"%SystemRoot%"             Wine's string of type N
//   "Gone"=-  and  [-HKEY_...\Key]           deletions
//
// Lines starting with ";" or "#" are comments. Key and value names compare
// without regard to case. Values are kept as the single-byte calls return
// them: strings as UTF-8 with a terminating zero, and hex(1), hex(2) and
// hex(7) data of the UTF-16 formats converted from UTF-16 to UTF-8 byte for
// character, so a zero stored at the end stays one zero byte and a missing one
// stays missing.
class RegistryFile {
 public:
  enum class Format { None, Regedit4, Regedit5, Wine };

  // Lines that do not parse are skipped: a damaged line costs that value,
  // not the file. Bytes without a known header give an empty registry.
  static RegistryFile parse(const QByteArray& bytes);
  // A missing file is an empty registry. A folder, a special file, an
  // unreadable or an oversized file is one too, and error() says why.
  static RegistryFile load(const QString& path);

  Format format() const { return format_; }
  QString error() const { return error_; }
  // The keys the file lists (their parents not counted).
  int keyCount() const { return int(keys_.size()); }

  // keyPath as the file writes it: with the root's name for exported files
  // ("HKEY_LOCAL_MACHINE\Software"), relative to the file's root for Wine's.
  bool hasKey(const QString& keyPath) const;
  std::optional<RegistryValue> value(const QString& keyPath, const QString& valueName) const;

  // The name exported files give root ("HKEY_LOCAL_MACHINE"); empty if unknown.
  static QString rootName(reg::HKEY root);

 private:
  struct NamedValue {
    QString name;  // case-folded
    RegistryValue value;
  };
  // A key holds a handful of values: a list searched in order is far
  // cheaper to build than a hash per key, and Wine's files hold many keys.
  using Values = QList<NamedValue>;

  static void setValue(Values& values, const QString& name, const RegistryValue& value);
  static void removeValue(Values& values, const QString& name);

  void parseLines(const QStringList& lines);
  QString keyFromHeader(const QString& inBrackets) const;
  void addKey(const QString& key);
  void removeKey(const QString& key);
  // Whether key is listed or is the parent of one that is.
  bool contains(const QString& key) const;

  // By normalised, case-folded key path; sorted, so the keys below one key
  // lie together.
  QMap<QString, Values> keys_;
  Format format_ = Format::None;
  QString error_;
};

}  // namespace ostrel
