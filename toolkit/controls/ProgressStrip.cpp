#include "toolkit/controls/ProgressStrip.h"

#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <utility>

namespace ostrel {

namespace {
constexpr int kBarSteps = 1000;
// Events are let through this often: the window answers, the work hardly slows.
constexpr qint64 kEventsEveryMs = 40;
// How often a followed job is looked at: the bar moves smoothly, and a job
// that ends leaves no strip behind for longer than this.
constexpr int kLookEveryMs = 50;
}  // namespace

ProgressStrip::ProgressStrip(QWidget* parent, const QString& name, ScaleMode mode)
    : QWidget(parent),
      ControlGeometry(this, mode),
      bar_(new QProgressBar(this)),
      cancelButton_(new QPushButton(tr("Cancel"), this)),
      jobTimer_(new QTimer(this)) {
  setObjectName(name);
  setAutoFillBackground(true);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(bar_, 1);
  layout->addWidget(cancelButton_);
  bar_->setRange(0, kBarSteps);
  bar_->setTextVisible(true);
  cancelButton_->setObjectName(QStringLiteral("Cancel"));
  connect(cancelButton_, &QPushButton::clicked, this, [this] { cancel(); });
  jobTimer_->setInterval(kLookEveryMs);
  connect(jobTimer_, &QTimer::timeout, this, [this] { lookAtJob(); });
  hide();
}

void ProgressStrip::cancel() {
  cancelled_ = true;
  if (followed_) {
    followed_.cancel();
    lookAtJob();
  }
}

void ProgressStrip::showFor(const QString& what, Cancel cancel) {
  cancelButton_->setVisible(cancel == Cancel::Allowed);
  cancelButton_->setEnabled(true);
  bar_->setFormat(what + QStringLiteral(" %p%"));
  raise();
  show();
}

void ProgressStrip::follow(const JobHandle& job, const QString& what, Cancel cancel) {
  followed_ = job;
  followedWhat_ = what;
  followedCancel_ = cancel;
  followedFor_.start();
  bar_->setValue(0);
  jobTimer_->start();
  lookAtJob();
}

void ProgressStrip::lookAtJob() {
  if (!followed_) return;
  if (!followed_.running()) {
    followed_ = JobHandle();
    jobTimer_->stop();
    if (!running_) hide();
    emit ended();
    return;
  }
  if (running_) return;  // synchronous work has the strip meanwhile
  if (isHidden() && followedFor_.elapsed() >= kDelayMs) showFor(followedWhat_, followedCancel_);
  if (!isHidden()) bar_->setValue(followed_.permille());
}

ProgressStrip::Run::Run(ProgressStrip& strip, QString what, Cancel cancel, Input input)
    : strip_(strip), what_(std::move(what)), cancel_(cancel), input_(input) {
  strip_.cancelled_ = false;
  strip_.running_ = true;
  strip_.deletionHeld_ = false;
  strip_.window()->installEventFilter(&strip_);
  started_.start();
  lastEvents_.start();
}

ProgressStrip::Run::~Run() {
  for (QWidget* w : disabled_) w->setEnabled(true);
  if (focus_) focus_->setFocus();
  strip_.hide();
  strip_.running_ = false;
  QWidget* window = strip_.window();
  window->removeEventFilter(&strip_);
  // deleteLater() would do nothing now (Qt counts the window as already
  // asked), so the deletion comes from the event loop once the work has
  // returned to it.
  if (strip_.deletionHeld_) {
    QTimer::singleShot(0, qApp, [held = QPointer<QWidget>(window)] { delete held.data(); });
  }
}

bool ProgressStrip::eventFilter(QObject* watched, QEvent* event) {
  if (running_ && watched == window() && event->type() == QEvent::DeferredDelete) {
    deletionHeld_ = true;
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

bool ProgressStrip::Run::cancelled() const {
  if (cancel_ == Cancel::NotAllowed) return false;
  // Closing the window stops what it was doing.
  return strip_.cancelled_ || (shown_ && !strip_.window()->isVisible());
}

void ProgressStrip::Run::show() {
  shown_ = true;
  QWidget* window = strip_.window();
  focus_ = QApplication::focusWidget();
  // The window's own controls wait: a second Save or Print must not start inside this one.
  for (QObject* child : strip_.parentWidget()->children()) {
    auto* w = qobject_cast<QWidget*>(child);
    if (w && w != &strip_ && w->isEnabled() && !w->isWindow()) {
      w->setEnabled(false);
      disabled_.append(w);
    }
  }
  strip_.showFor(what_, cancel_);
  if (!window->isVisible()) window->show();
}

bool ProgressStrip::Run::operator()(qint64 done, qint64 total) {
  if (!shown_ && started_.elapsed() >= kDelayMs) show();
  if (shown_ && lastEvents_.elapsed() >= kEventsEveryMs) {
    const double part = total > 0 ? static_cast<double>(done) / static_cast<double>(total) : 0;
    strip_.bar_->setValue(static_cast<int>(qBound(0.0, part, 1.0) * kBarSteps));
    QApplication::processEvents(input_ == Input::Answered ? QEventLoop::AllEvents
                                                          : QEventLoop::ExcludeUserInputEvents);
    lastEvents_.restart();
  }
  return !cancelled();
}

}  // namespace ostrel
