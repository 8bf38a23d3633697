#include "toolkit/dialogs/CommonDialog.h"

#include <QWidget>

#include "toolkit/Services.h"
#include "toolkit/ToolkitError.h"
#include "toolkit/dialogs/DialogService.h"
#include "toolkit/files/FileNames.h"
#include "toolkit/printing/PrinterService.h"

namespace ostrel {

CommonDialog::CommonDialog(QWidget* parent, const QString& name) : QObject(parent), owner_(parent) {
  setObjectName(name);
}

CommonDialog::Result CommonDialog::cancelled() {
  if (cancelError_) throw ToolkitError(err::DialogCancelled, tr("Cancel was selected."));
  return Result::Cancelled;
}

CommonDialog::Result CommonDialog::ShowSave() {
  if (services().dialogs == nullptr) {
    throw ToolkitError(err::DeviceUnavailable, tr("No file dialog is available."));
  }
  // The dialog shows a name's bytes that are not UTF-8 as \xFF; confirmed as
  // shown, the name is the one it was given, bytes and all, and a new name
  // in the shown folder keeps the folder's own bytes.
  const QString shown = FileNames::visible(fileName_);
  const std::optional<QString> chosen =
      services().dialogs->saveFileName(owner_, dialogTitle_, shown);
  if (!chosen || chosen->isEmpty()) return cancelled();
  if (*chosen == shown) return Result::Confirmed;
  const qsizetype slash = fileName_.lastIndexOf(u'/');
  const QString folder = fileName_.left(slash + 1);
  const QString shownFolder = FileNames::visible(folder);
  if (slash >= 0 && chosen->startsWith(shownFolder) &&
      !chosen->sliced(shownFolder.size()).contains(u'/')) {
    fileName_ = folder + chosen->sliced(shownFolder.size());
  } else {
    fileName_ = *chosen;
  }
  return Result::Confirmed;
}

CommonDialog::Result CommonDialog::ShowPrinter() {
  if (services().dialogs == nullptr || services().printer == nullptr) {
    throw ToolkitError(err::PrinterError, tr("No printer is available."));
  }
  if (!services().dialogs->printSetup(owner_, services().printer->setup())) return cancelled();
  return Result::Confirmed;
}

}  // namespace ostrel
