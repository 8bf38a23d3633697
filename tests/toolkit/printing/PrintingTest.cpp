#include <gtest/gtest.h>
#include <sys/mount.h>

#include <QDir>
#include <QFile>
#include <QPageSize>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <exception>
#include <optional>
#include <thread>

#include "tests/support/ErrorNumber.h"
#include "tests/support/FakeServices.h"
#include "tests/support/TempDir.h"
#include "toolkit/ToolkitError.h"
#include "toolkit/jobs/JobControl.h"
#include "toolkit/printing/CupsQueue.h"
#include "toolkit/printing/PrintDocument.h"
#include "toolkit/printing/Printer.h"
#include "toolkit/printing/QtPrinterService.h"
#include "toolkit/printing/TextPrintLayout.h"

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
  static QtPrinterService::Target target(const QString& fileName) {
    QtPrinterService::Target target;
    target.fileName = fileName;
    target.page = QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF());
    target.title = QStringLiteral("test");
    target.fontFamily = QStringLiteral("DejaVu Sans");
    return target;
  }
  // Runs a print job's work on a thread of its own, as the program does;
  // what it returned, or the error it threw.
  static std::optional<QString> run(const QtPrinterService::Target& target, const QString& text,
                                    JobControl& control, std::exception_ptr* error = nullptr) {
    PrintDocument document;
    document.add(text);
    std::optional<QString> said;
    std::exception_ptr thrown;
    std::thread worker([&] {
      try {
        said = QtPrinterService::workFor(target, document)(control);
      } catch (...) {
        thrown = std::current_exception();
      }
    });
    worker.join();
    if (error) *error = thrown;
    if (thrown && !error) std::rethrow_exception(thrown);
    return said;
  }
  // Prints text at 10 points into a PDF; its name.
  QString print(const QString& text) {
    JobControl control;
    run(target(tmp.file(QStringLiteral("out.pdf"))), text, control);
    return tmp.file(QStringLiteral("out.pdf"));
  }
  // The words of the printer error that printing text to target ends in.
  static QString failure(const QtPrinterService::Target& target, const QString& text) {
    JobControl control;
    std::exception_ptr error;
    run(target, text, control, &error);
    try {
      if (error) std::rethrow_exception(error);
    } catch (const ToolkitError& e) {
      EXPECT_EQ(e.Number(), err::PrinterError);
      return e.Description();
    }
    ADD_FAILURE() << "printing did not fail";
    return {};
  }
  test::TempDir tmp;
};

TEST_F(PrintingTest, EveryLinePrintsOnceInOrderWrappedAndPagedWithinTwoCentimetresAndNumbered) {
  QString text;
  for (int i = 1; i <= 150; ++i)
    text += QStringLiteral("Line %1\r\n").arg(i, 3, 10, QLatin1Char('0'));
  // A line that wraps, to reach the right margin.
  for (int i = 1; i <= 120; ++i) text += QStringLiteral("word%1 ").arg(i);
  text += QStringLiteral("\rlast\n");
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
  EXPECT_GT(printed.indexOf(QStringLiteral("last"), at), 0);
}

TEST_F(PrintingTest, ALineLongerThanOneLayoutWrapsAsAWholeWithNoWordCutOrLost) {
  QString line;
  int words = 0;
  while (line.size() < 3 * TextPrintLayout::kLayoutUnits) {
    line += QStringLiteral("w%1 ").arg(++words);
  }
  const QString printed = pdftotext(QStringLiteral("-raw"), print(line));
  const QStringList found =
      printed.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
  // Page numbers are the only other words.
  QStringList got;
  for (const QString& w : found) {
    if (w.startsWith(u'w')) got << w;
  }
  ASSERT_EQ(got.size(), words);
  for (int i = 0; i < words; ++i) ASSERT_EQ(got[i], QStringLiteral("w%1").arg(i + 1));
}

// A folder with room for a few kilobytes: a tmpfs of its own where the test
// may mount one (as root, as CI runs).
class SmallDisk {
 public:
  explicit SmallDisk(const QString& folder) : folder_(QFile::encodeName(folder)) {
    mounted_ = ::mount("tmpfs", folder_.constData(), "tmpfs", 0, "size=16k") == 0;
  }
  ~SmallDisk() {
    if (mounted_) ::umount2(folder_.constData(), MNT_DETACH);
  }
  bool mounted() const { return mounted_; }

 private:
  QByteArray folder_;
  bool mounted_ = false;
};

QString pages(int lines) {
  QString text;
  for (int i = 1; i <= lines; ++i) text += QStringLiteral("Line %1 of the text\n").arg(i);
  return text;
}

TEST_F(PrintingTest, AFullDiskForAPrintFileIsNamedAndLeavesNoBrokenFile) {
  QDir().mkpath(tmp.file(QStringLiteral("small")));
  const SmallDisk disk(tmp.file(QStringLiteral("small")));
  // Without a file system of its own, the disk that is always full.
  const QString file =
      disk.mounted() ? tmp.file(QStringLiteral("small/out.pdf")) : QStringLiteral("/dev/full");
  const QString words = failure(target(file), pages(3000));
  EXPECT_TRUE(words.contains(QStringLiteral("the disk is full"))) << qPrintable(words);
  EXPECT_TRUE(words.contains(file)) << qPrintable(words);
  if (disk.mounted()) EXPECT_FALSE(QFile::exists(file)) << "a cut-off PDF was left";
}

TEST_F(PrintingTest, AFullTemporaryFolderStopsAQueuedPrintBeforeTheQueueAndSaysSo) {
  QDir().mkpath(tmp.file(QStringLiteral("small")));
  const SmallDisk disk(tmp.file(QStringLiteral("small")));
  if (!disk.mounted()) GTEST_SKIP() << "no tmpfs can be mounted here (not root)";
  const QByteArray before = qgetenv("TMPDIR");
  qputenv("TMPDIR", QFile::encodeName(tmp.file(QStringLiteral("small"))));
  QtPrinterService::Target queued = target(QString());
  queued.queue = QStringLiteral("ostrel-no-such-queue");
  const QString words = failure(queued, pages(3000));
  qputenv("TMPDIR", before);
  EXPECT_TRUE(words.contains(QStringLiteral("temporary folder"))) << qPrintable(words);
  EXPECT_TRUE(words.contains(QStringLiteral("the disk is full"))) << qPrintable(words);
  EXPECT_TRUE(QDir(tmp.file(QStringLiteral("small"))).isEmpty());
}

TEST_F(PrintingTest, ACancelMidJobStopsAtAPageEndAndRemovesThePartFile) {
  const QString file = tmp.file(QStringLiteral("out.pdf"));
  JobControl control;
  std::exception_ptr error;
  PrintDocument document;
  document.add(pages(200000));
  std::thread worker([&] {
    try {
      QtPrinterService::workFor(target(file), document)(control);
    } catch (...) {
      error = std::current_exception();
    }
  });
  while (control.done() == 0) std::this_thread::yield();
  control.cancel();
  worker.join();
  EXPECT_LT(control.done(), document.length() / 2) << "the job ran on after its cancel";
  bool cancelled = false;
  try {
    if (error) std::rethrow_exception(error);
  } catch (const JobControl::Cancelled&) {
    cancelled = true;
  }
  EXPECT_TRUE(cancelled);
  EXPECT_FALSE(QFile::exists(file));
}

TEST_F(PrintingTest, AFilePrinterTellsWhereTheDocumentWentWhenNoPrinterIsReachable) {
  JobControl control;
  const QString file = tmp.file(QStringLiteral("print.pdf"));
  const std::optional<QString> said = run(target(file), QStringLiteral("text"), control);
  ASSERT_TRUE(said.has_value());
  if (CupsQueue::anyReachable()) {
    EXPECT_TRUE(said->isEmpty()) << "a chosen file printer needs no word";
  } else {
    EXPECT_TRUE(said->contains(file)) << qPrintable(*said);
  }
  EXPECT_TRUE(pdftotext(QStringLiteral("-raw"), file).contains(QStringLiteral("text")));
}

// Reads document through a reader, limit units at most at a time, and gives
// the lines it read.
QStringList readLines(const PrintDocument& document, qsizetype limit) {
  QStringList lines;
  PrintDocument::Reader reader(document);
  QString line;
  while (!reader.atEnd()) {
    const PrintDocument::Reader::Stretch stretch = reader.line(limit);
    EXPECT_LE(stretch.text.size(), limit);
    EXPECT_FALSE(!stretch.ends && stretch.text.back().isHighSurrogate()) << "a pair split";
    line += stretch.text;
    reader.pass(stretch.text.size());
    if (stretch.ends) lines << std::exchange(line, QString());
  }
  EXPECT_EQ(reader.position(), document.length());
  return lines;
}

TEST(PrintDocumentReader, ReadsEveryLineOnceWhereverItemsBlocksAndLimitsSplitIt) {
  PrintDocument split;
  for (const char* item : {"ab\r", "\ncd\n", "", "\r\r\n", "x\r"})
    split.add(QString::fromUtf8(item));
  split.add(QStringLiteral("\n"));
  EXPECT_EQ(readLines(split, 100), QStringList({"ab", "cd", "", "", "x"}));

  // A CR ending one block of decoding and its LF starting the next.
  PrintDocument blocks;
  blocks.add(QString(64 * 1024 - 1, u'a') + QStringLiteral("\r\nb"));
  const QStringList read = readLines(blocks, 100 * 1024);
  ASSERT_EQ(read.size(), 2);
  EXPECT_EQ(read[1], QStringLiteral("b"));

  // A long line in pieces no longer than the limit, a surrogate pair whole.
  PrintDocument longLine;
  longLine.add(QStringLiteral("abc\U0001F600defg\nh"));
  EXPECT_EQ(readLines(longLine, 4), QStringList({QStringLiteral("abc\U0001F600defg"), "h"}));
}

TEST(PrinterObject, EndDocSendsEverythingPrintedAsOneDocumentOnceAsAJob) {
  Printer& p = printer();
  QObject context;
  std::vector<JobOutcome<QString>> outcomes;
  const auto done = [&outcomes](JobOutcome<QString> outcome) { outcomes.push_back(outcome); };
  p.Print(QStringLiteral("one"));
  p.Print(QStringLiteral("two\r\nthree"));
  p.EndDoc(&context, done);
  EXPECT_FALSE(p.EndDoc(&context, done)) << "nothing more printed: no second document";
  auto& jobs = test::fakes().printer.jobs;
  ASSERT_EQ(jobs.size(), 1U);
  EXPECT_EQ(jobs[0].text, QStringLiteral("one\ntwo\r\nthree\n"));
  EXPECT_FLOAT_EQ(static_cast<float>(jobs[0].font.pointSizeF()), 10);
  ASSERT_EQ(outcomes.size(), 1U);
  EXPECT_TRUE(outcomes[0].value.has_value());

  test::fakes().printer.failWith = QStringLiteral("out of paper");
  p.Print(QStringLiteral("lost"));
  p.EndDoc(&context, done);
  ASSERT_EQ(outcomes.size(), 2U);
  ASSERT_TRUE(outcomes[1].error.has_value());
  EXPECT_EQ(outcomes[1].error->Number(), err::PrinterError);
  EXPECT_EQ(outcomes[1].error->Description(), QStringLiteral("out of paper"));
  test::fakes().printer.failWith.clear();
  p.Print(QStringLiteral("fresh"));
  p.EndDoc(&context, done);
  EXPECT_EQ(jobs.back().text, QStringLiteral("fresh\n"));
}

}  // namespace
}  // namespace ostrel
