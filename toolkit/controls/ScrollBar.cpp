#include "toolkit/controls/ScrollBar.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QSignalBlocker>

#include "toolkit/ToolkitError.h"

namespace ostrel {

ScrollBar::ScrollBar(QWidget* parent, const QString& name, Orientation orientation, ScaleMode mode)
    : QScrollBar(orientation == Orientation::Horizontal ? Qt::Horizontal : Qt::Vertical, parent),
      ControlGeometry(this, mode) {
  setObjectName(name);
  // A bar is a tab stop and takes arrow keys, one step at a time.
  setFocusPolicy(Qt::StrongFocus);
  {
    const QSignalBlocker block(this);
    QScrollBar::setRange(0, max_);
    QScrollBar::setValue(0);
    setSingleStep(1);
    setPageStep(1);
  }
  setTracking(true);

  connect(this, &QAbstractSlider::sliderPressed, this, [this] { valueAtPress_ = Value(); });
  connect(this, &QAbstractSlider::sliderMoved, this, [this](int position) {
    // Qt reports the move before it takes the new value; whoever handles
    // Scroll reads Value, so the signal waits for the value when one is coming.
    if (position == QAbstractSlider::value()) {
      emit Scroll();
    } else {
      scrollPending_ = true;
    }
  });
  connect(this, &QAbstractSlider::valueChanged, this, [this] {
    if (scrollPending_) {
      scrollPending_ = false;
      emit Scroll();
    } else if (!isSliderDown()) {
      emit Change();
    }
  });
  connect(this, &QAbstractSlider::sliderReleased, this, [this] {
    scrollPending_ = false;
    if (Value() != valueAtPress_) emit Change();
  });
}

void ScrollBar::checkInteger(int value, const char* property) {
  if (value < kMinValue || value > kMaxValue) {
    throw ToolkitError(err::Overflow,
                       QCoreApplication::translate("ostrel::ScrollBar",
                                                   "The scroll bar's %1 cannot be %2: it must lie "
                                                   "between -32768 and 32767.")
                           .arg(QLatin1String(property))
                           .arg(value));
  }
}

int ScrollBar::clampToRange(int value) const {
  return max_ < 0 ? qBound(max_, value, 0) : qBound(0, value, max_);
}

int ScrollBar::Value() const {
  return sign() * QAbstractSlider::value();
}

void ScrollBar::setMax(int max) {
  checkInteger(max, "Max");
  const int before = Value();
  {
    const QSignalBlocker block(this);
    max_ = max;
    QScrollBar::setRange(0, max < 0 ? -max : max);
    QScrollBar::setValue(sign() * clampToRange(before));
  }
  update();
  if (Value() != before) emit Change();
}

void ScrollBar::setValue(int value) {
  checkInteger(value, "Value");
  // valueChanged raises Change when the value really moves.
  QScrollBar::setValue(sign() * clampToRange(value));
}

void ScrollBar::keyPressEvent(QKeyEvent* event) {
  // QScrollBar inverts its controls so the wheel scrolls the usual way round;
  // on a horizontal bar that also turns the left and right keys around.
  const bool sideways = orientation() == Qt::Horizontal &&
                        (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right);
  if (!sideways) {
    QScrollBar::keyPressEvent(event);
    return;
  }
  setInvertedControls(false);
  QScrollBar::keyPressEvent(event);
  setInvertedControls(true);
}

}  // namespace ostrel
