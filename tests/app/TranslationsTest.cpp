#include "app/Translations.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QRegularExpression>

#include "about/frmAbout.h"
#include "main_window/Ostrel_View.h"
#include "tests/support/FakeServices.h"
#include "tests/support/MainWindowClicks.h"
#include "text_window/Form2.h"
#include "toolkit/controls/CommandButton.h"
#include "toolkit/forms/FormSet.h"
#include "toolkit/picture/DecodeFailure.h"
#include "toolkit/picture/PictureLimits.h"

namespace ostrel {
namespace {

// Captions from freshly made windows: a button, a box of a control array, a
// file pattern and a window's caption.
struct Captions {
  QString help, all, gif, aboutCaption;

  static Captions read() {
    FormSet::instance().reset();
    Ostrel_View& main = form<Ostrel_View>();
    frmAbout& about = form<frmAbout>();
    return {main.Command3->Caption(), (*main.Check1)(9).Caption(), (*main.Check1)(0).Caption(),
            about.Caption()};
  }
};

// The size in the loader's refusal of a square picture side pixels a side.
QString refusalOfSide(qint64 side) {
  try {
    PictureLimits::check(side, side, 1);
  } catch (const DecodeFailure& refusal) {
    static const QRegularExpression size(QStringLiteral("\\S+ × \\S+"));
    return size.match(refusal.reason()).captured();
  }
  return {};
}

Form2& openTextWindow(const test::TempDir& dir) {
  dir.write(QStringLiteral("a.txt"), "text");
  test::clickFile(dir, QStringLiteral("a.txt"));
  return form<Form2>();
}

TEST(TranslationsTest, GermanTranslatesTheWindowsAndQtsOwnButtons) {
  Translations translations;
  ASSERT_TRUE(translations.install(QLocale(QLocale::German, QLocale::Austria)));
  EXPECT_EQ(translations.language(), QStringLiteral("de_DE"));

  const Captions c = Captions::read();
  EXPECT_EQ(c.help, QStringLiteral("&Hilfe"));
  EXPECT_EQ(c.all, QStringLiteral("Alle"));
  EXPECT_EQ(c.gif, QStringLiteral("*.GIF"));  // a file pattern, not a word
  EXPECT_EQ(c.aboutCaption, QStringLiteral("Info über Ostrel_Viewer"));

  test::TempDir dir;
  Form2& text = openTextWindow(dir);
  EXPECT_EQ(text.Command1->Caption(), QStringLiteral("&Schließen"));
  // The save dialog is titled as its button, not in the dialog's own words.
  text.Command5->click();
  EXPECT_EQ(test::fakes().dialogs.lastTitle, QStringLiteral("Sichern als"));
  // Numbers in the texts are written as the locale writes them.
  const QString side = QLocale(QLocale::German, QLocale::Austria).toString(64250);
  EXPECT_EQ(refusalOfSide(64250), side + QStringLiteral(" × ") + side);

  // Qt's catalogue: the standard buttons of message boxes and dialogs.
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Abbrechen"));

  translations.remove();
  EXPECT_EQ(Captions::read().help, QStringLiteral("&Help"));
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));
}

// The windows have fixed sizes; a translation longer than its control is cut
// off on screen. Every caption must fit, in German as in English.
QStringList clippedTexts(QWidget* window) {
  QStringList clipped;
  for (QWidget* w : window->findChildren<QWidget*>()) {
    QString text;
    bool fits = true;
    // The check boxes' captions are file patterns, the same in every
    // language ("All" has room to spare).
    if (qobject_cast<QCheckBox*>(w)) continue;
    if (auto* button = qobject_cast<CommandButton*>(w)) {
      // A caption that fills its button edge to edge reads as cut off: it
      // keeps a clear margin on each side, in the font it is drawn in.
      text = button->text();
      const int margin = 2 * 6;
      fits =
          text.isEmpty() ||
          QFontMetrics(button->captionFont()).horizontalAdvance(text) + margin <= button->width();
    } else if (auto* label = qobject_cast<QLabel*>(w); label && label->isVisibleTo(window)) {
      text = label->text();
      fits = label->wordWrap() ? label->heightForWidth(label->width()) <= label->height()
                               : label->sizeHint().width() <= label->width();
    }
    if (!fits)
      clipped += window->objectName() + u'/' + w->objectName() + QStringLiteral(": ") + text;
  }
  return clipped;
}

TEST(TranslationsTest, EveryCaptionFitsItsControlInEnglishAndGerman) {
  for (const bool german : {false, true}) {
    Translations translations;
    if (german) ASSERT_TRUE(translations.install(QLocale(QLocale::German)));
    FormSet::instance().reset();
    test::TempDir dir;
    Form2& text = openTextWindow(dir);
    for (QWidget* window :
         std::initializer_list<QWidget*>{&form<Ostrel_View>(), &text, &form<frmAbout>()})
      EXPECT_EQ(clippedTexts(window).join(u'\n').toStdString(), "")
          << (german ? "German" : "English");
  }
}

// Run by CTest once more with LANGUAGE=de (translations_from_environment):
// the way a user picks the language, read through the system locale as the
// program's start-up does.
TEST(TranslationsFromEnvironment, LanguageDeShowsGermanCaptions) {
  if (qgetenv("OSTREL_TEST_SYSTEM_LANGUAGE") != "de") GTEST_SKIP() << "run with LANGUAGE=de";
  Translations translations;
  ASSERT_TRUE(translations.install(QLocale::system()));
  const Captions c = Captions::read();
  EXPECT_EQ(c.help, QStringLiteral("&Hilfe"));
  EXPECT_EQ(c.aboutCaption, QStringLiteral("Info über Ostrel_Viewer"));
  // German texts group digits the German way, whatever the locale's numbers.
  EXPECT_EQ(refusalOfSide(64250), QStringLiteral("64.250 × 64.250"));
}

}  // namespace
}  // namespace ostrel
