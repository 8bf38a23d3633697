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
}  // namespace

ProgressStrip::ProgressStrip(QWidget* parent, const QString& name, ScaleMode mode)
    : QWidget(parent),
      ControlGeometry(this, mode),
      bar_(new QProgressBar(this)),
      cancelButton_(new QPushButton(tr("Cancel"), this)) {
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
  hide();
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

ProgressStrip::~ProgressStrip() {
  // The window that showed the work is going: so is work the window did not
  // wait for (a print). Work that held the window (a save) goes on to its end.
  if (followed_.running() && followedHold_ == Hold::Nothing && onCancel_) onCancel_();
}

void ProgressStrip::showFor(const QString& what, Cancel cancel, QList<QWidget*>* held) {
  QWidget* window = this->window();
  // The window's own controls wait: a second Save or Print must not start inside this one.
  for (QObject* child : held ? parentWidget()->children() : QObjectList()) {
    auto* w = qobject_cast<QWidget*>(child);
    if (w && w != this && w->isEnabled() && !w->isWindow()) {
      w->setEnabled(false);
      held->append(w);
    }
  }
  cancelButton_->setVisible(cancel == Cancel::Allowed);
  cancelButton_->setEnabled(true);
  bar_->setFormat(what + QStringLiteral(" %p%"));
  raise();
  show();
  if (!window->isVisible()) window->show();
}

void ProgressStrip::Run::show() {
  shown_ = true;
  focus_ = QApplication::focusWidget();
  strip_.showFor(what_, cancel_, &disabled_);
}

void ProgressStrip::cancel() {
  cancelled_ = true;
  if (onCancel_) {
    cancelButton_->setEnabled(false);
    onCancel_();
    // A job cancelled outright is over for the window at once.
    if (followed_ && !followed_.running()) unfollow();
  }
}

void ProgressStrip::follow(JobHandle job, const QString& what, std::function<void()> onCancel,
                           Hold hold) {
  unfollow();
  if (!job.running()) {
    emit ended();
    return;
  }
  followed_ = std::move(job);
  onCancel_ = std::move(onCancel);
  followedHold_ = hold;
  followedWhat_ = what;
  followedFor_.start();
  if (!followTimer_) {
    followTimer_ = new QTimer(this);
    followTimer_->setInterval(static_cast<int>(kEventsEveryMs));
    connect(followTimer_, &QTimer::timeout, this, [this] { followed(); });
  }
  followTimer_->start();
}

void ProgressStrip::followed() {
  if (!followed_.running()) {
    unfollow();
    return;
  }
  if (!followShown_ && followedFor_.elapsed() >= kDelayMs) {
    followShown_ = true;
    followFocus_ = QApplication::focusWidget();
    showFor(followedWhat_, onCancel_ ? Cancel::Allowed : Cancel::NotAllowed,
            followedHold_ == Hold::WindowControls ? &followHeld_ : nullptr);
  }
  if (followShown_) bar_->setValue(followed_.permille());
}

void ProgressStrip::unfollow() {
  if (followTimer_) followTimer_->stop();
  for (QWidget* w : std::exchange(followHeld_, {})) {
    if (w) w->setEnabled(true);
  }
  if (followFocus_) followFocus_->setFocus();
  if (followShown_) hide();
  followShown_ = false;
  const bool wasFollowing = static_cast<bool>(followed_);
  followed_ = JobHandle();
  onCancel_ = nullptr;
  if (wasFollowing) emit ended();
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
