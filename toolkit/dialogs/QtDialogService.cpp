#include "toolkit/dialogs/QtDialogService.h"

#include <QFileDialog>
#include <QPrintDialog>
#include <QPrinter>

namespace ostrel {

std::optional<QString> QtDialogService::saveFileName(QWidget* parent, const QString& title,
                                                     const QString& initialName) {
  const QString name = QFileDialog::getSaveFileName(parent, title, initialName);
  if (name.isEmpty()) return std::nullopt;
  return name;
}

bool QtDialogService::printSetup(QWidget* parent, QPrinter& printer) {
  // The printer dialog lets the user pick the printer and, under its
  // properties, the paper, orientation and margins; page ranges make no
  // sense for one block of text.
  QPrintDialog dialog(&printer, parent);
  dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
  dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
  dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
  dialog.setWindowTitle(QPrintDialog::tr("Print Setup"));
  return dialog.exec() == QDialog::Accepted;
}

}  // namespace ostrel
