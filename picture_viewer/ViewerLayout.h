#pragma once

#include <QtGlobal>

namespace ostrel {

// The viewer's arithmetic, free of any window: the fit rule that hides and
// shows the bars, the bars' ranges and where the bars go. Everything is in
// points, as single-precision floats like the controls hold them.
class ViewerLayout {
 public:
  // What the fit rule reads and changes.
  struct Fit {
    float interiorWidth = 0;   // ScaleWidth
    float interiorHeight = 0;  // ScaleHeight
    float pictureWidth = 0;
    float pictureHeight = 0;
    float pictureLeft = 0;
    float pictureTop = 0;
    bool horizontalBarVisible = true;
    bool verticalBarVisible = true;
  };

  // How a bar's 16-bit values stand for picture offsets. Normally one step
  // is one point and Max is the range itself. A range beyond what the bar can
  // hold is counted in steps of `unit` points instead, so every edge of a
  // huge picture stays reachable.
  struct BarScale {
    int max = 0;       // the bar's Max
    int unit = 1;      // points per step of the bar
    qint64 range = 0;  // the whole range in points, rounded

    // The picture offset (Left or Top) for a value of the bar.
    float offsetFor(int value) const;
  };

  // Where the resize step puts the bars. A negative size means "keep the
  // last one": the control ignores it.
  struct Bars {
    float horizontalTop = 0;
    float horizontalWidth = 0;
    float verticalLeft = 0;
    float verticalHeight = 0;
  };

  // x rounded to the nearest integer, halves to the even neighbour.
  static qint64 roundHalfEven(double x);

  // Hides a bar when the picture is strictly smaller than the interior in
  // its direction (and puts the picture back at the top-left corner), shows
  // it when strictly larger; an equal size leaves the bar as it was.
  static void applyFitRule(Fit& fit);

  // The scale for a range of interior - picture - bar thickness points.
  static BarScale barScale(float interior, float picture, float barThickness);

  static Bars barsFor(float interiorWidth, float interiorHeight, float horizontalBarHeight,
                      float verticalBarWidth);
};

}  // namespace ostrel
