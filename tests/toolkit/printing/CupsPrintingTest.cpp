#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPrinter>
#include <QProcess>
#include <QThread>

#include "tests/support/ErrorNumber.h"
#include "toolkit/ToolkitError.h"
#include "toolkit/printing/QtPrinterService.h"

// End-to-end printing through a running CUPS: a cups-pdf queue that accepts
// jobs and a queue that refuses them (the CI script sets both up; see
// setup-cups-queues.sh beside this file). Skipped where there is no such CUPS.
namespace ostrel {
namespace {

QString setting(const char* name, const char* fallback) {
  const QString value = qEnvironmentVariable(name);
  return value.isEmpty() ? QString::fromLatin1(fallback) : value;
}

bool queueReady(const QString& queue) {
  QProcess lpstat;
  lpstat.start(QStringLiteral("lpstat"), {QStringLiteral("-p"), queue});
  return lpstat.waitForFinished(10000) && lpstat.exitStatus() == QProcess::NormalExit &&
         lpstat.exitCode() == 0;
}

QString pdfInfo(const QString& pdf) {
  QProcess run;
  run.start(QStringLiteral("pdfinfo"), {pdf});
  return run.waitForFinished(30000) ? QString::fromUtf8(run.readAllStandardOutput()) : QString();
}

TEST(CupsPrinting, PrintsThroughACupsPdfQueue) {
  const QString queue = setting("OSTREL_CUPS_PDF_QUEUE", "ostrel-pdf");
  if (!queueReady(queue)) GTEST_SKIP() << "no CUPS queue " << queue.toStdString();
  // cups-pdf writes to the user's ~/PDF, or its spool for anonymous jobs.
  const QStringList outs = {setting("OSTREL_CUPS_PDF_OUT", qPrintable(QDir::homePath() + "/PDF")),
                            QStringLiteral("/var/spool/cups-pdf/ANONYMOUS")};
  const QDateTime started = QDateTime::currentDateTime().addSecs(-1);

  QtPrinterService service;
  service.setup().setOutputFormat(QPrinter::NativeFormat);
  service.setup().setPrinterName(queue);
  ASSERT_EQ(service.setup().outputFormat(), QPrinter::NativeFormat);
  service.printText(QStringLiteral("first line\r\nsecond line\n"), QFont(), {});

  // cups-pdf passes the pages through Ghostscript, which loses the glyphs'
  // text mapping: a new PDF with pages is what can be checked.
  QElapsedTimer waited;
  waited.start();
  while (waited.elapsed() < 60000) {
    for (const QString& out : outs) {
      for (QDirIterator it(out, {QStringLiteral("*.pdf")}, QDir::Files); it.hasNext();) {
        const QFileInfo pdf(it.next());
        if (pdf.lastModified() >= started && pdf.size() > 0) {
          EXPECT_TRUE(pdfInfo(pdf.filePath()).contains(QStringLiteral("Pages:")));
          return;
        }
      }
    }
    QThread::msleep(500);
  }
  FAIL() << "cups-pdf wrote no document to " << outs.join(QLatin1Char(' ')).toStdString();
}

TEST(CupsPrinting, AQueueThatRefusesJobsIsAPrinterError) {
  const QString queue = setting("OSTREL_CUPS_REJECT_QUEUE", "ostrel-reject");
  if (!queueReady(queue)) GTEST_SKIP() << "no CUPS queue " << queue.toStdString();
  QtPrinterService service;
  service.setup().setOutputFormat(QPrinter::NativeFormat);
  service.setup().setPrinterName(queue);
  EXPECT_EQ(test::errorNumber([&] { service.printText(QStringLiteral("refused"), QFont(), {}); }),
            err::PrinterError);
}

}  // namespace
}  // namespace ostrel
