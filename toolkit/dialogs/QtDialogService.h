#pragma once

#include "toolkit/dialogs/DialogService.h"

namespace ostrel {

// The desktop's save-file dialog and Qt's printer dialog.
class QtDialogService : public DialogService {
 public:
  std::optional<QString> saveFileName(QWidget* parent, const QString& title,
                                      const QString& initialName) override;
  bool printSetup(QWidget* parent, QPrinter& printer) override;
};

}  // namespace ostrel
