#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

namespace ostrel {

// A CUPS print queue, asked through libcups. Each thread keeps its own
// connection to the scheduler, so a print job may use one on its worker.
class CupsQueue {
  Q_DECLARE_TR_FUNCTIONS(CupsQueue)

 public:
  // name as Qt's printer list gives it: "queue" or "queue/instance".
  explicit CupsQueue(const QString& name);

  // Whether the scheduler answers and knows at least one queue.
  static bool anyReachable();

  // What the queue says of itself.
  struct State {
    bool known = false;     // the scheduler answered for this queue
    bool stopped = false;   // cupsdisable, or stopped by a failed job
    bool accepting = true;  // cupsreject turns this off
    QString message;        // printer-state-message, the queue's own words
    QString reasons;        // printer-state-reasons other than "none"
  };
  State state() const;

  // Sends file to the queue; returns the job's number. Throws
  // ToolkitError(err::PrinterError) with the scheduler's words when the
  // queue refuses it.
  int submit(const QString& file, const QString& title, int copies) const;
  // The job's state (ipp_jstate_t), 0 when the scheduler does not say.
  int jobState(int job) const;
  void cancel(int job) const;

  // The queue's name as the user knows it.
  QString shownName() const { return QString::fromLocal8Bit(queue_); }
  // The queue's own words, for a message's details: its state message,
  // else its reasons; empty when it says nothing.
  static QString wordsOf(const State& state);

 private:
  QByteArray queue_;
  QByteArray instance_;
};

}  // namespace ostrel
