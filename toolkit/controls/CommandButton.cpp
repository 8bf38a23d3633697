#include "toolkit/controls/CommandButton.h"

namespace ostrel {

CommandButton::CommandButton(QWidget* parent, const QString& name, ScaleMode mode)
    : QPushButton(parent), ControlGeometry(this, mode) {
  setObjectName(name);
  setAutoDefault(false);
  connect(this, &QPushButton::clicked, this, &CommandButton::Click);
}

}  // namespace ostrel
