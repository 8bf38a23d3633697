#pragma once

#include <QString>
#include <optional>

class QWidget;
class QPrinter;

namespace ostrel {

// The modal file and printer dialogs behind the common dialog control.
class DialogService {
 public:
  virtual ~DialogService() = default;
  // The full path the user confirmed, or nothing when cancelled.
  virtual std::optional<QString> saveFileName(QWidget* parent, const QString& title,
                                              const QString& initialName) = 0;
  // Lets the user set up printer; false when cancelled.
  virtual bool printSetup(QWidget* parent, QPrinter& printer) = 0;
};

}  // namespace ostrel
