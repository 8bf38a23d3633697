#pragma once

#include <QByteArrayView>
#include <memory>

#include "toolkit/picture/Animation.h"
#include "toolkit/picture/PictureLimits.h"

namespace ostrel {

// Decodes every frame of a GIF, as GifReader composes them. The first frame
// is exactly what GifDecoder gives, and fails as it does; a later frame that
// is damaged or cut short ends the animation with the frames before it (a cut
// frame is kept as far as it was drawn). After the first frame, an image
// without a delay that is cleared or replaced after it is a frame of its own.
//
// Each frame stays for its graphic control delay, at least kMinimumDelayMs.
// The loop extension's count says how often the frames play: 0 for ever, n
// for n + 1 times (the first play and n repeats); a GIF without it plays once.
//
// The frames are held whole, so a budget bounds them: at most
// budget.frames frames and budget.bytes bytes of them, and budget.work
// pixels of drawing after the first frame. What does not fit is left out;
// the frames that fit play as the whole animation and cut is set.
class GifAnimation {
 public:
  static constexpr int kMinimumDelayMs = 20;

  struct Budget {
    qint64 bytes = PictureLimits::kMaxAnimationBytes;
    int frames = PictureLimits::kMaxAnimationFrames;
    qint64 work = PictureLimits::kMaxAnimationWork;
  };

  // Throws DecodeFailure (as GifDecoder) and DecodeCancel::Cancelled.
  static std::shared_ptr<const Animation> decode(QByteArrayView data, const Budget& budget);
  static std::shared_ptr<const Animation> decode(QByteArrayView data) { return decode(data, {}); }
};

}  // namespace ostrel
