#include "toolkit/printing/Printer.h"

#include <QFont>
#include <QGuiApplication>
#include <utility>

#include "toolkit/Services.h"
#include "toolkit/ToolkitError.h"
#include "toolkit/printing/PrinterService.h"
#include "toolkit/text/TextSnapshot.h"

namespace ostrel {

QString Printer::FontName() const {
  return fontName_.isEmpty() ? QGuiApplication::font().family() : fontName_;
}

void Printer::Print(const QString& text) {
  document_.add(text);
  document_.add(QStringLiteral("\n"));
}

void Printer::Print(const TextSnapshot& text) {
  document_.add(text);
  document_.add(QStringLiteral("\n"));
}

JobHandle Printer::EndDoc(QObject* context, Done done) {
  PrintDocument document = std::exchange(document_, PrintDocument());
  if (document.isEmpty()) return {};  // nothing printed, no blank page
  if (services().printer == nullptr || services().jobs == nullptr) {
    throw ToolkitError(err::PrinterError, tr("No printer is available."));
  }
  QFont font(FontName());
  font.setPointSizeF(fontSize_);
  return services().jobs->start(context, QStringLiteral("print"),
                                services().printer->printJob(std::move(document), font),
                                std::move(done));
}

Printer& printer() {
  static Printer object;
  return object;
}

}  // namespace ostrel
