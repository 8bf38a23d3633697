#pragma once

#include <QScrollBar>

#include "toolkit/controls/ControlGeometry.h"

namespace ostrel {

// A scroll bar whose Max and Value are signed 16-bit integers and whose
// minimum is fixed at 0. Max may be negative: Value then runs from 0 down to
// Max. Either way value 0 sits at the left (top) end and Max at the right
// (bottom) end, so dragging the thumb right or down goes towards Max.
//
// QScrollBar cannot hold a range whose maximum lies below its minimum, so the
// Qt slider underneath always runs from 0 to |Max| and Value() carries the
// sign. Use Max()/Value()/setMax()/setValue() of this class, never the
// QAbstractSlider ones, which count in that unsigned distance.
//
// Scroll is raised while the thumb is dragged (after Value has taken the
// dragged position); Change for every other change of Value, including the
// end of a drag that changed it.
class ScrollBar : public QScrollBar, public ControlGeometry {
  Q_OBJECT

 public:
  enum class Orientation { Horizontal, Vertical };

  static constexpr int kMinValue = -32768;
  static constexpr int kMaxValue = 32767;

  ScrollBar(QWidget* parent, const QString& name, Orientation orientation,
            ScaleMode mode = ScaleMode::Twips);

  int Max() const { return max_; }
  // Throws ToolkitError(err::Overflow) outside -32768..32767. A Value that no
  // longer lies between 0 and the new Max is pulled to the nearest end.
  void setMax(int max);

  int Value() const;
  // Throws ToolkitError(err::Overflow) outside -32768..32767; a value beyond
  // 0 or Max is pulled to the nearer end. Does not raise Scroll.
  void setValue(int value);

  int SmallChange() const { return singleStep(); }
  int LargeChange() const { return pageStep(); }

 signals:
  void Scroll();
  void Change();

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  int sign() const { return max_ < 0 ? -1 : 1; }
  int clampToRange(int value) const;
  static void checkInteger(int value, const char* property);

  int max_ = kMaxValue;
  int valueAtPress_ = 0;
  bool scrollPending_ = false;
};

}  // namespace ostrel
