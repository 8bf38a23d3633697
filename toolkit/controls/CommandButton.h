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
  // Its window presses it on Esc; a default button (setDefault) on Enter.
  bool Cancel() const { return cancel_; }
  void setCancel(bool cancel) { cancel_ = cancel; }

  // The font the caption is drawn in: the button's own, or a narrower cut of
  // it where the caption (a translation, say) would leave no room at its
  // sides.
  QFont captionFont() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 signals:
  void Click();

 private:
  bool cancel_ = false;
};

}  // namespace ostrel
