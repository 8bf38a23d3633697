#include "toolkit/picture/GifAnimation.h"

#include <QCoreApplication>
#include <algorithm>
#include <new>

#include "toolkit/ToolkitError.h"
#include "toolkit/picture/DecodeFailure.h"
#include "toolkit/picture/GifReader.h"

namespace ostrel {

namespace {

int delayMs(const GifReader& reader) {
  return std::max(GifAnimation::kMinimumDelayMs, reader.delay() * 10);
}

// Reads the next frame; false at the end, or when the frame is damaged or
// cannot be held (the frames before it stand).
bool readLaterFrame(GifReader& reader, bool& failed) {
  try {
    return reader.nextFrame();
  } catch (const DecodeFailure&) {
  } catch (const std::bad_alloc&) {
  }
  failed = true;
  return false;
}

}  // namespace

std::shared_ptr<const Animation> GifAnimation::decode(QByteArrayView data, const Budget& budget) {
  GifReader reader(data);
  auto animation = std::make_shared<Animation>();
  // The first frame as the preview has it.
  reader.nextFrame();
  if (reader.cutShort()) {
    throw DecodeFailure(
        err::InvalidPicture,
        QCoreApplication::translate("ostrel::PictureLoader", "the GIF data ends early"));
  }
  animation->frames.append({reader.screen(), delayMs(reader)});
  qint64 bytes = reader.screen().sizeInBytes();
  reader.setWorkLimit(reader.work() + budget.work);
  reader.setRemovedImagesShown(true);

  bool failed = false;
  while (!reader.cutShort() && readLaterFrame(reader, failed)) {
    // A frame the work budget stopped half way is not shown.
    if (reader.limitReached()) break;
    // Each frame shares the screen's pixels until the next image is drawn,
    // which then copies them.
    const qint64 frameBytes = reader.screen().sizeInBytes();
    if (animation->frames.size() >= budget.frames || bytes + frameBytes > budget.bytes) {
      animation->cut = true;
      break;
    }
    animation->frames.append({reader.screen(), delayMs(reader)});
    bytes += frameBytes;
  }
  if (failed || reader.limitReached() || reader.cutShort()) animation->cut = true;
  const int loops = reader.loopCount();
  animation->plays = loops < 0 ? 1 : loops == 0 ? 0 : loops + 1;
  return animation;
}

}  // namespace ostrel
