#include "about/frmAbout.h"

#include "about/KeyValueReader.h"
#include "main_window/Ostrel_View.h"
#include "toolkit/App.h"
#include "toolkit/Icons.h"
#include "toolkit/Services.h"
#include "toolkit/forms/FormSet.h"
#include "toolkit/registry/Registry.h"

namespace ostrel {

namespace {

// The labels' face is a condensed sans; take whichever condensed face the
// system has.
QFont condensedFont(qreal points, bool bold, bool underline) {
  QFont::insertSubstitutions(
      QStringLiteral("Abadi MT Condensed"),
      {QStringLiteral("Liberation Sans Narrow"), QStringLiteral("DejaVu Sans Condensed"),
       QStringLiteral("Arial Narrow"), QStringLiteral("Liberation Sans")});
  QFont font(QStringLiteral("Abadi MT Condensed"));
  font.setPointSizeF(points);
  font.setBold(bold);
  font.setUnderline(underline);
  font.setStretch(QFont::Condensed);
  return font;
}

}  // namespace

frmAbout::frmAbout() {
  setObjectName(QStringLiteral("frmAbout"));
  setWindowIcon(Icons::program());
  setDesignClientArea(0, 0, 5730, 4425);
  setFixedDialogBorder();
  setStartUpPosition(StartUpPosition::CenterScreen, loadedForm<Ostrel_View>());

  picIcon = new ImageControl(this, QStringLiteral("picIcon"), ImageControl::Sizing::Natural);
  picIcon->setAccessibleName(tr("Program icon"));
  picIcon->Move(240, 240, 540, 540);
  picIcon->setPicture(Picture::fromImage(Icons::program().pixmap(32, 32).toImage()));

  lblTitle = new Label(this, QStringLiteral("lblTitle"));
  lblTitle->Move(1050, 240, 3885, 480);
  lblTitle->setFont(condensedFont(15.75, false, true));

  lblVersion = new Label(this, QStringLiteral("lblVersion"));
  lblVersion->Move(1050, 720, 3885, 225);
  lblVersion->setFont(condensedFont(9.75, false, false));

  lblDescription = new Label(this, QStringLiteral("lblDescription"));
  lblDescription->Move(1080, 1080, 3885, 690);
  lblDescription->setFont(condensedFont(9.75, true, false));
  lblDescription->setWordWrap(true);
  lblDescription->setCaption(
      tr("Ostrel_Viewer was designed to allow users to quickly preview major graphic types,and "
         "view/edit major text file types."));

  // An etched separator: a highlight line with a shadow drawn over its top
  // (white and grey in a light theme). Its design ends lie past the
  // window's right edge; its last pixel stays as far from that edge as its
  // first from the left one.
  constexpr float kSeparatorEnd = 5730 - 240 - 15;
  Line1[0] = new LineControl(this, QStringLiteral("Line1_0"), 240, 3480, kSeparatorEnd - 15, 3480,
                             QPalette::Light, 2);
  Line1[1] = new LineControl(this, QStringLiteral("Line1_1"), 240, 3480, kSeparatorEnd, 3480,
                             QPalette::Dark, 1);

  lblDisclaimer = new Label(this, QStringLiteral("lblDisclaimer"));
  lblDisclaimer->Move(240, 3600, 3870, 825);
  lblDisclaimer->setWordWrap(true);
  lblDisclaimer->setCaption(
      tr("Written and maintained by the Ostrel_Viewer developers. Free to use and share."));

  cmdOK = new CommandButton(this, QStringLiteral("cmdOK"));
  cmdOK->Move(4320, 3960, 1260, 345);
  cmdOK->setCaption(tr("OK"));
  cmdOK->setDefault(true);
  cmdOK->setCancel(true);
  cmdOK->setFocus();
  on(cmdOK, &CommandButton::Click, [this] { cmdOK_Click(); });
}

void frmAbout::Form_Load() {
  setCaption(tr("About %1").arg(App().Title));
  lblVersion->setCaption(
      tr("Version %1.%2.%3").arg(App().Major).arg(App().Minor).arg(App().Revision));
  lblTitle->setCaption(App().Title);
}

void frmAbout::cmdOK_Click() {
  Unload(*this);
}

bool frmAbout::GetKeyValue(quint32 KeyRoot, const QString& KeyName, const QString& SubKeyRef,
                           QString& KeyVal) {
  if (services().registry == nullptr) {
    KeyVal.clear();
    return false;
  }
  Registry registry(*services().registry);
  return ostrel::GetKeyValue(registry, KeyRoot, KeyName, SubKeyRef, KeyVal);
}

}  // namespace ostrel
