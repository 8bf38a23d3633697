#include "toolkit/dialogs/QtMessageBoxService.h"

#include <QMessageBox>
#include <QPushButton>

#include "toolkit/App.h"
#include "toolkit/Services.h"

namespace ostrel {

int QtMessageBoxService::show(QWidget* parent, const QString& prompt, int style,
                              const QString& title) {
  return showWithDetails(parent, prompt, QString(), style, title);
}

int QtMessageBoxService::showWithDetails(QWidget* parent, const QString& prompt,
                                         const QString& details, int style, const QString& title) {
  QMessageBox box(parent);
  box.setWindowTitle(title);
  box.setText(prompt);
  if (!details.isEmpty()) box.setDetailedText(details);
  switch (style & 0x70) {
    case mb::Critical:
      box.setIcon(QMessageBox::Critical);
      break;
    case mb::Question:
      box.setIcon(QMessageBox::Question);
      break;
    case mb::Exclamation:
      box.setIcon(QMessageBox::Warning);
      break;
    case mb::Information:
      box.setIcon(QMessageBox::Information);
      break;
    default:
      box.setIcon(QMessageBox::NoIcon);
      break;
  }
  switch (style & 0x7) {
    case mb::OkCancel:
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      break;
    case mb::YesNoCancel:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      break;
    case mb::YesNo:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      break;
    case mb::SaveCancel:
      box.setStandardButtons(QMessageBox::Save | QMessageBox::Cancel);
      break;
    default:
      box.setStandardButtons(QMessageBox::Ok);
      break;
  }
  switch (box.exec()) {
    case QMessageBox::Cancel:
      return mb::Cancel;
    case QMessageBox::Yes:
      return mb::Yes;
    case QMessageBox::No:
      return mb::No;
    case QMessageBox::Save:
      return mb::Save;
    default:
      return mb::Ok;
  }
}

int MsgBox(const QString& prompt, int style, const QString& title, QWidget* parent) {
  return services().messageBox->show(parent, prompt, style, title.isEmpty() ? App().Title : title);
}

int MsgBoxWithDetails(const QString& prompt, const QString& details, int style,
                      const QString& title, QWidget* parent) {
  return services().messageBox->showWithDetails(parent, prompt, details, style,
                                                title.isEmpty() ? App().Title : title);
}

}  // namespace ostrel
