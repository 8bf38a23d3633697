#include "toolkit/controls/CheckBox.h"

namespace ostrel {

CheckBox::CheckBox(QWidget* parent, const QString& name, ScaleMode mode)
    : QCheckBox(parent), ControlGeometry(this, mode) {
  setObjectName(name);
  connect(this, &QCheckBox::toggled, this, &CheckBox::Click);
}

CheckBoxArray::CheckBoxArray(QWidget* parent, const QString& name, int count, ScaleMode mode)
    : QObject(parent) {
  setObjectName(name);
  for (int i = 0; i < count; ++i) {
    auto* box = new CheckBox(parent, QStringLiteral("%1_%2").arg(name).arg(i), mode);
    connect(box, &CheckBox::Click, this, [this, i] { emit Click(i); });
    boxes_.push_back(box);
  }
}

}  // namespace ostrel
