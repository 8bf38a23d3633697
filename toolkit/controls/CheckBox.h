#pragma once

#include <QCheckBox>
#include <vector>

#include "toolkit/controls/ControlGeometry.h"

namespace ostrel {

// A two-state check box whose Value is 0 (unticked) or 1 (ticked).
//
// Its caption is drawn in the part of the box that no later control covers:
// design layouts let a box run under its right-hand neighbour. A caption
// that does not fit there first draws closer to its tick box, then in a
// narrower cut, then is shortened with an ellipsis and given in full in the
// tooltip. It keeps clear of the control that covers it.
class CheckBox : public QCheckBox, public ControlGeometry {
  Q_OBJECT

 public:
  CheckBox(QWidget* parent, const QString& name, ScaleMode mode = ScaleMode::Twips);

  int Value() const { return isChecked() ? 1 : 0; }
  // Setting a different value raises Click, as a user's tick does.
  void setValue(int value) { setChecked(value == 1); }
  QString Caption() const { return text(); }
  void setCaption(const QString& caption);

  // Where the caption is drawn, in the box's own pixels, and what of it.
  QRect captionRect() const;
  QString shownCaption() const;
  QFont captionFont() const;

 signals:
  void Click();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;

 private:
  // The width left of the first sibling that overlaps the box on its right.
  int uncoveredWidth() const;
  int indicatorEnd() const;
  void updateToolTip();
};

// A control array of check boxes: one name, indexes, one Click with the index.
class CheckBoxArray : public QObject {
  Q_OBJECT

 public:
  CheckBoxArray(QWidget* parent, const QString& name, int count, ScaleMode mode = ScaleMode::Twips);

  CheckBox& operator()(int index) const { return *boxes_.at(static_cast<size_t>(index)); }
  int Count() const { return static_cast<int>(boxes_.size()); }

 signals:
  void Click(int index);

 private:
  std::vector<CheckBox*> boxes_;
};

}  // namespace ostrel
