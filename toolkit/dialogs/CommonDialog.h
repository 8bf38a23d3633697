#pragma once

#include <QObject>
#include <QString>

class QWidget;

namespace ostrel {

// Flag values of the common dialog, as callers have always written them.
namespace cdl {
inline constexpr qint32 PDPrintSetup = 0x40;  // the printer dialog in its print-setup form
}  // namespace cdl

// The common dialog control: invisible at run time, it shows the save-file and
// printer dialogs through the dialog service and keeps its properties while
// its window is loaded.
class CommonDialog : public QObject {
  Q_OBJECT

 public:
  enum class Result { Confirmed, Cancelled };

  CommonDialog(QWidget* parent, const QString& name);

  qint32 Flags() const { return flags_; }
  void setFlags(qint32 flags) { flags_ = flags; }
  // While on, a cancel throws ToolkitError(err::DialogCancelled) instead of returning.
  bool CancelError() const { return cancelError_; }
  void setCancelError(bool on) { cancelError_ = on; }
  // The full path of the last confirmed save-file choice.
  QString FileName() const { return fileName_; }
  void setFileName(const QString& name) { fileName_ = name; }
  QString DialogTitle() const { return dialogTitle_; }
  void setDialogTitle(const QString& title) { dialogTitle_ = title; }

  Result ShowSave();
  // The printer dialog; its choices go to the printer the next document uses.
  Result ShowPrinter();

 private:
  Result cancelled();

  QWidget* owner_;
  qint32 flags_ = 0;
  bool cancelError_ = false;
  QString fileName_;
  QString dialogTitle_;
};

}  // namespace ostrel
