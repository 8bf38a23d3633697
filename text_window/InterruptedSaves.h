#pragma once

#include <QCoreApplication>
#include <QString>

class QWidget;

namespace ostrel {

// What saves left behind when the program ended in mid-save, offered to the
// user: the old content kept while a file was rewritten in place (put back,
// deleted, or kept to be asked about again), or the new content that never
// took the file's place (deleted, or kept to be asked about again).
class InterruptedSaves {
  Q_DECLARE_TR_FUNCTIONS(InterruptedSaves)

 public:
  // Every one, as the program starts.
  static void offer(QWidget* parent);
  // Those of fileName (by any of its names), before it is opened.
  static void offerFor(const QString& fileName, QWidget* parent);
};

}  // namespace ostrel
