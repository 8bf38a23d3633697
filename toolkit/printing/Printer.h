#pragma once

#include <QCoreApplication>
#include <QString>

#include "toolkit/printing/PrinterService.h"

namespace ostrel {

// The printer object: Print adds text to the document being built, EndDoc
// sends the document to the printer service and starts a new one.
class Printer {
  Q_DECLARE_TR_FUNCTIONS(Printer)

 public:
  // The font documents are printed in; the application's font family at a
  // size that reads well on paper unless set otherwise.
  QString FontName() const;
  void setFontName(const QString& family) { fontName_ = family; }
  float FontSize() const { return fontSize_; }
  void setFontSize(float points) { fontSize_ = points; }

  // Adds text and a line end to the document.
  void Print(const QString& text);
  // Sends the document to the printer. Throws ToolkitError(err::PrinterError)
  // when it cannot be printed; the document is discarded either way.
  void EndDoc(const PrinterService::Progress& progress = {});
  // Drops the document without printing.
  void KillDoc() { document_.clear(); }

 private:
  QString document_;
  QString fontName_;
  float fontSize_ = 10;
};

// The program's one printer object.
Printer& printer();

}  // namespace ostrel
