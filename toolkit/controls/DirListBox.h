#pragma once

#include <QListWidget>
#include <QMap>

#include "toolkit/controls/ControlGeometry.h"

namespace ostrel {

// The directory list: the path from the root down to the current directory,
// then its subdirectories. Opening one (double-click or Enter) makes it the
// current directory and raises Change.
//
// A double-click opens the folder that was under the pointer when it began,
// once. The list takes the double-click itself rather than through the item
// view's activation: the view's own rules (activation on a single click
// under some desktop settings, a press replayed when the second click lands
// on another row of a list refilled meanwhile) could otherwise open a
// second folder, the one that happens to lie under the pointer in the new
// listing.
class DirListBox : public QListWidget, public ControlGeometry {
  Q_OBJECT

 public:
  DirListBox(QWidget* parent, const QString& name, ScaleMode mode = ScaleMode::Twips);

  QString Path() const { return path_; }
  // Accepts a directory or a drive designation (which moves to the directory
  // last visited on that volume, else its root). A directory that cannot be
  // read raises ToolkitError and leaves the list where it was.
  void setPath(const QString& pathOrDrive);
  // Goes to path, or where it cannot be read to the nearest folder above it
  // that can (a folder removed, a drive taken out); there the folders
  // below are read again. Raises Change when the path moves.
  void moveUpTo(const QString& path);

 signals:
  void Change();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  // The style's focus mark hardly shows on a selected row: the list frames
  // the current row itself, in the colour of the row's text.
  void paintEvent(QPaintEvent* event) override;

 private:
  void open(const QString& target);
  QString resolve(const QString& pathOrDrive) const;
  void relist();

  QString path_;
  QStringList subfolders_;              // as listed, sorted
  QMap<QString, QString> lastVisited_;  // volume root -> directory
  // Counts the refills, so a click begun on an earlier listing is known.
  quint64 listing_ = 0;
  // Where a press landed: the folder under it (empty for no row), the
  // listing it belonged to and when. The last two are kept, since the
  // second press of a double-click arrives before the double-click itself.
  struct Press {
    QString target;
    quint64 listing = 0;
    quint64 timestamp = 0;
  };
  Press lastPress_;
  Press previousPress_;
};

}  // namespace ostrel
