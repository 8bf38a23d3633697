#pragma once

#include <QFont>
#include <QString>
#include <functional>

class QPrinter;

namespace ostrel {

// The printer behind the printer object: the printer and page the print
// dialogs set up, and the one step that sends a document to it.
class PrinterService {
 public:
  virtual ~PrinterService() = default;
  // The printer the next document goes to; the print dialogs change it.
  virtual QPrinter& setup() = 0;
  // Called after every page with the text done so far; false cancels.
  using Progress = std::function<bool(qint64 done, qint64 total)>;

  // Lays text out on pages in font and sends them to the printer. A failure
  // throws ToolkitError(err::PrinterError); a cancel throws
  // ToolkitError(err::DialogCancelled) and prints nothing.
  virtual void printText(const QString& text, const QFont& font, const Progress& progress) = 0;
};

}  // namespace ostrel
