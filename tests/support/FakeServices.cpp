#include "tests/support/FakeServices.h"

#include <QPainter>
#include <QPrinter>

#include "toolkit/App.h"
#include "toolkit/ToolkitError.h"
#include "toolkit/jobs/JobControl.h"
#include "toolkit/printing/TextPrintLayout.h"

namespace ostrel::test {

int FakeMessageBox::show(QWidget* parent, const QString& prompt, int style, const QString& title) {
  return showWithDetails(parent, prompt, QString(), style, title);
}

int FakeMessageBox::showWithDetails(QWidget*, const QString& prompt, const QString& details,
                                    int style, const QString& title) {
  calls.push_back({prompt, style, title, details});
  if (answers.empty()) return mb::Ok;
  const int answer = answers.front();
  answers.pop_front();
  return answer;
}

std::optional<QString> FakeDialogs::saveFileName(QWidget*, const QString& title,
                                                 const QString& initialName) {
  ++saveCalls;
  lastInitialName = initialName;
  lastTitle = title;
  if (saveAnswers.empty()) return std::nullopt;
  auto answer = saveAnswers.front();
  saveAnswers.pop_front();
  return answer;
}

bool FakeDialogs::printSetup(QWidget*, QPrinter&) {
  if (printAnswers.empty()) return false;
  const bool answer = printAnswers.front();
  printAnswers.pop_front();
  return answer;
}

bool FakeHelp::WinHelp(QWidget*, const QString& helpFile, unsigned command, const QString& key) {
  calls.push_back({helpFile, command, key});
  if (!failWith.isEmpty()) throw ToolkitError(err::FileNotFound, failWith);
  return true;
}

QPrinter& FakePrinter::setup() {
  if (!printer_) {
    printer_ = std::make_shared<QPrinter>(QPrinter::HighResolution);
    printer_->setOutputFormat(QPrinter::PdfFormat);
  }
  return *printer_;
}

PrinterService::Work FakePrinter::printJob(PrintDocument document, const QFont& font) {
  return [this, document = std::move(document), font](JobControl& control) {
    jobs.push_back({document.text(0, document.length()), font});
    if (!failWith.isEmpty()) throw ToolkitError(failNumber, failWith);
    if (setup().outputFileName().isEmpty()) return notice;
    QPainter painter;
    if (!painter.begin(&setup())) throw ToolkitError(err::PrinterError, QStringLiteral("no PDF"));
    bool cancelled = false;
    TextPrintLayout(font).paint(
        painter, setup(), document,
        [&control](qint64 done, qint64 total) { return control.report(done, total); }, &cancelled);
    if (cancelled) {
      setup().abort();
      throw JobControl::Cancelled{};
    }
    return notice;
  };
}

void FakeServices::install() {
  Services set;
  set.messageBox = &messageBox;
  set.dialogs = &dialogs;
  set.process = &process;
  set.volumes = &volumes;
  set.help = &help;
  set.printer = &printer;
  set.pictures = pictures.get();
  set.jobs = jobs.get();
  installServices(set);
}

void FakeServices::clear() {
  messageBox = FakeMessageBox();
  dialogs = FakeDialogs();
  process = FakeProcess();
  volumes = FakeVolumes();
  help = FakeHelp();
  printer = FakePrinter();
  pictures.reset();
  auto jobsRunner = std::make_unique<FakeJobRunner>();
  jobRunner = jobsRunner.get();
  jobs = std::make_unique<JobService>(std::move(jobsRunner), [](const ToolkitError& error) {
    MsgBox(error.Description(), mb::Exclamation, App().Title);
  });
  services().jobs = jobs.get();
  pictures = std::make_unique<PictureLoader>(*jobs);
  services().pictures = pictures.get();
}

FakeServices& fakes() {
  static FakeServices instance;
  static const bool ready = (instance.clear(), true);
  Q_UNUSED(ready);
  return instance;
}

}  // namespace ostrel::test
