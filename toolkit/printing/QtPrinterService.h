#pragma once

#include <QPageLayout>
#include <QString>
#include <memory>

#include "toolkit/printing/PrinterService.h"

namespace ostrel {

// Prints through QPrinter's set-up: the pages are laid out into a PDF,
// written by the job (never by the interface thread), straight to the file
// of a file printer, or for a printer queue to a temporary file handed to
// CUPS here, so that a queue refusing the job, or stopped, is reported (Qt's
// own hand-over does not look at CUPS's answer). Every write is checked.
class QtPrinterService : public PrinterService {
 public:
  QtPrinterService();
  ~QtPrinterService() override;

  QPrinter& setup() override;
  Work printJob(PrintDocument document, const QFont& font) override;

  // What a print job takes from the printer set up, read on the interface
  // thread: the worker never touches the QPrinter the dialogs change.
  struct Target {
    QString queue;     // a printer queue; empty for a file printer
    QString fileName;  // a file printer's PDF
    int copies = 1;
    QPageLayout page;
    QString title;
    QString fontFamily;
    qreal pointSize = 10;
  };
  // The work that prints document to target.
  static Work workFor(Target target, PrintDocument document);

 private:
  std::unique_ptr<QPrinter> printer_;
};

}  // namespace ostrel
