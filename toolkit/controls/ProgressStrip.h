#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>

#include "toolkit/controls/ControlGeometry.h"
#include "toolkit/jobs/JobHandle.h"

class QProgressBar;
class QPushButton;
class QTimer;

namespace ostrel {

// The progress of long work, shown in its window: a bar and, for work the
// user may stop, a Cancel button. Work that ends quickly shows nothing.
class ProgressStrip : public QWidget, public ControlGeometry {
  Q_OBJECT

 public:
  // Work shorter than this shows no progress.
  static constexpr qint64 kDelayMs = 300;

  enum class Cancel { Allowed, NotAllowed };
  // Whether the user may use the program while the work runs; the window's
  // own controls are disabled either way.
  enum class Input { Answered, Held };

  ProgressStrip(QWidget* parent, const QString& name, ScaleMode mode = ScaleMode::Twips);

  // One piece of work, for as long as it lives; call it now and then with
  // how far the work is. It returns false once the user cancelled (or closed
  // the window during work that may be cancelled).
  class Run {
   public:
    Run(ProgressStrip& strip, QString what, Cancel cancel, Input input);
    ~Run();
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    bool operator()(qint64 done, qint64 total);
    bool cancelled() const;

   private:
    void show();

    ProgressStrip& strip_;
    QString what_;
    Cancel cancel_;
    Input input_;
    QElapsedTimer started_;
    QElapsedTimer lastEvents_;
    QList<QWidget*> disabled_;
    QPointer<QWidget> focus_;
    bool shown_ = false;
  };

  // Shows a job's progress while it runs, from kDelayMs on, with a Cancel
  // button that cancels it when cancel is Allowed. Nothing waits for the
  // job: a timer looks at it now and then, and the window stays usable.
  // ended() follows once the job runs no more (answered, dropped or
  // cancelled).
  void follow(const JobHandle& job, const QString& what, Cancel cancel);
  bool isFollowing() const { return static_cast<bool>(followed_); }

  // What the Cancel button does.
  void cancel();
  bool isRunning() const { return running_; }

 signals:
  void ended();

 protected:
  // Holds back the window's deletion while work runs inside it: the events
  // let through during the work may unload the window (Exit in the main
  // window), and the work must not lose its window under it.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void showFor(const QString& what, Cancel cancel);
  void lookAtJob();

  QProgressBar* bar_;
  QPushButton* cancelButton_;
  QTimer* jobTimer_;
  JobHandle followed_;
  QString followedWhat_;
  Cancel followedCancel_ = Cancel::NotAllowed;
  QElapsedTimer followedFor_;
  bool cancelled_ = false;
  bool running_ = false;
  bool deletionHeld_ = false;
};

}  // namespace ostrel
