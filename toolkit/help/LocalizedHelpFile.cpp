#include "toolkit/help/LocalizedHelpFile.h"

#include <QDir>
#include <QFileInfo>

namespace ostrel {

namespace {

bool isLanguageTag(const QString& tag) {
  if (tag.isEmpty() || tag.size() > 35) return false;
  for (const QChar c : tag) {
    const char16_t u = c.unicode();
    const bool ascii = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9');
    if (!ascii && u != '_') return false;
  }
  return true;
}

QString variantOf(const QFileInfo& original, const QString& tag) {
  const QString suffix = original.suffix();
  const QString stem = suffix.isEmpty() ? original.fileName() : original.completeBaseName();
  const QString name = suffix.isEmpty() ? stem + u'.' + tag : stem + u'.' + tag + u'.' + suffix;
  return original.dir().filePath(name);
}

}  // namespace

QString localizedHelpFile(const QString& helpFile, const QStringList& uiLanguages) {
  if (helpFile.isEmpty()) return helpFile;
  const QFileInfo original(helpFile);
  for (QString tag : uiLanguages) {
    tag.replace(u'-', u'_');
    if (!isLanguageTag(tag)) continue;
    const QString language = tag.section(u'_', 0, 0);
    if (language.compare(QLatin1String("en"), Qt::CaseInsensitive) == 0 ||
        tag == QLatin1String("C") || tag == QLatin1String("POSIX")) {
      return helpFile;
    }
    for (const QString& candidate : {tag, language}) {
      QString variant = variantOf(original, candidate);
      if (QFileInfo(variant).isFile()) return variant;
    }
  }
  return helpFile;
}

}  // namespace ostrel
