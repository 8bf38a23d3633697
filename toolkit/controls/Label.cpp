#include "toolkit/controls/Label.h"

namespace ostrel {

Label::Label(QWidget* parent, const QString& name, ScaleMode mode)
    : QLabel(parent), ControlGeometry(this, mode) {
  setObjectName(name);
  setTextFormat(Qt::PlainText);
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

}  // namespace ostrel
