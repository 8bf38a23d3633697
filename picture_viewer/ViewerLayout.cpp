#include "picture_viewer/ViewerLayout.h"

#include <cmath>
#include <cstdlib>

#include "toolkit/controls/ScrollBar.h"

namespace ostrel {

qint64 ViewerLayout::roundHalfEven(double x) {
  // Spelled out rather than left to the FPU's current rounding mode.
  const double below = std::floor(x);
  const double fraction = x - below;
  double rounded = below;
  if (fraction > 0.5) {
    rounded = below + 1;
  } else if (fraction == 0.5) {
    rounded = std::fmod(below, 2.0) == 0 ? below : below + 1;
  }
  return static_cast<qint64>(rounded);
}

void ViewerLayout::applyFitRule(Fit& fit) {
  if (fit.pictureHeight < fit.interiorHeight) {
    fit.verticalBarVisible = false;
    fit.pictureTop = 0;
    fit.pictureLeft = 0;
  }
  if (fit.pictureWidth < fit.interiorWidth) {
    fit.horizontalBarVisible = false;
    fit.pictureTop = 0;
    fit.pictureLeft = 0;
  }
  if (fit.pictureHeight > fit.interiorHeight) fit.verticalBarVisible = true;
  if (fit.pictureWidth > fit.interiorWidth) fit.horizontalBarVisible = true;
}

ViewerLayout::BarScale ViewerLayout::barScale(float interior, float picture, float barThickness) {
  const float points = interior - picture - barThickness;
  BarScale scale;
  scale.range = roundHalfEven(points);
  if (scale.range >= ScrollBar::kMinValue && scale.range <= ScrollBar::kMaxValue) {
    scale.max = static_cast<int>(scale.range);
    return scale;
  }
  // The smallest whole number of points per step that brings the range
  // within the bar's 16-bit values (32767 either way keeps it symmetric).
  const qint64 magnitude = std::llabs(scale.range);
  scale.unit = static_cast<int>((magnitude + ScrollBar::kMaxValue - 1) / ScrollBar::kMaxValue);
  scale.max = static_cast<int>(roundHalfEven(static_cast<double>(points) / scale.unit));
  return scale;
}

float ViewerLayout::BarScale::offsetFor(int value) const {
  if (unit == 1) return static_cast<float>(value);
  // The last step lands exactly on the far edge, not a fraction of a unit
  // short of it or beyond it.
  if (value == max) return static_cast<float>(range);
  const qint64 offset = qint64(value) * unit;
  const qint64 low = qMin<qint64>(0, range);
  const qint64 high = qMax<qint64>(0, range);
  return static_cast<float>(qBound(low, offset, high));
}

ViewerLayout::Bars ViewerLayout::barsFor(float interiorWidth, float interiorHeight,
                                         float horizontalBarHeight, float verticalBarWidth) {
  return {interiorHeight - horizontalBarHeight, interiorWidth, interiorWidth - verticalBarWidth,
          interiorHeight - verticalBarWidth};
}

}  // namespace ostrel
