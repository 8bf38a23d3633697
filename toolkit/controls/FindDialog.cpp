#include "toolkit/controls/FindDialog.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

#include "toolkit/Services.h"
#include "toolkit/controls/Announcer.h"
#include "toolkit/controls/TextBox.h"
#include "toolkit/forms/WindowPlacement.h"
#include "toolkit/jobs/JobService.h"

namespace ostrel {

namespace {

// A search that has run this long shows its progress and a Cancel button.
constexpr int kProgressAfterMs = 300;
constexpr int kPollMs = 100;
// The count waits for typing to pause.
constexpr int kCountAfterMs = 150;
// A selection longer than this is not offered as the text to find.
constexpr qint64 kLongestOffered = 256;

// What was last searched for, for as long as the program runs.
struct Remembered {
  QString find;
  QString replace;
  TextSearch::Options options;
  bool wrap = true;
};

Remembered& remembered() {
  static Remembered last;
  return last;
}

}  // namespace

FindDialog::FindDialog(TextBox* box, QWidget* owner, JobService* jobs)
    : QDialog(owner),
      box_(box),
      session_(
          jobs ? *jobs : *services().jobs,
          [this](SearchSession::Answer& answer) { answered(answer); }, [this] { showCount(); }) {
  setObjectName(QStringLiteral("FindDialog"));
  setModal(false);
  setSizeGripEnabled(false);

  findLabel_ = new QLabel(tr("Fi&nd what:"), this);
  findEdit_ = new QLineEdit(this);
  findLabel_->setBuddy(findEdit_);
  replaceLabel_ = new QLabel(tr("Re&place with:"), this);
  replaceEdit_ = new QLineEdit(this);
  replaceLabel_->setBuddy(replaceEdit_);
  lineLabel_ = new QLabel(tr("&Line (or line:column):"), this);
  lineEdit_ = new QLineEdit(this);
  lineLabel_->setBuddy(lineEdit_);
  matchCase_ = new QCheckBox(tr("Match &case"), this);
  wholeWords_ = new QCheckBox(tr("&Whole words"), this);
  regularExpression_ = new QCheckBox(tr("Regular e&xpression"), this);
  wrapAround_ = new QCheckBox(tr("Wrap ar&ound"), this);
  findNextButton_ = new QPushButton(tr("&Find Next"), this);
  findPreviousButton_ = new QPushButton(tr("Find Pre&vious"), this);
  replaceButton_ = new QPushButton(tr("&Replace"), this);
  replaceAllButton_ = new QPushButton(tr("Replace &All"), this);
  goButton_ = new QPushButton(tr("&Go To"), this);
  closeButton_ = new QPushButton(tr("Close"), this);
  status_ = new QLabel(this);
  status_->setWordWrap(true);
  status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  announcer_ = new Announcer(this);
  progress_ = new QProgressBar(this);
  progress_->setRange(0, 1000);
  progress_->setTextVisible(false);
  cancelButton_ = new QPushButton(tr("Cancel"), this);
  progress_->hide();
  cancelButton_->hide();

  auto* fields = new QGridLayout;
  fields->addWidget(findLabel_, 0, 0);
  fields->addWidget(findEdit_, 0, 1);
  fields->addWidget(replaceLabel_, 1, 0);
  fields->addWidget(replaceEdit_, 1, 1);
  fields->addWidget(lineLabel_, 2, 0);
  fields->addWidget(lineEdit_, 2, 1);
  auto* checks = new QGridLayout;
  checks->addWidget(matchCase_, 0, 0);
  checks->addWidget(wholeWords_, 0, 1);
  checks->addWidget(regularExpression_, 1, 0);
  checks->addWidget(wrapAround_, 1, 1);
  auto* left = new QVBoxLayout;
  left->addLayout(fields);
  left->addLayout(checks);
  left->addWidget(status_);
  auto* working = new QHBoxLayout;
  working->addWidget(progress_, 1);
  working->addWidget(cancelButton_);
  left->addLayout(working);
  left->addStretch(1);
  auto* buttons = new QVBoxLayout;
  for (QPushButton* b : {findNextButton_, findPreviousButton_, replaceButton_, replaceAllButton_,
                         goButton_, closeButton_}) {
    b->setAutoDefault(false);
    buttons->addWidget(b);
  }
  buttons->addStretch(1);
  auto* all = new QHBoxLayout(this);
  all->addLayout(left, 1);
  all->addLayout(buttons);

  const Remembered& last = remembered();
  findEdit_->setText(last.find);
  replaceEdit_->setText(last.replace);
  matchCase_->setChecked(last.options.matchCase);
  wholeWords_->setChecked(last.options.wholeWords);
  regularExpression_->setChecked(last.options.regularExpression);
  wrapAround_->setChecked(last.wrap);

  connect(findNextButton_, &QPushButton::clicked, this, &FindDialog::findNext);
  connect(findPreviousButton_, &QPushButton::clicked, this, &FindDialog::findPrevious);
  connect(replaceButton_, &QPushButton::clicked, this, &FindDialog::replace);
  connect(replaceAllButton_, &QPushButton::clicked, this, &FindDialog::replaceAll);
  connect(goButton_, &QPushButton::clicked, this, &FindDialog::goToLine);
  connect(closeButton_, &QPushButton::clicked, this, &FindDialog::reject);
  connect(cancelButton_, &QPushButton::clicked, this, &FindDialog::cancel);
  const auto changed = [this] {
    remember();
    updateHighlighter();
    countDelay_.start();
  };
  connect(findEdit_, &QLineEdit::textChanged, this, changed);
  connect(replaceEdit_, &QLineEdit::textChanged, this, [this] { remember(); });
  for (QCheckBox* c : {matchCase_, wholeWords_, regularExpression_, wrapAround_}) {
    connect(c, &QCheckBox::toggled, this, changed);
  }
  if (box_) {
    connect(box_, &TextBox::textChanged, this, [this] {
      // Out of date: let go of its copy of the text at once.
      session_.stopCounting();
      countDelay_.start();
    });
    connect(box_, &TextBox::cursorPositionChanged, this, [this] { countDelay_.start(); });
  }

  // F3 and Shift+F3 go on from here as they do from the text.
  auto* next = new QAction(this);
  next->setShortcut(QKeySequence(Qt::Key_F3));
  connect(next, &QAction::triggered, this, &FindDialog::findNext);
  auto* previous = new QAction(this);
  previous->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3));
  connect(previous, &QAction::triggered, this, &FindDialog::findPrevious);
  addActions({next, previous});

  poll_.setInterval(kPollMs);
  connect(&poll_, &QTimer::timeout, this, [this] {
    if (session_.searching() && started_.elapsed() >= kProgressAfterMs) {
      progress_->setValue(session_.permille());
      progress_->show();
      cancelButton_->show();
    }
    if (session_.counting()) showCount();
    if (!session_.searching() && !session_.counting()) poll_.stop();
  });
  countDelay_.setSingleShot(true);
  countDelay_.setInterval(kCountAfterMs);
  connect(&countDelay_, &QTimer::timeout, this, &FindDialog::restartCount);

  setMode(Mode::Find);
}

FindDialog::~FindDialog() {
  // The session's jobs are cancelled with it, and nothing waits for them.
  if (box_) box_->setHighlighter({});
}

std::optional<FindDialog::LinePosition> FindDialog::parseLinePosition(const QString& text) {
  static const QRegularExpression form(QStringLiteral("^\\s*(\\d+)\\s*(?:[:,]\\s*(\\d+)\\s*)?$"));
  const QRegularExpressionMatch m = form.match(text);
  if (!m.hasMatch()) return std::nullopt;
  bool ok = false;
  const qint64 line = m.captured(1).toLongLong(&ok);
  if (!ok || line < 1) return std::nullopt;
  qint64 column = 1;
  if (m.hasCaptured(2)) {
    column = m.captured(2).toLongLong(&ok);
    if (!ok || column < 1) return std::nullopt;
  }
  return LinePosition{line, column};
}

void FindDialog::setMode(Mode mode) {
  mode_ = mode;
  const bool goTo = mode == Mode::GoToLine;
  const bool replacing = mode == Mode::Replace;
  for (QWidget* w : std::initializer_list<QWidget*>{findLabel_, findEdit_, matchCase_, wholeWords_,
                                                    regularExpression_, wrapAround_,
                                                    findNextButton_, findPreviousButton_}) {
    w->setVisible(!goTo);
  }
  for (QWidget* w : std::initializer_list<QWidget*>{replaceLabel_, replaceEdit_, replaceButton_,
                                                    replaceAllButton_}) {
    w->setVisible(replacing);
  }
  for (QWidget* w : std::initializer_list<QWidget*>{lineLabel_, lineEdit_, goButton_}) {
    w->setVisible(goTo);
  }
  findNextButton_->setDefault(!goTo);
  goButton_->setDefault(goTo);
  setWindowTitle(goTo ? tr("Go to Line") : replacing ? tr("Replace") : tr("Find"));
  setStatus({});
  adjustSize();
}

void FindDialog::open(Mode mode) {
  setMode(mode);
  if (mode == Mode::GoToLine) {
    if (box_) {
      const qint64 line = box_->document().lineAt(box_->cursorPosition());
      lineEdit_->setText(QString::number(line + 1));
    }
    lineEdit_->selectAll();
    lineEdit_->setFocus();
  } else {
    if (box_ && box_->hasSelection()) {
      const qint64 from = qMin(box_->cursorPosition(), box_->anchorPosition());
      const qint64 to = qMax(box_->cursorPosition(), box_->anchorPosition());
      const TextDocument& document = box_->document();
      if (to - from <= kLongestOffered && document.lineAt(from) == document.lineAt(to)) {
        findEdit_->setText(document.text(from, to - from));
      }
    }
    findEdit_->selectAll();
    findEdit_->setFocus();
  }
  if (!placed_) {
    placed_ = true;
    WindowPlacement::placeOnScreen(*this, StartUpPosition::BesideOwner, parentWidget());
  }
  show();
  raise();
  activateWindow();
}

void FindDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  updateHighlighter();
  countDelay_.start();
}

void FindDialog::hideEvent(QHideEvent* event) {
  session_.stop();
  poll_.stop();
  progress_->hide();
  cancelButton_->hide();
  QDialog::hideEvent(event);
  if (box_) box_->setHighlighter({});
  if (box_ && box_->window()->isVisible()) {
    // Back to the text, where the search left its selection.
    box_->activateWindow();
    box_->setFocus(Qt::OtherFocusReason);
  }
}

TextSearch FindDialog::currentSearch() const {
  return TextSearch(findEdit_->text(), {matchCase_->isChecked(), wholeWords_->isChecked(),
                                        regularExpression_->isChecked()});
}

void FindDialog::remember() {
  Remembered& last = remembered();
  last.find = findEdit_->text();
  last.replace = replaceEdit_->text();
  last.options = {matchCase_->isChecked(), wholeWords_->isChecked(),
                  regularExpression_->isChecked()};
  last.wrap = wrapAround_->isChecked();
}

void FindDialog::setStatus(const QString& text) {
  message_ = text;
  showStatus(text);
  announcer_->announce(text);
}

void FindDialog::showStatus(const QString& text) {
  status_->setText(text);
  // A note and the count beneath it may need a line more than there is.
  QLayout* all = layout();
  const int needed =
      all->hasHeightForWidth() ? all->totalHeightForWidth(width()) : all->totalSizeHint().height();
  if (needed > height()) resize(width(), needed);
}

QString FindDialog::status() const {
  return status_->text();
}

bool FindDialog::busy() const {
  return session_.searching();
}

bool FindDialog::checkNeedle(const TextSearch& search) {
  const QString problem = search.problem();
  if (problem.isEmpty()) return true;
  setStatus(problem);
  return false;
}

void FindDialog::updateHighlighter() {
  if (!box_) return;
  auto search = std::make_shared<TextSearch>(currentSearch());
  if (!isVisible() || mode_ == Mode::GoToLine || !search->problem().isEmpty()) {
    box_->setHighlighter({});
    return;
  }
  box_->setHighlighter([search](QStringView line) {
    QList<QPair<int, int>> ranges;
    for (const TextSearch::Match& m : search->matchesIn(line)) {
      ranges.append({static_cast<int>(m.position), static_cast<int>(m.length)});
    }
    return ranges;
  });
}

void FindDialog::findNext() {
  find(Direction::Forward);
}

void FindDialog::findPrevious() {
  find(Direction::Backward);
}

void FindDialog::find(Direction direction) {
  if (!box_) return;
  if (mode_ == Mode::GoToLine) setMode(Mode::Find);
  if (!isVisible() && findEdit_->text().isEmpty()) {
    open(Mode::Find);
    return;
  }
  const TextSearch search = currentSearch();
  if (!checkNeedle(search)) return;
  remember();
  const qint64 caret = box_->cursorPosition();
  const qint64 anchor = box_->anchorPosition();
  const qint64 origin = direction == Direction::Forward ? qMax(caret, anchor) : qMin(caret, anchor);
  session_.find(search, box_->document(), origin, direction, wrapAround_->isChecked());
  searchStarted();
}

void FindDialog::replace() {
  if (!box_) return;
  const TextSearch search = currentSearch();
  if (!checkNeedle(search)) return;
  remember();
  // The selection is replaced when it is a match; either way the next one is found.
  const qint64 from = qMin(box_->cursorPosition(), box_->anchorPosition());
  const qint64 to = qMax(box_->cursorPosition(), box_->anchorPosition());
  if (to > from) {
    const TextSearch::Result at = search.findNext(box_->document().snapshot(), from, from + 1);
    if (at.match && at.match->position == from && at.match->length == to - from) {
      box_->insertText(replaceEdit_->text());
    }
  }
  find(Direction::Forward);
}

void FindDialog::replaceAll() {
  if (!box_) return;
  const TextSearch search = currentSearch();
  if (!checkNeedle(search)) return;
  remember();
  session_.replaceAll(search, box_->document(), replaceEdit_->text());
  searchStarted();
}

void FindDialog::goToLine() {
  if (!box_) return;
  const std::optional<LinePosition> wanted = parseLinePosition(lineEdit_->text());
  if (!wanted) {
    setStatus(tr("Type a line number, or a line and a column as in 120:5."));
    return;
  }
  const TextDocument& document = box_->document();
  const qint64 line = qMin(wanted->line, document.lineCount()) - 1;
  const qint64 column = qMin(wanted->column - 1, document.lineLength(line));
  box_->setCursorPosition(document.lineStart(line) + column);
  box_->ensureCursorVisible();
  hide();
}

void FindDialog::cancel() {
  if (!session_.searching()) return;
  session_.cancel();
  setStatus(tr("The search was cancelled."));
  searchEnded();
}

void FindDialog::searchStarted() {
  started_.start();
  // A test's jobs may have answered already.
  if (!session_.searching()) return;
  setStatus(tr("Searching…"));
  poll_.start();
}

void FindDialog::searchEnded() {
  progress_->hide();
  cancelButton_->hide();
  emit searchFinished();
}

void FindDialog::answered(SearchSession::Answer& answer) {
  using Kind = SearchSession::Kind;
  const bool current = box_ && box_->document().revision() == answer.revision;
  if (answer.error) {
    setStatus(answer.error->Description());
    services().jobs->report(*answer.error);
  } else if (!current ||
             (answer.prepared && !box_->document().replaceAll(std::move(*answer.prepared)))) {
    setStatus(tr("The text changed during the search; search again."));
  } else if (answer.kind == Kind::ReplaceAll) {
    if (answer.replacements == 0) {
      notFound(answer.search);
    } else {
      setStatus(tr("Replacements made: %1.").arg(QLocale().toString(answer.replacements)));
    }
  } else if (answer.match) {
    setStatus(answer.wrapped ? (answer.direction == Direction::Forward
                                    ? tr("Passed the end of the text; went on from the start.")
                                    : tr("Passed the start of the text; went on from the end."))
                             : QString());
    select(*answer.match);
  } else {
    notFound(answer.search);
  }
  searchEnded();
}

void FindDialog::select(const TextSearch::Match& match) {
  // The caret goes to the match's start first, so that the whole match
  // comes into view, then to its end.
  box_->setCursorPosition(match.position + match.length);
  box_->ensureCursorVisible();
  box_->setCursorPosition(match.position);
  box_->ensureCursorVisible();
  box_->setCursorPosition(match.position + match.length, TextBox::Selection::Extend);
  countDelay_.start();
}

void FindDialog::notFound(const TextSearch& search) {
  // F3 searches with the window closed: the bell says what the window would.
  if (!isVisible()) QApplication::beep();
  const QString missing = box_ ? search.unencodable(box_->document().codec()) : QString();
  if (!missing.isEmpty()) {
    setStatus(tr("The file's character set, %1, has no “%2”, so the text read from it cannot "
                 "hold “%3”.")
                  .arg(box_->document().codec().name(), missing, search.needle()));
  } else {
    setStatus(tr("“%1” was not found.").arg(search.needle()));
  }
}

void FindDialog::restartCount() {
  if (!box_ || !isVisible() || mode_ == Mode::GoToLine) return;
  const TextSearch search = currentSearch();
  if (!search.problem().isEmpty()) {
    session_.forgetCount();
    if (!findEdit_->text().isEmpty()) showStatus(search.problem());
    return;
  }
  const qint64 from = qMin(box_->cursorPosition(), box_->anchorPosition());
  const qint64 to = qMax(box_->cursorPosition(), box_->anchorPosition());
  session_.count(search, box_->document(), {from, to - from});
  if (session_.counting()) poll_.start();
}

void FindDialog::showCount() {
  const std::optional<SearchSession::Count> count = session_.currentCount();
  if (!count || session_.searching()) return;
  const QLocale locale;
  const QString total = locale.toString(count->total);
  QString text;
  if (count->total == 0 && count->finished) {
    text = tr("No matches.");
  } else if (count->selectionIsMatch) {
    const QString which = locale.toString(count->before + 1);
    text = count->finished ? tr("%1 of %2").arg(which, total)
                           : tr("%1 of %2 so far").arg(which, total);
  } else {
    text = count->finished ? tr("%1 matches").arg(total) : tr("%1 matches so far").arg(total);
  }
  // What the last search said comes first.
  showStatus(message_.isEmpty() ? text : message_ + QLatin1Char('\n') + text);
}

}  // namespace ostrel
