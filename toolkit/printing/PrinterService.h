#pragma once

#include <QFont>
#include <QString>
#include <functional>

#include "toolkit/printing/PrintDocument.h"

class QPrinter;

namespace ostrel {

class JobControl;

// The printer behind the printer object: the printer and page the print
// dialogs set up, and the work that sends a document to it.
class PrinterService {
 public:
  virtual ~PrinterService() = default;
  // The printer the next document goes to; the print dialogs change it.
  virtual QPrinter& setup() = 0;

  // Prints on a job's thread; returns what the user is still to be told
  // when it printed (where a file printer put the document when no printer
  // could be reached), else nothing. A failure throws
  // ToolkitError(err::PrinterError) naming its cause; a cancel, seen at a
  // page's end, leaves nothing behind and throws JobControl::Cancelled.
  using Work = std::function<QString(JobControl& control)>;

  // On the interface thread: the work that prints document in font to the
  // printer set up now. It holds copies of what it needs and touches no
  // widget, so it may run on another thread while the dialogs are used
  // again. Throws ToolkitError(err::PrinterError) when no printer is set up.
  virtual Work printJob(PrintDocument document, const QFont& font) = 0;
};

}  // namespace ostrel
