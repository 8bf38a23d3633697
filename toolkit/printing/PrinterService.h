#pragma once

#include <QFont>
#include <QString>

class QPrinter;

namespace ostrel {

// The printer behind the printer object: the printer and page the print
// dialogs set up, and the one step that sends a document to it.
class PrinterService {
 public:
  virtual ~PrinterService() = default;
  // The printer the next document goes to; the print dialogs change it.
  virtual QPrinter& setup() = 0;
  // Lays text out on pages in font and sends them to the printer. A failure
  // throws ToolkitError(err::PrinterError).
  virtual void printText(const QString& text, const QFont& font) = 0;
};

}  // namespace ostrel
