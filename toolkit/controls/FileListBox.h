#pragma once

#include <QListView>
#include <QStringListModel>

#include "toolkit/controls/ControlGeometry.h"
#include "toolkit/controls/FilePattern.h"

namespace ostrel {

// The file list: the files of Path whose names match Pattern, hidden files
// left out, sorted without regard to case. Names keep their bytes
// (FileNames); a byte that is not UTF-8 is shown as \xFF. It lists synchronously, so a
// property read right after Path or Pattern is set sees the new listing.
// Rows are as wide as the list: a long name is shortened in the middle and
// shown whole in its tooltip.
class FileListBox : public QListView, public ControlGeometry {
  Q_OBJECT

 public:
  FileListBox(QWidget* parent, const QString& name, ScaleMode mode = ScaleMode::Twips);

  QString Path() const { return path_; }
  // Re-lists and clears the selection. An unreadable folder raises
  // ToolkitError and leaves the list as it was.
  void setPath(const QString& path);
  QString Pattern() const { return pattern_; }
  void setPattern(const QString& pattern);
  // The selected name, without its folder; empty when nothing is selected.
  QString FileName() const { return fileName_; }
  // Re-reads the folder, keeping the selection when the file is still there.
  void Refresh();

  int ListCount() const { return model_.rowCount(); }
  QString List(int index) const;
  QStringList names() const { return names_; }

  // While Click is raised: whether a key moved the selection or the mouse
  // (or the program) chose it.
  enum class ClickedBy { Mouse, Keyboard };
  ClickedBy clickedBy() const { return keyboardMoving_ ? ClickedBy::Keyboard : ClickedBy::Mouse; }

  // Selects name as a click would, and raises Click. False when not listed.
  bool clickName(const QString& name);

  // The matching, visible, regular files of folder, sorted as listed.
  static QStringList listFolder(const QString& folder, const FilePattern& pattern);

 signals:
  void Click();
  // Enter was pressed on the selected name.
  void Open();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  bool viewportEvent(QEvent* event) override;
  // With nothing selected the view draws no focus at all: the list frames
  // its first row (or its empty interior) itself while it has the focus.
  void paintEvent(QPaintEvent* event) override;

 private:
  void relist(bool keepSelection);
  void select(int row);
  void setNames(const QStringList& names);

  QStringListModel model_;  // the names as shown
  QStringList names_;       // the names as they are
  QString path_;
  QString pattern_ = QStringLiteral("*.*");
  FilePattern matcher_{pattern_};
  QString fileName_;
  bool keyboardMoving_ = false;
};

}  // namespace ostrel
