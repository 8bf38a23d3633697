#pragma once

#include <cmath>

namespace ostrel {

// Positions and sizes are kept in the window's own unit. A logical pixel is
// fixed at 1/96 inch; Qt's device-pixel ratio takes care of real screens.
inline constexpr float kTwipsPerPixel = 15.0F;
inline constexpr float kTwipsPerPoint = 20.0F;
inline constexpr float kPointsPerPixel = kTwipsPerPixel / kTwipsPerPoint;  // 0.75

enum class ScaleMode { Twips, Points };

inline constexpr float unitsPerPixel(ScaleMode mode) {
  return mode == ScaleMode::Twips ? kTwipsPerPixel : kPointsPerPixel;
}

// Nearest whole pixel for a position or size given in the window's unit.
inline int toPixels(float units, ScaleMode mode) {
  return static_cast<int>(std::lround(units / unitsPerPixel(mode)));
}

inline float fromPixels(int pixels, ScaleMode mode) {
  return static_cast<float>(pixels) * unitsPerPixel(mode);
}

}  // namespace ostrel
