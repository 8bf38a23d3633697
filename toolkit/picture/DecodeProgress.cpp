#include "toolkit/picture/DecodeProgress.h"

#include <algorithm>
#include <utility>

namespace ostrel {

namespace {
thread_local DecodeProgress* current = nullptr;
}  // namespace

DecodeProgress::Scope::Scope(std::shared_ptr<DecodeProgress> progress)
    : progress_(std::move(progress)), previous_(current) {
  current = progress_.get();
}

DecodeProgress::Scope::~Scope() {
  current = previous_;
  if (progress_) progress_->ended_.store(true, std::memory_order_release);
}

void DecodeProgress::publish(const QImage& image, Order order) {
  DecodeProgress* p = current;
  if (p == nullptr || p->published_.load(std::memory_order_relaxed) || image.isNull()) return;
  {
    const std::lock_guard lock(p->mutex_);
    p->image_ = image;
    p->order_ = order;
  }
  p->published_.store(true, std::memory_order_release);
}

void DecodeProgress::advance(int rows) noexcept {
  DecodeProgress* p = current;
  if (p == nullptr || !p->published_.load(std::memory_order_relaxed)) return;
  // The rows written before this store are what the interface may read.
  p->rows_.store(rows, std::memory_order_release);
}

bool DecodeProgress::published() const {
  return published_.load(std::memory_order_acquire);
}

QSize DecodeProgress::size() const {
  if (!published()) return {};
  const std::lock_guard lock(mutex_);
  return image_.size();
}

QRect DecodeProgress::readyRows() const {
  if (!published()) return {};
  const std::lock_guard lock(mutex_);
  const int height = image_.height();
  const int rows = std::clamp(rows_.load(std::memory_order_acquire), 0, height);
  const int top = order_ == Order::TopDown ? 0 : height - rows;
  return {0, top, image_.width(), rows};
}

DecodeProgress::Ready DecodeProgress::ready() const {
  const QRect band = readyRows();
  if (band.isEmpty()) return {band.top(), {}};
  const std::lock_guard lock(mutex_);
  // constBits() on a shared image neither copies nor detaches.
  const uchar* first = image_.constBits() + qsizetype(band.top()) * image_.bytesPerLine();
  return {band.top(),
          QImage(first, band.width(), band.height(), image_.bytesPerLine(), image_.format())};
}

bool DecodeProgress::complete() const {
  const QSize whole = size();
  return whole.isValid() && readyRows().height() == whole.height();
}

}  // namespace ostrel
