#include "toolkit/metafile/MetafileDrawing.h"

#include <QPainter>

#include "toolkit/metafile/DibCache.h"
#include "toolkit/metafile/EmfDecoder.h"
#include "toolkit/metafile/GdiPlayer.h"
#include "toolkit/metafile/WmfDecoder.h"

namespace ostrel {

MetafileDrawing::MetafileDrawing(MetafileContent content) : content_(std::move(content)) {}

void MetafileDrawing::paint(QPainter& painter, const QRectF& target) const {
  DibCache bitmaps;
  lastWork_ = play(content_, painter, target, bitmaps, PictureLimits::kMaxDrawingWork, 0);
}

MetafileDrawing::PaintWork MetafileDrawing::play(const MetafileContent& content, QPainter& painter,
                                                 const QRectF& target, DibCache& bitmaps,
                                                 qint64 workBudget, int nesting) {
  const QRectF frame = content.deviceFrame;
  if (target.isEmpty() || frame.isEmpty()) return {};
  PlaybackSetup setup = content.setup;
  setup.deviceToOutput =
      QTransform::fromTranslate(-frame.left(), -frame.top()) *
      QTransform::fromScale(target.width() / frame.width(), target.height() / frame.height()) *
      QTransform::fromTranslate(target.left(), target.top()) * painter.transform();
  // Metafiles draw outside their frame now and then; the frame is the picture.
  setup.outputClip = setup.deviceToOutput.mapRect(frame);
  setup.workBudget = workBudget;
  setup.nesting = nesting;
  PaintWork work;
  painter.save();
  painter.resetTransform();
  {
    GdiPlayer player(painter, setup);
    if (content.format == MetafileFormat::Emf)
      EmfDecoder::play(content, player, bitmaps);
    else
      WmfDecoder::play(content, player, bitmaps);
    work = {bitmaps.decodedCount(), bitmaps.decodedPixels(), player.work(),
            bitmaps.leftOut() + player.drawingsLeftOut()};
  }
  painter.restore();
  return work;
}

}  // namespace ostrel
