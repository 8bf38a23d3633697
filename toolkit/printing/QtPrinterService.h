#pragma once

#include <memory>

#include "toolkit/printing/PrinterService.h"

namespace ostrel {

// Prints through QPrinter. A PDF printer (print to file) is painted directly;
// for a printer queue the pages are laid out in a PDF of the same page set-up
// and handed to CUPS here, so that a queue refusing the job is reported (Qt's
// own hand-over does not look at CUPS's answer).
class QtPrinterService : public PrinterService {
 public:
  QtPrinterService();
  ~QtPrinterService() override;

  QPrinter& setup() override;
  void printText(const QString& text, const QFont& font, const Progress& progress) override;

 private:
  std::unique_ptr<QPrinter> printer_;
};

}  // namespace ostrel
