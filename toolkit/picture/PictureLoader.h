#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <list>
#include <memory>
#include <optional>

#include "toolkit/ToolkitError.h"
#include "toolkit/jobs/JobLane.h"
#include "toolkit/jobs/JobService.h"
#include "toolkit/picture/Picture.h"

namespace ostrel {

// The program's one picture loader: a full file name in, a Picture out. The
// format is decided by content (BMP, header-less DIB, JPEG, GIF, ICO/CUR, PNG,
// WMF, EMF), never by the name. Failures throw ToolkitError with a number
// (err::FileNotFound, err::PathNotFound, err::PermissionDenied,
// err::PathFileAccess, err::InvalidPicture, err::OutOfMemory) and a
// description naming the file and the reason.
//
// The static functions decode on the calling thread. An instance is the
// service the windows use: it decodes in jobs, off the interface thread, and
// answers through a callback.
class PictureLoader {
 public:
  // The whole picture at its natural size; a moving GIF with its frames
  // (Picture::animation()).
  static Picture load(const QString& fullName);

  // A picture good for showing at about previewPixels: photos are decoded
  // at the smallest DCT scale that still covers it. naturalSize() stays the
  // picture's full size. Drawings are the same as from load().
  static Picture loadForPreview(const QString& fullName, QSize previewPixels);

  // The decoding step alone, for bytes already in memory; fileName only
  // names the picture in error descriptions.
  static Picture decode(const QByteArray& bytes, const QString& fileName, QSize previewPixels);

  // What a request is for. Each purpose has its own lane of jobs, where the
  // newest request wins: an older one's decode is cancelled and its result
  // never delivered.
  enum class Purpose { Preview, Viewer, Prefetch };

  struct Result {
    QString fullName;
    Picture picture;
    std::optional<ToolkitError> error;
  };
  using Done = std::function<void(const Result&)>;

  // Decoded pictures of files next to the one shown, waiting to be asked
  // for, take at most this many bytes.
  static constexpr qint64 kPrefetchBytes = qint64(24) * 1024 * 1024;

  explicit PictureLoader(JobService& jobs);
  ~PictureLoader();
  PictureLoader(const PictureLoader&) = delete;
  PictureLoader& operator=(const PictureLoader&) = delete;

  // Decodes fullName for purpose at pixels (empty: natural size) and calls
  // done on the interface thread, unless a newer request for the purpose or
  // cancel() came first, or context is gone by then. A preview prefetched
  // for the unchanged file is delivered before this returns.
  void request(Purpose purpose, const QString& fullName, QSize pixels, QObject* context, Done done);
  void cancel(Purpose purpose);

  // A Viewer request at natural size that is also answered early, with the
  // picture still filling (Picture::progress()): once its top firstRows
  // rows are decoded, or kFirstDeliveryMs after its size is known, whichever
  // comes first. done is then called once more, with the whole picture or
  // the error that stopped the decode. A picture that cannot be shown as it
  // decodes (a moving GIF, a turned photo) is answered once, when done.
  void requestFilling(const QString& fullName, int firstRows, QObject* context, Done done);
  static constexpr int kFirstDeliveryMs = 50;

  // Decodes these files at pixels in the background for a later preview
  // request, replacing any earlier prefetch. A preview request for the file
  // being prefetched at its size waits for that decode instead of starting
  // another; one that must decode for itself stops the prefetch.
  void prefetch(const QStringList& fullNames, QSize pixels);
  // Stops prefetching and lets the prefetched pictures go, for when no
  // preview is being browsed (the viewer shows a picture, the box is empty).
  void forgetPrefetched();

  // The natural-size picture of fullName: the one a Viewer request has just
  // delivered when the file has not changed since, decoded now (and not
  // kept) otherwise. Throws ToolkitError. forgetNatural() lets the delivered
  // one go.
  Picture natural(const QString& fullName);
  void forgetNatural();

  // How many decodes were started (tests count them).
  int decodesStarted() const { return decodesStarted_; }

 private:
  // A file as it was when decoded: a changed file is decoded again.
  struct Stamp {
    QString fullName;
    qint64 size = -1;
    qint64 modifiedNs = 0;
    bool operator==(const Stamp&) const = default;
    static Stamp of(const QString& fullName);
  };
  struct Kept {
    Stamp stamp;
    QSize pixels;
    Picture picture;
    qint64 bytes = 0;
  };

  // A preview request waiting for the prefetch decode of its file; a newer
  // preview request or a cancel lets it go.
  struct Waiter {
    Stamp stamp;
    QSize pixels;
    QPointer<QObject> guard;
    Done done;
  };

  void startDecode(Purpose purpose, const Stamp& stamp, QSize pixels,
                   const QPointer<QObject>& guard, Done done,
                   std::shared_ptr<DecodeProgress> progress = nullptr);
  // The early answer of requestFilling, looked for while the decode runs.
  struct Filling {
    Stamp stamp;
    int firstRows = 0;
    std::shared_ptr<DecodeProgress> progress;
    QPointer<QObject> guard;
    std::shared_ptr<Done> done;
    QElapsedTimer sinceSized;
  };
  void watchFilling();
  void dropFilling();  // no early answer is looked for any more
  void startNextPrefetch();
  void prefetchDone(const Kept& decoded, const JobOutcome<Picture>& outcome);
  JobLane& lane(Purpose purpose) { return lanes_[static_cast<int>(purpose)]; }
  void keepPrefetched(Kept kept);
  std::optional<Picture> takePrefetched(const Stamp& stamp, QSize pixels);

  JobService& jobs_;
  // The decodes answer to it: nothing arrives once the loader is gone.
  QObject receiver_;
  JobLane lanes_[3];
  int decodesStarted_ = 0;
  QStringList prefetchQueue_;
  QSize prefetchPixels_;
  std::optional<Kept> prefetching_;  // the file the prefetch worker decodes
  std::optional<Waiter> takeover_;
  std::list<Kept> prefetched_;  // newest first
  std::optional<Kept> natural_;
  std::optional<Filling> filling_;
  QTimer fillingWatch_;
};

}  // namespace ostrel
