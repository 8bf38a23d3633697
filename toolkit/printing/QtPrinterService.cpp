#include "toolkit/printing/QtPrinterService.h"

#include <cups/cups.h>

#include <QCoreApplication>
#include <QDir>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QTemporaryDir>
#include <QThread>
#include <optional>

#include "toolkit/App.h"
#include "toolkit/ToolkitError.h"
#include "toolkit/files/FileNames.h"
#include "toolkit/jobs/JobControl.h"
#include "toolkit/printing/CupsQueue.h"
#include "toolkit/printing/PrintFile.h"
#include "toolkit/printing/TextPrintLayout.h"

namespace ostrel {

namespace {

[[noreturn]] void fail(const QString& reason) {
  throw ToolkitError(err::PrinterError, reason);
}

using Target = QtPrinterService::Target;

// How long a queue's answer to a new job is waited for: long enough to see
// a job refused by its filter or a stopped queue, short enough not to keep
// the progress strip up for a printer that is merely busy.
constexpr int kWatchMs = 2000;
constexpr int kWatchStepMs = 100;
// The resolution QPrinter gives a PDF in its high-resolution mode.
constexpr int kPdfDotsPerInch = 1200;

// Lays the document out into file; a cancel leaves no file.
void paintPdf(const Target& target, const PrintDocument& document, PrintFile& file,
              JobControl& control) {
  QPdfWriter writer(&file);
  writer.setPageLayout(target.page);
  writer.setResolution(kPdfDotsPerInch);
  writer.setTitle(target.title);
  writer.setCreator(target.title);
  QPainter painter;
  if (!painter.begin(&writer))
    fail(QCoreApplication::translate("QtPrinterService",
                                     "The document could not be laid out for printing."));
  QFont font(target.fontFamily);
  font.setPointSizeF(target.pointSize);
  bool cancelled = false;
  // A failed write stops the work at the page's end: the rest has nowhere to go.
  TextPrintLayout(font).paint(
      painter, writer, document,
      [&](qint64 done, qint64 total) { return control.report(done, total) && file.error() == 0; },
      &cancelled);
  painter.end();
  if (control.cancelled()) {
    file.discard();
    throw JobControl::Cancelled{};
  }
}

// Watches a job the queue took until it prints, fails or the watch ends.
void watch(const CupsQueue& queue, int job, JobControl& control) {
  for (int waited = 0; waited < kWatchMs; waited += kWatchStepMs) {
    if (control.cancelled()) {
      queue.cancel(job);
      throw JobControl::Cancelled{};
    }
    const int state = queue.jobState(job);
    if (state == IPP_JSTATE_COMPLETED) return;
    if (state == IPP_JSTATE_ABORTED || state == IPP_JSTATE_CANCELED) {
      const QString words = CupsQueue::wordsOf(queue.state());
      fail(words.isEmpty()
               ? QCoreApplication::translate("QtPrinterService",
                                             "The printer “%1” did not print the document.")
                     .arg(queue.shownName())
               : QCoreApplication::translate("QtPrinterService",
                                             "The printer “%1” did not print the document: %2.")
                     .arg(queue.shownName(), words));
    }
    const CupsQueue::State now = queue.state();
    if (now.stopped || state == IPP_JSTATE_STOPPED) {
      const QString words = CupsQueue::wordsOf(now);
      fail(
          (words.isEmpty()
               ? QCoreApplication::translate("QtPrinterService", "The printer “%1” is stopped.")
                     .arg(queue.shownName())
               : QCoreApplication::translate("QtPrinterService", "The printer “%1” is stopped: %2.")
                     .arg(queue.shownName(), words)) +
          u' ' +
          QCoreApplication::translate(
              "QtPrinterService",
              "The document waits in its queue and prints when the printer is started again."));
    }
    QThread::msleep(kWatchStepMs);
  }
}

void sendToQueue(const Target& target, const PrintDocument& document, JobControl& control) {
  QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/ostrel_viewer-print-XXXXXX"));
  const QString shownFolder = FileNames::shown(QDir::tempPath());
  if (!folder.isValid()) {
    fail(QCoreApplication::translate(
             "QtPrinterService",
             "The document could not be prepared for printing in the temporary folder “%1”: %2.")
             .arg(shownFolder, folder.errorString()));
  }
  PrintFile file;
  const QString pdf = folder.filePath(QStringLiteral("document.pdf"));
  if (file.create(pdf)) paintPdf(target, document, file, control);
  if (file.error() != 0 || !file.finish()) {
    fail(QCoreApplication::translate(
             "QtPrinterService",
             "The document could not be prepared for printing in the temporary folder “%1”: %2.")
             .arg(shownFolder, file.reason()));
  }
  const CupsQueue queue(target.queue);
  watch(queue, queue.submit(pdf, target.title, target.copies), control);
}

QString printToFile(const Target& target, const PrintDocument& document, JobControl& control) {
  PrintFile file;
  const QString shown = FileNames::shown(target.fileName);
  if (!file.create(target.fileName)) {
    fail(QCoreApplication::translate("QtPrinterService", "The file “%1” cannot be written: %2.")
             .arg(shown, file.reason()));
  }
  paintPdf(target, document, file, control);
  if (file.error() != 0 || !file.finish()) {
    file.discard();
    fail(QCoreApplication::translate("QtPrinterService",
                                     "The file “%1” could not be written: %2. It was removed.")
             .arg(shown, file.reason()));
  }
  // With no printer to be had, the dialog offers only its file printer:
  // the user may not know a file was all that was made.
  if (CupsQueue::anyReachable()) return {};
  return QCoreApplication::translate(
             "QtPrinterService",
             "No printer could be reached, so the document was printed to the file “%1”.")
      .arg(shown);
}

}  // namespace

QtPrinterService::QtPrinterService() = default;
QtPrinterService::~QtPrinterService() = default;

QPrinter& QtPrinterService::setup() {
  if (!printer_) printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
  return *printer_;
}

PrinterService::Work QtPrinterService::printJob(PrintDocument document, const QFont& font) {
  QPrinter& printer = setup();
  Target target;
  if (printer.outputFormat() == QPrinter::PdfFormat) {
    target.fileName = printer.outputFileName();
    if (target.fileName.isEmpty())
      fail(QCoreApplication::translate("QtPrinterService", "No printer is set up."));
  } else {
    target.queue = printer.printerName();
    if (target.queue.isEmpty())
      fail(QCoreApplication::translate("QtPrinterService", "No printer is set up."));
    target.copies = printer.copyCount();
  }
  target.page = printer.pageLayout();
  target.title = App().Title;
  // The font is made afresh on the worker: a QFont shares its engines with
  // the thread that made it.
  target.fontFamily = font.family();
  target.pointSize = font.pointSizeF();
  return workFor(std::move(target), std::move(document));
}

PrinterService::Work QtPrinterService::workFor(Target target, PrintDocument document) {
  return [target = std::move(target), document = std::move(document)](JobControl& control) {
    if (!target.queue.isEmpty()) {
      sendToQueue(target, document, control);
      return QString();
    }
    return printToFile(target, document, control);
  };
}

}  // namespace ostrel
