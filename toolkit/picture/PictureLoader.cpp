#include "toolkit/picture/PictureLoader.h"

#include <sys/stat.h>

#include <QCoreApplication>
#include <algorithm>
#include <new>
#include <optional>
#include <utility>

#include "toolkit/ToolkitError.h"
#include "toolkit/files/FileNames.h"
#include "toolkit/metafile/MetafileReader.h"
#include "toolkit/picture/BmpDecoder.h"
#include "toolkit/picture/DecodeCancel.h"
#include "toolkit/picture/DecodeFailure.h"
#include "toolkit/picture/DecodeProgress.h"
#include "toolkit/picture/GifAnimation.h"
#include "toolkit/picture/GifDecoder.h"
#include "toolkit/picture/IconDecoder.h"
#include "toolkit/picture/JpegDecoder.h"
#include "toolkit/picture/PictureFile.h"
#include "toolkit/picture/PictureLimits.h"
#include "toolkit/picture/PictureSniffer.h"
#include "toolkit/picture/QtImageDecoder.h"

namespace ostrel {

namespace {

Picture bitmap(QByteArrayView data, BmpDecoder::Layout layout, QSize previewPixels) {
  const BmpDecoder::Info info = BmpDecoder::peek(data, layout);
  return Picture::fromImage(BmpDecoder::decode(data, layout, previewPixels),
                            QSize(info.width, info.height));
}

// The size a raster picture's header gives, where that is cheap to read.
QSize storedSize(QByteArrayView data, PictureFormat format) {
  switch (format) {
    case PictureFormat::Bmp:
    case PictureFormat::HeaderlessDib: {
      const auto layout =
          format == PictureFormat::Bmp ? BmpDecoder::Layout::File : BmpDecoder::Layout::Headerless;
      const BmpDecoder::Info info = BmpDecoder::peek(data, layout);
      return {info.width, info.height};
    }
    case PictureFormat::Jpeg:
      return QtImageDecoder::peekSize(data, "jpeg");
    case PictureFormat::Gif:
      return QtImageDecoder::peekSize(data, "gif");
    default:
      return {};
  }
}

// Refuses, before any pixel is decoded, a picture of size stored in
// dataBytes that is too large to decode or to hold at natural size.
void checkNaturalSize(QSize size, qint64 dataBytes) {
  PictureLimits::check(size, dataBytes);
  PictureLimits::checkNatural(size.width(), size.height());
}

Picture decodeRaster(const QByteArray& bytes, QSize previewPixels) {
  const QByteArrayView data(bytes);
  const PictureFormat format = PictureSniffer::sniff(data);
  if (previewPixels.isEmpty()) {
    const QSize size = storedSize(data, format);
    if (size.isValid()) checkNaturalSize(size, data.size());
  }
  switch (format) {
    case PictureFormat::Bmp:
      return bitmap(data, BmpDecoder::Layout::File, previewPixels);
    case PictureFormat::HeaderlessDib:
      return bitmap(data, BmpDecoder::Layout::Headerless, previewPixels);
    case PictureFormat::Jpeg:
      return JpegDecoder::decode(data, previewPixels);
    case PictureFormat::Gif:
      // Only the viewer plays a moving picture; a preview is its first frame.
      return previewPixels.isEmpty() ? Picture::fromAnimation(GifAnimation::decode(data))
                                     : Picture::fromImage(GifDecoder::decode(data));
    case PictureFormat::Png:
      return Picture::fromImage(QtImageDecoder::decode(data, "png"));
    case PictureFormat::Icon:
      return Picture::fromImage(IconDecoder::decode(data));
    case PictureFormat::Metafile:
    case PictureFormat::Unknown:
      break;
  }
  throw DecodeFailure(err::InvalidPicture,
                      QCoreApplication::translate(
                          "ostrel::PictureLoader",
                          "its content is not that of a bitmap, JPEG, GIF, icon or metafile"));
}

}  // namespace

namespace {

// A decoder's failure in the loader's words, naming the file.
template <typename Decode>
Picture described(const QString& fileName, const Decode& decodeIt) {
  const QString name = FileNames::shown(fileName);
  try {
    return decodeIt();
  } catch (const DecodeFailure& failure) {
    if (failure.number() == err::OutOfMemory) {
      throw ToolkitError(err::OutOfMemory,
                         QCoreApplication::translate("ostrel::PictureLoader",
                                                     "The file “%1” is too large to show: %2.")
                             .arg(name, failure.reason()));
    }
    throw ToolkitError(
        failure.number(),
        QCoreApplication::translate("ostrel::PictureLoader",
                                    "The file “%1” is not a picture this program can show: %2.")
            .arg(name, failure.reason()));
  } catch (const std::bad_alloc&) {
    throw ToolkitError(err::OutOfMemory,
                       QCoreApplication::translate(
                           "ostrel::PictureLoader",
                           "The file “%1” is too large to show: there is not enough memory.")
                           .arg(name));
  }
}

// The start of a file that holds any bitmap's headers and colour table.
constexpr qint64 kHeadBytes = qint64(64) * 1024;

// An uncompressed bitmap file, of which head holds the start, decoded as
// its rows are read, or nothing for another file.
std::optional<Picture> bitmapReadAsDecoded(const PictureFile& file, const QByteArray& head,
                                           const QString& fullName) {
  if (PictureSniffer::sniff(head) != PictureFormat::Bmp ||
      !BmpDecoder::readsRows(head, file.size())) {
    return std::nullopt;
  }
  return described(fullName, [&] {
    const QSize size = storedSize(head, PictureFormat::Bmp);
    checkNaturalSize(size, file.size());
    const BmpDecoder::ReadAt readAt = [&file](qint64 offset, char* to, qint64 count) {
      return file.readAt(offset, to, count);
    };
    return Picture::fromImage(BmpDecoder::decodeFile(head, file.size(), readAt), size);
  });
}

}  // namespace

Picture PictureLoader::decode(const QByteArray& bytes, const QString& fileName,
                              QSize previewPixels) {
  return described(fileName, [&] {
    if (PictureSniffer::sniff(bytes) == PictureFormat::Metafile) {
      Picture drawing = Picture::fromDrawing(readMetafile(bytes, fileName));
      drawing.setFileName(fileName);
      return drawing;
    }
    return decodeRaster(bytes, previewPixels);
  });
}

Picture PictureLoader::load(const QString& fullName) {
  const PictureFile file = PictureFile::open(fullName);
  QByteArray head(qsizetype(std::min(file.size(), kHeadBytes)), Qt::Uninitialized);
  head.truncate(qsizetype(file.readAt(0, head.data(), head.size())));
  // A large bitmap's first rows show before the rest of the file is read.
  if (std::optional<Picture> bitmap = bitmapReadAsDecoded(file, head, fullName)) return *bitmap;
  return decode(file.readAll(head), fullName, QSize());
}

Picture PictureLoader::loadForPreview(const QString& fullName, QSize previewPixels) {
  return decode(PictureFile::read(fullName), fullName, previewPixels);
}

PictureLoader::Stamp PictureLoader::Stamp::of(const QString& fullName) {
  // Looked at through the name's bytes: one that is not UTF-8 is found too.
  struct stat info {};
  if (::stat(FileNames::encode(fullName).constData(), &info) != 0) return {fullName, -1, 0};
  return {fullName, info.st_size,
          qint64(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
}

namespace {

// A decode as a job: the decoders' own polling looks at the job's cancel flag,
// and they tell progress, when given one, the rows they have finished.
auto decodeJob(const QString& fullName, QSize pixels,
               std::shared_ptr<DecodeProgress> progress = nullptr) {
  return [fullName, pixels, progress = std::move(progress)](JobControl& control) {
    const DecodeCancel::Scope scope(&control.cancelFlag());
    const DecodeProgress::Scope rows(progress);
    return pixels.isEmpty() ? PictureLoader::load(fullName)
                            : PictureLoader::loadForPreview(fullName, pixels);
  };
}

// Often enough for the first screen to follow its rows closely; the watch
// runs only until the early answer is given.
constexpr int kFillingWatchMs = 5;

PictureLoader::Result resultOf(const QString& fullName, const JobOutcome<Picture>& outcome) {
  return {fullName, outcome.value.value_or(Picture()), outcome.error};
}

}  // namespace

PictureLoader::PictureLoader(JobService& jobs) : jobs_(jobs) {
  fillingWatch_.setInterval(kFillingWatchMs);
  QObject::connect(&fillingWatch_, &QTimer::timeout, &receiver_, [this] { watchFilling(); });
}

PictureLoader::~PictureLoader() = default;

void PictureLoader::request(Purpose purpose, const QString& fullName, QSize pixels,
                            QObject* context, Done done) {
  const QPointer<QObject> guard(context);
  const Stamp stamp = Stamp::of(fullName);
  if (purpose == Purpose::Viewer) {
    // A newer viewer request has no early answer of the older one's.
    dropFilling();
  }
  if (purpose == Purpose::Preview) {
    takeover_.reset();
    if (std::optional<Picture> kept = takePrefetched(stamp, pixels)) {
      lane(purpose).cancel();
      if (guard) done(Result{fullName, *kept, std::nullopt});
      return;
    }
    if (prefetching_ && prefetching_->stamp == stamp && prefetching_->pixels == pixels) {
      // Half done already: the preview takes that decode's result.
      lane(purpose).cancel();
      takeover_ = Waiter{stamp, pixels, guard, std::move(done)};
      return;
    }
    // Moved on past the neighbours: their decodes would only slow this one
    // down. The preview's arrival prefetches afresh.
    cancel(Purpose::Prefetch);
  }
  startDecode(purpose, stamp, pixels, guard, std::move(done));
}

void PictureLoader::requestFilling(const QString& fullName, int firstRows, QObject* context,
                                   Done done) {
  const QPointer<QObject> guard(context);
  const Stamp stamp = Stamp::of(fullName);
  auto progress = std::make_shared<DecodeProgress>();
  auto shared = std::make_shared<Done>(std::move(done));
  // Watched from before the start: a decode that answers at once ends it.
  filling_ = Filling{stamp, firstRows, progress, guard, shared, {}};
  fillingWatch_.start();
  startDecode(
      Purpose::Viewer, stamp, QSize(), guard, [shared](const Result& result) { (*shared)(result); },
      std::move(progress));
}

void PictureLoader::watchFilling() {
  if (!filling_ || !filling_->progress->published()) return;
  if (!filling_->sinceSized.isValid()) filling_->sinceSized.start();
  const QRect rows = filling_->progress->readyRows();
  const int wanted = std::min(filling_->firstRows, filling_->progress->size().height());
  const bool firstScreenIn = rows.top() == 0 && rows.height() >= wanted;
  if (!firstScreenIn && filling_->sinceSized.elapsed() < kFirstDeliveryMs) return;
  fillingWatch_.stop();
  const Filling filling = *std::exchange(filling_, std::nullopt);
  const Picture picture = Picture::filling(filling.progress);
  // The viewer's load step takes it from here, as it takes a whole one.
  natural_ = Kept{filling.stamp, {}, picture, 0};
  if (filling.guard) (*filling.done)(Result{filling.stamp.fullName, picture, std::nullopt});
}

void PictureLoader::dropFilling() {
  fillingWatch_.stop();
  filling_.reset();
}

void PictureLoader::startDecode(Purpose purpose, const Stamp& stamp, QSize pixels,
                                const QPointer<QObject>& guard, Done done,
                                std::shared_ptr<DecodeProgress> progress) {
  ++decodesStarted_;
  jobs_.start(
      lane(purpose), &receiver_, stamp.fullName,
      decodeJob(stamp.fullName, pixels, std::move(progress)),
      [this, purpose, stamp, guard, done = std::move(done)](const JobOutcome<Picture>& outcome) {
        if (purpose == Purpose::Viewer) {
          // Done before its rows covered the first screen: answered once.
          dropFilling();
        }
        if (purpose == Purpose::Viewer && outcome.value) {
          natural_ = Kept{stamp, {}, *outcome.value, 0};
        }
        if (guard) done(resultOf(stamp.fullName, outcome));
      });
}

void PictureLoader::cancel(Purpose purpose) {
  lane(purpose).cancel();
  if (purpose == Purpose::Viewer) dropFilling();
  if (purpose == Purpose::Preview) takeover_.reset();
  if (purpose != Purpose::Prefetch) return;
  prefetchQueue_.clear();
  prefetching_.reset();
  // A preview that waited for the cancelled decode decodes for itself.
  if (std::optional<Waiter> waiter = std::exchange(takeover_, std::nullopt)) {
    startDecode(Purpose::Preview, waiter->stamp, waiter->pixels, waiter->guard,
                std::move(waiter->done));
  }
}

void PictureLoader::prefetch(const QStringList& fullNames, QSize pixels) {
  cancel(Purpose::Prefetch);
  prefetchQueue_ = fullNames;
  prefetchPixels_ = pixels;
  startNextPrefetch();
}

void PictureLoader::forgetPrefetched() {
  cancel(Purpose::Prefetch);
  prefetched_.clear();
}

void PictureLoader::startNextPrefetch() {
  while (!prefetchQueue_.isEmpty()) {
    const Stamp stamp = Stamp::of(prefetchQueue_.takeFirst());
    const bool held = std::any_of(prefetched_.begin(), prefetched_.end(), [&](const Kept& k) {
      return k.stamp == stamp && k.pixels == prefetchPixels_;
    });
    if (held || stamp.size < 0) continue;
    prefetching_ = Kept{stamp, prefetchPixels_, {}, 0};
    ++decodesStarted_;
    jobs_.start(lane(Purpose::Prefetch), &receiver_, stamp.fullName,
                decodeJob(stamp.fullName, prefetchPixels_),
                [this, decoded = *prefetching_](const JobOutcome<Picture>& outcome) {
                  prefetching_.reset();
                  prefetchDone(decoded, outcome);
                });
    return;
  }
}

void PictureLoader::prefetchDone(const Kept& decoded, const JobOutcome<Picture>& outcome) {
  if (std::optional<Waiter> waiter = std::exchange(takeover_, std::nullopt)) {
    // Handed over, not kept, as a prefetched picture taken by a preview.
    if (waiter->guard) waiter->done(resultOf(decoded.stamp.fullName, outcome));
  } else if (outcome.value) {
    const qint64 bytes = std::max<qint64>(outcome.value->image().sizeInBytes(), 4096);
    keepPrefetched(Kept{decoded.stamp, decoded.pixels, *outcome.value, bytes});
  }
  // The preview's arrival may have started a prefetch of its own neighbours.
  if (!lane(Purpose::Prefetch).busy()) startNextPrefetch();
}

void PictureLoader::keepPrefetched(Kept kept) {
  prefetched_.push_front(std::move(kept));
  qint64 total = 0;
  for (auto it = prefetched_.begin(); it != prefetched_.end();) {
    total += it->bytes;
    it = total > kPrefetchBytes ? prefetched_.erase(it) : std::next(it);
  }
}

std::optional<Picture> PictureLoader::takePrefetched(const Stamp& stamp, QSize pixels) {
  for (auto it = prefetched_.begin(); it != prefetched_.end(); ++it) {
    if (it->stamp == stamp && it->pixels == pixels) {
      // Handed over, not kept: the preview holds the only copy.
      Picture picture = it->picture;
      prefetched_.erase(it);
      return picture;
    }
  }
  return std::nullopt;
}

Picture PictureLoader::natural(const QString& fullName) {
  const Stamp stamp = Stamp::of(fullName);
  if (natural_ && natural_->stamp == stamp) return natural_->picture;
  // Not kept: only a delivered Viewer request bridges two steps.
  ++decodesStarted_;
  return load(fullName);
}

void PictureLoader::forgetNatural() {
  natural_.reset();
}

}  // namespace ostrel
