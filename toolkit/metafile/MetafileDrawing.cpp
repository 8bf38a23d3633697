#include "toolkit/metafile/MetafileDrawing.h"

#include <QPainter>

#include "toolkit/metafile/DibCache.h"
#include "toolkit/metafile/EmfDecoder.h"
#include "toolkit/metafile/GdiPlayer.h"
#include "toolkit/metafile/WmfDecoder.h"

namespace ostrel {

MetafileDrawing::MetafileDrawing(MetafileContent content) : content_(std::move(content)) {}

void MetafileDrawing::paint(QPainter& painter, const QRectF& target) const {
  const QRectF frame = content_.deviceFrame;
  if (target.isEmpty() || frame.isEmpty()) return;
  PlaybackSetup setup = content_.setup;
  setup.deviceToOutput =
      QTransform::fromTranslate(-frame.left(), -frame.top()) *
      QTransform::fromScale(target.width() / frame.width(), target.height() / frame.height()) *
      QTransform::fromTranslate(target.left(), target.top()) * painter.transform();
  // Metafiles draw outside their frame now and then; the frame is the picture.
  setup.outputClip = setup.deviceToOutput.mapRect(frame);
  painter.save();
  painter.resetTransform();
  {
    DibCache bitmaps;
    GdiPlayer player(painter, setup);
    if (content_.format == MetafileFormat::Emf)
      EmfDecoder::play(content_, player, bitmaps);
    else
      WmfDecoder::play(content_, player, bitmaps);
    lastWork_ = {bitmaps.decodedCount(), bitmaps.decodedPixels(), player.work(),
                 bitmaps.leftOut() + player.drawingsLeftOut()};
  }
  painter.restore();
}

}  // namespace ostrel
