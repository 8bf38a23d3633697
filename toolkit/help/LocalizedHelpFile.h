#pragma once

#include <QString>
#include <QStringList>

namespace ostrel {

// The help file to open for a user of the given UI languages (most wanted
// first, as QLocale::uiLanguages() gives them): the translated book beside
// helpFile whose name carries the language before the extension
// (OSTREL_VIEWER.de_AT.HLP, then OSTREL_VIEWER.de.HLP for "de-AT"), or
// helpFile itself. English, C and POSIX mean helpFile, which is English;
// a language tag that is not letters, digits and separators is passed over,
// so no language can lead outside helpFile's folder.
QString localizedHelpFile(const QString& helpFile, const QStringList& uiLanguages);

}  // namespace ostrel
