#pragma once

#include <QLocale>
#include <QString>
#include <QTranslator>

namespace ostrel {

// The program's own translation catalogue and Qt's (the standard dialogs and
// message-box buttons) for one locale, installed into the application while
// this object lives. A locale with no catalogue of ours, English among them,
// installs neither, so every text stays as the windows define it. With a
// catalogue, numbers are written in its language too.
class Translations {
 public:
  Translations() = default;
  ~Translations();
  Translations(const Translations&) = delete;
  Translations& operator=(const Translations&) = delete;

  // Tries the locale's UI languages in order (LANGUAGE first, as set on the
  // system locale); true when one of ours was found and installed.
  bool install(const QLocale& locale);
  void remove();

  // The language of the installed catalogue ("de_DE"), empty when none is.
  QString language() const;

  // Where the catalogues are compiled in, and the name they share.
  static QString directory() { return QStringLiteral(":/i18n"); }
  static QString baseName() { return QStringLiteral("ostrel_viewer"); }

 private:
  QTranslator program_;
  QTranslator qt_;
  bool programInstalled_ = false;
  bool qtInstalled_ = false;
  QLocale previousDefault_;
  bool defaultSet_ = false;
};

}  // namespace ostrel
