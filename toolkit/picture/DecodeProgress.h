#pragma once

#include <QImage>
#include <QRect>
#include <atomic>
#include <memory>
#include <mutex>

namespace ostrel {

// A picture that is still being decoded, shared by the decoding thread and
// the interface. The decoder hands over its buffer once, when it is
// allocated and will not move again, then says how many rows are final;
// the interface reads those rows only, and the worker never writes them
// again. The rows fill from the top, or from the bottom for a bitmap whose
// file stores its rows upwards and must be read in file order.
//
// Like DecodeCancel, a worker installs the object for the decode it runs
// (Scope); decoders call publish() and advance(), which do nothing on a
// thread without one, so the same decoders serve previews and tools.
class DecodeProgress {
 public:
  enum class Order { TopDown, BottomUp };

  class Scope {
   public:
    explicit Scope(std::shared_ptr<DecodeProgress> progress);
    // The decode is over, finished or not: no row will come any more.
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    std::shared_ptr<DecodeProgress> progress_;
    DecodeProgress* previous_;
  };

  // Decoder side. The first picture a decode publishes is the one shown (a
  // picture inside a picture publishes nothing more); image must be the
  // buffer the decoder writes through a pointer taken before this call.
  static void publish(const QImage& image, Order order);
  // rows (counted in the publishing order) are final.
  static void advance(int rows) noexcept;

  // Interface side.
  bool published() const;
  // The rows that are final so far, as y and height in the picture.
  QRect readyRows() const;
  // The final rows, taken at one moment: where they start in the picture
  // and a view over them alone (no copy), which is what is safe to draw.
  struct Ready {
    int top = 0;
    QImage rows;
  };
  Ready ready() const;
  QSize size() const;
  // The decoder stopped (finished, failed or cancelled).
  bool ended() const { return ended_.load(std::memory_order_acquire); }
  bool complete() const;

 private:
  mutable std::mutex mutex_;
  QImage image_;  // set once, under mutex_
  Order order_ = Order::TopDown;
  std::atomic<bool> published_{false};
  std::atomic<int> rows_{0};
  std::atomic<bool> ended_{false};
};

}  // namespace ostrel
