#pragma once

#include "toolkit/controls/CommandButton.h"
#include "toolkit/controls/ImageControl.h"
#include "toolkit/controls/Label.h"
#include "toolkit/controls/LineControl.h"
#include "toolkit/forms/Form.h"

namespace ostrel {

// The About window: icon, title, version, description and a credit line.
class frmAbout : public Form {
  Q_OBJECT

 public:
  frmAbout();

  ImageControl* picIcon;
  Label* lblTitle;
  Label* lblVersion;
  Label* lblDescription;
  LineControl* Line1[2];
  Label* lblDisclaimer;
  CommandButton* cmdOK;

  void cmdOK_Click();

  // Reads one registry value into KeyVal; true on success. Offered to other
  // code, not used by the window itself.
  bool GetKeyValue(quint32 KeyRoot, const QString& KeyName, const QString& SubKeyRef,
                   QString& KeyVal);

 protected:
  void Form_Load() override;
};

}  // namespace ostrel
