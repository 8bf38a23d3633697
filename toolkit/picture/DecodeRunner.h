#pragma once

#include <QSize>
#include <QString>
#include <functional>
#include <optional>

#include "toolkit/ToolkitError.h"
#include "toolkit/picture/Picture.h"

namespace ostrel {

// Where PictureLoader's decodes run: worker threads in the program, a double
// that finishes on demand in tests. Work comes in lanes, one per purpose;
// each lane runs one decode at a time.
class DecodeRunner {
 public:
  struct Job {
    quint64 id = 0;
    int lane = 0;
    QString fullName;
    QSize pixels;  // preview size in device pixels; empty: natural size
  };
  struct Outcome {
    quint64 id = 0;
    Picture picture;
    std::optional<ToolkitError> error;
  };
  // Called on the interface thread (by a test double, possibly before
  // start() returns).
  using Finished = std::function<void(const Outcome&)>;

  virtual ~DecodeRunner() = default;

  // Runs job in its lane. A job still waiting in that lane is dropped and a
  // running one cancelled at its next row or block; neither calls back.
  virtual void start(const Job& job, Finished finished) = 0;
  // Drops what waits or runs in lane, without a call back.
  virtual void stop(int lane) = 0;
  // Decodes job on the calling thread.
  virtual Outcome decodeNow(const Job& job) = 0;

  // The decode every runner does: what PictureLoader's synchronous path
  // gives for the job, its failure caught.
  static Outcome decode(const Job& job);
};

}  // namespace ostrel
