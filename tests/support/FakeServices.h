#pragma once

#include <QList>
#include <QString>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "tests/support/FakeJobRunner.h"
#include "toolkit/Services.h"
#include "toolkit/controls/VolumeService.h"
#include "toolkit/dialogs/DialogService.h"
#include "toolkit/dialogs/MessageBoxService.h"
#include "toolkit/forms/ProcessService.h"
#include "toolkit/help/HelpService.h"
#include "toolkit/jobs/JobService.h"
#include "toolkit/picture/PictureLoader.h"
#include "toolkit/printing/PrinterService.h"

namespace ostrel::test {

// Records every message box and answers from a script (OK when it runs dry).
class FakeMessageBox : public MessageBoxService {
 public:
  struct Call {
    QString prompt;
    int style;
    QString title;
    QString details;
  };
  int show(QWidget* parent, const QString& prompt, int style, const QString& title) override;
  int showWithDetails(QWidget* parent, const QString& prompt, const QString& details, int style,
                      const QString& title) override;

  std::vector<Call> calls;
  std::deque<int> answers;
};

class FakeDialogs : public DialogService {
 public:
  std::optional<QString> saveFileName(QWidget* parent, const QString& title,
                                      const QString& initialName) override;
  bool printSetup(QWidget* parent, QPrinter& printer) override;

  std::deque<std::optional<QString>> saveAnswers;  // nothing left: cancelled
  std::deque<bool> printAnswers;                   // nothing left: cancelled
  int saveCalls = 0;
  QString lastInitialName;  // what the last save dialog started with
  QString lastTitle;        // and its title
};

class FakeProcess : public ProcessService {
 public:
  void end(int exitCode) override {
    ++ends;
    lastExitCode = exitCode;
  }
  int ends = 0;
  int lastExitCode = -1;
};

class FakeVolumes : public VolumeService {
 public:
  QList<Volume> volumes() override { return list; }
  QList<Volume> list{{QStringLiteral("/"), QStringLiteral("root"), true}};
};

class FakeHelp : public HelpService {
 public:
  struct Call {
    QString helpFile;
    unsigned command;
    QString key;
  };
  bool WinHelp(QWidget* owner, const QString& helpFile, unsigned command,
               const QString& key) override;

  std::vector<Call> calls;
  QString failWith;  // when set, the call raises this description
};

// Records every document as its job runs; fails on demand; lays documents
// out into a PDF when its printer is given an output file.
class FakePrinter : public PrinterService {
 public:
  struct Job {
    QString text;
    QFont font;
  };
  QPrinter& setup() override;  // a PDF printer with no output file
  Work printJob(PrintDocument document, const QFont& font) override;

  std::vector<Job> jobs;
  QString failWith;      // when set, printing raises an error with this description
  int failNumber = 482;  // the error number failWith raises (a printer error)
  QString notice;        // what a print that worked tells the user

 private:
  std::shared_ptr<QPrinter> printer_;
};

// The doubles every test runs with; TestMain installs them and clears them
// before each test.
struct FakeServices {
  FakeMessageBox messageBox;
  FakeDialogs dialogs;
  FakeProcess process;
  FakeVolumes volumes;
  FakeHelp help;
  FakePrinter printer;
  FakeJobRunner* jobRunner = nullptr;  // owned by jobs
  std::unique_ptr<JobService> jobs;    // reports through messageBox
  std::unique_ptr<PictureLoader> pictures;

  void install();
  void clear();
};

FakeServices& fakes();

}  // namespace ostrel::test
