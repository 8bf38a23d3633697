#pragma once

#include <QLabel>

#include "toolkit/controls/ControlGeometry.h"

namespace ostrel {

class Label : public QLabel, public ControlGeometry {
  Q_OBJECT

 public:
  Label(QWidget* parent, const QString& name, ScaleMode mode = ScaleMode::Twips);

  QString Caption() const { return text(); }
  void setCaption(const QString& caption) { setText(caption); }
};

}  // namespace ostrel
