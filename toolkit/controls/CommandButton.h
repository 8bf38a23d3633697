#pragma once

#include <QPushButton>

#include "toolkit/controls/ControlGeometry.h"

namespace ostrel {

class CommandButton : public QPushButton, public ControlGeometry {
  Q_OBJECT

 public:
  CommandButton(QWidget* parent, const QString& name, ScaleMode mode = ScaleMode::Twips);

  QString Caption() const { return text(); }
  void setCaption(const QString& caption) { setText(caption); }

 signals:
  void Click();
};

}  // namespace ostrel
