#include "app/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>

namespace ostrel {

Translations::~Translations() {
  remove();
}

bool Translations::install(const QLocale& locale) {
  remove();
  if (!program_.load(locale, baseName(), QStringLiteral("_"), directory())) return false;
  programInstalled_ = QCoreApplication::installTranslator(&program_);
  // Qt's catalogue in the language ours resolved to, not the locale's first
  // choice: a "fr:de" user sees German texts, so the dialogs speak German.
  const QLocale resolved(program_.language());
  // Numbers too: German texts group digits the German way, also where only
  // LANGUAGE asks for German and the locale's numbers are English. (The
  // system locale tells LANGUAGE's language, its name the numbers' one.)
  const QLocale numbers(locale.name());
  previousDefault_ = QLocale();
  QLocale::setDefault(numbers.language() == resolved.language() ? numbers : resolved);
  defaultSet_ = true;
  if (qt_.load(resolved, QStringLiteral("qtbase"), QStringLiteral("_"),
               QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    qtInstalled_ = QCoreApplication::installTranslator(&qt_);
  }
  return programInstalled_;
}

void Translations::remove() {
  if (qtInstalled_) QCoreApplication::removeTranslator(&qt_);
  if (programInstalled_) QCoreApplication::removeTranslator(&program_);
  if (defaultSet_) QLocale::setDefault(previousDefault_);
  qtInstalled_ = programInstalled_ = defaultSet_ = false;
}

QString Translations::language() const {
  return programInstalled_ ? program_.language() : QString();
}

}  // namespace ostrel
