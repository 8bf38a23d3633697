#pragma once

#include <QCheckBox>
#include <vector>

#include "toolkit/controls/ControlGeometry.h"

namespace ostrel {

// A two-state check box whose Value is 0 (unticked) or 1 (ticked).
class CheckBox : public QCheckBox, public ControlGeometry {
  Q_OBJECT

 public:
  CheckBox(QWidget* parent, const QString& name, ScaleMode mode = ScaleMode::Twips);

  int Value() const { return isChecked() ? 1 : 0; }
  // Setting a different value raises Click, as a user's tick does.
  void setValue(int value) { setChecked(value == 1); }
  QString Caption() const { return text(); }
  void setCaption(const QString& caption) { setText(caption); }

 signals:
  void Click();
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
