#include "toolkit/printing/Printer.h"

#include <QFont>
#include <QGuiApplication>

#include "toolkit/Services.h"
#include "toolkit/ToolkitError.h"
#include "toolkit/printing/PrinterService.h"

namespace ostrel {

QString Printer::FontName() const {
  return fontName_.isEmpty() ? QGuiApplication::font().family() : fontName_;
}

void Printer::Print(const QString& text) {
  document_ += text;
  document_ += QLatin1Char('\n');
}

void Printer::EndDoc(const PrinterService::Progress& progress) {
  const QString document = std::move(document_);
  document_.clear();
  if (document.isEmpty()) return;  // nothing printed, no blank page
  if (services().printer == nullptr) {
    throw ToolkitError(err::PrinterError, tr("No printer is available."));
  }
  QFont font(FontName());
  font.setPointSizeF(fontSize_);
  services().printer->printText(document, font, progress);
}

Printer& printer() {
  static Printer object;
  return object;
}

}  // namespace ostrel
