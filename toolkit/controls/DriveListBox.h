#pragma once

#include <QComboBox>
#include <QPointer>

#include "toolkit/controls/ControlGeometry.h"
#include "toolkit/controls/VolumeService.h"

class QLabel;

namespace ostrel {

// The mounted volumes, each shown as a drive designation: its mount point and
// its name in brackets, "/home [home]". Drive is the selected designation.
class DriveListBox : public QComboBox, public ControlGeometry {
  Q_OBJECT

 public:
  DriveListBox(QWidget* parent, const QString& name, ScaleMode mode = ScaleMode::Twips);

  QString Drive() const { return currentText(); }
  // Selects the volume a designation or a path lies on. Raises Change when
  // the selection moves.
  void setDrive(const QString& driveOrPath);
  // Reads the volumes again and puts the selection on the volume of path,
  // without raising Change.
  void showVolumeOf(const QString& path);
  // Volumes come and go (a stick plugged in): the list is read afresh each
  // time it opens, the selection staying on its volume.
  void showPopup() override;

  // The name a screen reader gives the list. A combo box's own accessible
  // name is its current entry on Linux (as readers expect), so the name goes
  // to a label for the box that is never shown.
  void setAccessibleLabel(const QString& text);

  // The designation as the closed box shows it: whole, or shortened in the
  // middle with the whole one in the tooltip.
  QString shownText() const;

  static QString designation(const Volume& volume);
  // The mount point a designation names, or an empty string.
  static QString rootOfDesignation(const QString& designation);
  // The mount point path lies on: the longest root that contains it.
  static QString volumeRootOf(const QString& path, const QList<Volume>& volumes);

 signals:
  void Change();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void updateToolTip();
  void relist(const QString& keepRoot);
  int indexForPath(const QString& driveOrPath) const;

  QList<Volume> volumes_;
  QPointer<QLabel> label_;
};

}  // namespace ostrel
