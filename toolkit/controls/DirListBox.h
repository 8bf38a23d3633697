#pragma once

#include <QListWidget>
#include <QMap>

#include "toolkit/controls/ControlGeometry.h"

namespace ostrel {

// The directory list: the path from the root down to the current directory,
// then its subdirectories. Opening one (double-click or Enter) makes it the
// current directory and raises Change.
class DirListBox : public QListWidget, public ControlGeometry {
  Q_OBJECT

 public:
  DirListBox(QWidget* parent, const QString& name, ScaleMode mode = ScaleMode::Twips);

  QString Path() const { return path_; }
  // Accepts a directory or a drive designation (which moves to the directory
  // last visited on that volume, else its root). A directory that cannot be
  // read raises ToolkitError and leaves the list where it was.
  void setPath(const QString& pathOrDrive);

 signals:
  void Change();

 private:
  QString resolve(const QString& pathOrDrive) const;
  void relist();

  QString path_;
  QMap<QString, QString> lastVisited_;  // volume root -> directory
};

}  // namespace ostrel
