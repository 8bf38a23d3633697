#include <gtest/gtest.h>

#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include "tests/support/ErrorNumber.h"
#include "tests/support/FakeServices.h"
#include "tests/support/TempDir.h"
#include "toolkit/ToolkitError.h"
#include "toolkit/printing/Printer.h"
#include "toolkit/printing/QtPrinterService.h"

namespace ostrel {
namespace {

// What pdftotext reads from a PDF with the given option; pages end in a form feed.
QString pdftotext(const QString& option, const QString& pdf) {
  QProcess run;
  run.start(QStringLiteral("pdftotext"), {option, pdf, QStringLiteral("-")});
  return run.waitForFinished(60000) ? QString::fromUtf8(run.readAllStandardOutput()) : QString();
}

class PrintingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty()) {
      GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    }
  }
  // Prints text at 10 points into a PDF; its name.
  QString print(const QString& text) {
    QtPrinterService service;
    service.setup().setOutputFormat(QPrinter::PdfFormat);
    service.setup().setOutputFileName(tmp.file("out.pdf"));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(10);
    service.printText(text, font, {});
    return tmp.file("out.pdf");
  }
  test::TempDir tmp;
};

TEST_F(PrintingTest, EveryLinePrintsOnceInOrderWrappedAndPagedWithinTwoCentimetresAndNumbered) {
  QString text;
  for (int i = 1; i <= 150; ++i)
    text += QStringLiteral("Line %1\r\n").arg(i, 3, 10, QLatin1Char('0'));
  QString longLine;
  for (int i = 1; i <= 120; ++i) longLine += QStringLiteral("word%1 ").arg(i);
  text += longLine + QStringLiteral("\rlast\n");
  const QString pdf = print(text);

  // Every word two centimetres clear of the edges; the page number centred at the foot.
  const QStringList pages = pdftotext(QStringLiteral("-bbox"), pdf)
                                .split(QStringLiteral("<page "), Qt::SkipEmptyParts)
                                .mid(1);
  ASSERT_GE(pages.size(), 3);
  const QRegularExpression size(QStringLiteral("width=\"([\\d.]+)\" height=\"([\\d.]+)\""));
  const QRegularExpression wordBox(QStringLiteral(
      "xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">([^<]*)<"));
  constexpr double kMargin = 20 / 25.4 * 72 - 1;  // 2 cm in points, less a rounding
  for (int p = 0; p < pages.size(); ++p) {
    const auto paper = size.match(pages[p]);
    const double width = paper.captured(1).toDouble(), height = paper.captured(2).toDouble();
    bool numbered = false;
    for (auto it = wordBox.globalMatch(pages[p]); it.hasNext();) {
      const auto w = it.next();
      const double left = w.captured(1).toDouble(), top = w.captured(2).toDouble();
      const double right = w.captured(3).toDouble(), bottom = w.captured(4).toDouble();
      EXPECT_TRUE(left >= kMargin && right <= width - kMargin && top >= kMargin)
          << qPrintable(w.captured(5)) << " at " << left << "," << top;
      if (w.captured(5) == QString::number(p + 1)) {
        numbered = bottom > height - kMargin && qAbs((left + right) / 2 - width / 2) < 5;
      } else {
        EXPECT_LE(bottom, height - kMargin) << qPrintable(w.captured(5));
      }
    }
    EXPECT_TRUE(numbered) << "page " << p + 1 << " has no number centred at its foot";
  }

  const QString printed = pdftotext(QStringLiteral("-layout"), pdf);
  EXPECT_GE(printed.count(QLatin1Char('\f')), 2) << "150 lines at 10 points need several pages";
  qsizetype at = 0;
  for (int i = 1; i <= 150; ++i) {
    const QString line = QStringLiteral("Line %1").arg(i, 3, 10, QLatin1Char('0'));
    const qsizetype found = printed.indexOf(line, at);
    ASSERT_GE(found, 0) << line.toStdString();
    EXPECT_EQ(printed.indexOf(line, found + 1), -1) << line.toStdString() << " printed twice";
    at = found;
  }
  for (int i = 1; i <= 120; ++i) {
    const QString word = QStringLiteral("word%1 ").arg(i).trimmed();
    const qsizetype found =
        printed.indexOf(QRegularExpression(QStringLiteral("\\b%1\\b").arg(word)), at);
    ASSERT_GE(found, 0) << word.toStdString() << " missing or out of order";
    at = found;
  }
  EXPECT_GT(printed.indexOf(QStringLiteral("last"), at), 0);
}

TEST(PrinterObject, EndDocSendsEverythingPrintedAsOneDocumentOnce) {
  Printer& p = printer();
  p.Print(QStringLiteral("one"));
  p.Print(QStringLiteral("two\r\nthree"));
  p.EndDoc();
  p.EndDoc();  // nothing more printed: no second document
  auto& jobs = test::fakes().printer.jobs;
  ASSERT_EQ(jobs.size(), 1U);
  EXPECT_EQ(jobs[0].text, QStringLiteral("one\ntwo\r\nthree\n"));
  EXPECT_FLOAT_EQ(static_cast<float>(jobs[0].font.pointSizeF()), 10);

  test::fakes().printer.failWith = QStringLiteral("out of paper");
  p.Print(QStringLiteral("lost"));
  EXPECT_EQ(test::errorNumber([&] { p.EndDoc(); }), err::PrinterError);
  test::fakes().printer.failWith.clear();
  p.Print(QStringLiteral("fresh"));
  p.EndDoc();
  EXPECT_EQ(jobs.back().text, QStringLiteral("fresh\n"));
}

}  // namespace
}  // namespace ostrel
