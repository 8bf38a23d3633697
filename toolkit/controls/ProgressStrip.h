#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>
#include <functional>

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

  // What waits while a followed job runs: the window's other controls (a
  // save: no second Save may start inside it), or nothing (a print: the
  // window stays usable, its caller keeps its own command from starting
  // twice).
  enum class Hold { WindowControls, Nothing };

  // Follows a job running elsewhere without holding the interface: from
  // kDelayMs on, the strip shows how far it is; with onCancel, a Cancel
  // button calls it. Ends by itself once the job is over, or with
  // unfollow(); ended() follows either way. Destroying the strip (its
  // window closed) cancels a job that held nothing.
  void follow(JobHandle job, const QString& what, std::function<void()> onCancel = {},
              Hold hold = Hold::WindowControls);
  void unfollow();
  bool isFollowing() const { return followed_.running(); }
  ~ProgressStrip() override;

  // What the Cancel button does.
  void cancel();
  bool isRunning() const { return running_ || followed_.running(); }

 signals:
  void ended();

 protected:
  // Holds back the window's deletion while work runs inside it: the events
  // let through during the work may unload the window (Exit in the main
  // window), and the work must not lose its window under it.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Shows the strip with its Cancel when allowed; with held, the window's
  // other controls are disabled (and listed there) until the work is over.
  void showFor(const QString& what, Cancel cancel, QList<QWidget*>* held);
  void followed();

  QProgressBar* bar_;
  QPushButton* cancelButton_;
  // The job followed, when there is one.
  JobHandle followed_;
  std::function<void()> onCancel_;
  Hold followedHold_ = Hold::WindowControls;
  QString followedWhat_;
  QTimer* followTimer_ = nullptr;
  QElapsedTimer followedFor_;
  QList<QWidget*> followHeld_;
  QPointer<QWidget> followFocus_;
  bool followShown_ = false;
  bool cancelled_ = false;
  bool running_ = false;
  bool deletionHeld_ = false;
};

}  // namespace ostrel
