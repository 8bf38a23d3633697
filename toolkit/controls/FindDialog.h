#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <optional>

#include "toolkit/text/SearchSession.h"
#include "toolkit/text/TextSearch.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace ostrel {

class Announcer;
class JobService;
class TextBox;

// The small window beside a text box that finds, replaces and goes to a
// line: modeless, placed beside its owner, closed with Esc. It shows what
// its SearchSession finds: every search is a job over a snapshot of the
// text, so the owner stays answerable and nothing here waits for one; a
// search that takes longer than a moment shows its progress and a Cancel
// button. While the window is open the matches in the box's view are
// highlighted and the window counts them ("3 of 1,204"), the count growing
// as the search goes on. What the search says is also told to screen
// readers.
//
// What was searched for, and how, is remembered while the program runs.
class FindDialog : public QDialog {
  Q_OBJECT

 public:
  enum class Mode { Find, Replace, GoToLine };

  // Searches run as jobs of jobs, the program's own when none is given.
  FindDialog(TextBox* box, QWidget* owner, JobService* jobs = nullptr);
  ~FindDialog() override;

  // Shows the window in mode, the text to find chosen (the box's selection
  // when it is short and on one line).
  void open(Mode mode);
  Mode mode() const { return mode_; }

  // As the buttons do; the search itself finishes later (see busy()).
  void findNext();
  void findPrevious();
  void replace();
  void replaceAll();
  void goToLine();
  void cancel();

  // True while a search started by one of the above still runs.
  bool busy() const;
  // The line under the buttons: the count, or what went wrong.
  QString status() const;

  QLineEdit* findEdit() const { return findEdit_; }
  QLineEdit* replaceEdit() const { return replaceEdit_; }
  QLineEdit* lineEdit() const { return lineEdit_; }
  QCheckBox* matchCase() const { return matchCase_; }
  QCheckBox* wholeWords() const { return wholeWords_; }
  QCheckBox* regularExpression() const { return regularExpression_; }
  QCheckBox* wrapAround() const { return wrapAround_; }
  QProgressBar* progress() const { return progress_; }
  QPushButton* cancelButton() const { return cancelButton_; }

  // "line" or "line:column", counted from 1; nothing for anything else.
  struct LinePosition {
    qint64 line;
    qint64 column;
  };
  static std::optional<LinePosition> parseLinePosition(const QString& text);

 signals:
  // A search started by a button finished (found or not).
  void searchFinished();

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  using Direction = SearchSession::Direction;

  TextSearch currentSearch() const;
  // A search is given the needle's problems first; false when one was shown.
  bool checkNeedle(const TextSearch& search);
  void find(Direction direction);
  void searchStarted();
  void answered(SearchSession::Answer& answer);
  void searchEnded();
  void select(const TextSearch::Match& match);
  void notFound(const TextSearch& search);
  void restartCount();
  void showCount();
  void remember();
  void updateHighlighter();
  void setMode(Mode mode);
  // What the last search said, told to screen readers too.
  void setStatus(const QString& text);
  // The line under the buttons; the window grows to hold it whole.
  void showStatus(const QString& text);

  QPointer<TextBox> box_;
  Mode mode_ = Mode::Find;
  bool placed_ = false;

  QLineEdit* findEdit_;
  QLineEdit* replaceEdit_;
  QLineEdit* lineEdit_;
  QLabel* findLabel_;
  QLabel* replaceLabel_;
  QLabel* lineLabel_;
  QCheckBox* matchCase_;
  QCheckBox* wholeWords_;
  QCheckBox* regularExpression_;
  QCheckBox* wrapAround_;
  QPushButton* findNextButton_;
  QPushButton* findPreviousButton_;
  QPushButton* replaceButton_;
  QPushButton* replaceAllButton_;
  QPushButton* goButton_;
  QPushButton* closeButton_;
  QLabel* status_;
  Announcer* announcer_;
  QProgressBar* progress_;
  QPushButton* cancelButton_;

  SearchSession session_;
  // Looks at the running searches' progress now and then.
  QTimer poll_;
  QElapsedTimer started_;
  QTimer countDelay_;
  QString message_;
};

}  // namespace ostrel
