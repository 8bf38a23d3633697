#include "toolkit/printing/QtPrinterService.h"

#include <QCoreApplication>
#include <QFile>
#include <QLibrary>
#include <QPainter>
#include <QPrinter>
#include <QTemporaryDir>

#include "toolkit/App.h"
#include "toolkit/ToolkitError.h"
#include "toolkit/printing/TextPrintLayout.h"

namespace ostrel {

namespace {

[[noreturn]] void fail(const QString& reason) {
  throw ToolkitError(err::PrinterError, reason);
}

void paintTo(QPrinter& printer, const QString& text, const QFont& font,
             const PrinterService::Progress& progress) {
  QPainter painter;
  if (!painter.begin(&printer)) {
    fail(QCoreApplication::translate("QtPrinterService", "The printer %1 cannot be opened.")
             .arg(printer.printerName()));
  }
  bool cancelled = false;
  TextPrintLayout(font).paint(painter, printer, text, progress, &cancelled);
  if (cancelled) {
    // Half a document is no document: nothing reaches the printer or the file.
    printer.abort();
    painter.end();
    // The PDF engine cannot take back what it wrote: the part-file goes.
    if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty()) {
      QFile::remove(printer.outputFileName());
    }
    throw ToolkitError(err::DialogCancelled,
                       QCoreApplication::translate("QtPrinterService", "Printing was cancelled."));
  }
  if (!painter.end() || printer.printerState() == QPrinter::Error) {
    fail(QCoreApplication::translate("QtPrinterService", "The printer %1 reported an error.")
             .arg(printer.printerName()));
  }
}

// libcups, bound at run time: the print-support plugin already depends on it,
// and binding by name spares the program a build dependency.
struct CupsOption {
  char* name;
  char* value;
};
using CupsPrintFile = int (*)(const char*, const char*, const char*, int, CupsOption*);
using CupsLastErrorString = const char* (*)();

void submitToCups(const QString& queue, const QString& pdfFile, int copies) {
  QLibrary cups(QStringLiteral("cups"), 2);
  auto printFile = reinterpret_cast<CupsPrintFile>(cups.resolve("cupsPrintFile"));
  auto lastError = reinterpret_cast<CupsLastErrorString>(cups.resolve("cupsLastErrorString"));
  if (printFile == nullptr || lastError == nullptr) {
    fail(QCoreApplication::translate("QtPrinterService",
                                     "The printing system (CUPS) is not available."));
  }
  // A queue may be named with an instance ("queue/instance"); CUPS wants the queue.
  const QByteArray name = queue.section(QLatin1Char('/'), 0, 0).toLocal8Bit();
  QByteArray copiesName("copies");
  QByteArray copiesValue = QByteArray::number(copies);
  CupsOption option{copiesName.data(), copiesValue.data()};
  const int job = printFile(name.constData(), QFile::encodeName(pdfFile).constData(),
                            App().Title.toLocal8Bit().constData(), copies > 1 ? 1 : 0, &option);
  if (job <= 0) {
    fail(QCoreApplication::translate("QtPrinterService", "The printer %1 refused the document: %2.")
             .arg(queue, QString::fromLocal8Bit(lastError())));
  }
}

}  // namespace

QtPrinterService::QtPrinterService() = default;
QtPrinterService::~QtPrinterService() = default;

QPrinter& QtPrinterService::setup() {
  if (!printer_) printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
  return *printer_;
}

void QtPrinterService::printText(const QString& text, const QFont& font, const Progress& progress) {
  QPrinter& target = setup();
  if (target.outputFormat() == QPrinter::PdfFormat) {
    if (target.outputFileName().isEmpty())
      fail(QCoreApplication::translate("QtPrinterService", "No printer is set up."));
    paintTo(target, text, font, progress);
    return;
  }
  if (target.printerName().isEmpty())
    fail(QCoreApplication::translate("QtPrinterService", "No printer is set up."));

  QTemporaryDir folder;
  if (!folder.isValid())
    fail(QCoreApplication::translate("QtPrinterService",
                                     "There is no room to prepare the document for printing."));
  const QString file = folder.filePath(QStringLiteral("document.pdf"));
  QPrinter pdf(QPrinter::HighResolution);
  pdf.setOutputFormat(QPrinter::PdfFormat);
  pdf.setOutputFileName(file);
  pdf.setPageLayout(target.pageLayout());
  pdf.setDocName(App().Title);
  paintTo(pdf, text, font, progress);
  submitToCups(target.printerName(), file, target.copyCount());
}

}  // namespace ostrel
