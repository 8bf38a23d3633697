#include "toolkit/forms/WindowPlacement.h"

#include <QApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <array>

namespace ostrel {

namespace {

// Made no larger than the area (never below minimum), then moved into it;
// a window that still does not fit keeps its top-left corner, title bar and
// all, on the screen.
QRect pulledInside(QRect frame, const QRect& area, const QSize& minimum) {
  frame.setWidth(std::max(std::min(frame.width(), area.width()), minimum.width()));
  frame.setHeight(std::max(std::min(frame.height(), area.height()), minimum.height()));
  frame.moveLeft(std::max(area.left(), std::min(frame.left(), area.right() + 1 - frame.width())));
  frame.moveTop(std::max(area.top(), std::min(frame.top(), area.bottom() + 1 - frame.height())));
  return frame;
}

int overlap(const QRect& a, const QRect& b) {
  const QRect common = a.intersected(b);
  return common.isEmpty() ? 0 : common.width() * common.height();
}

int overlapWithAll(const QRect& frame, const QList<QRect>& others) {
  int total = 0;
  for (const QRect& other : others) total += overlap(frame, other);
  return total;
}

QRect leastOverlap(QRect frame, const QRect& owner, const QRect& available, const QSize& minimum) {
  // The screen cannot hold the window beside its owner even at its least:
  // at its size, as far off the owner as the screen allows. The least
  // overlap is met with the window against an edge of the owner or of the
  // screen, so only those places are tried, the nearest to the owner first.
  frame = pulledInside(frame, available, minimum);
  const int w = frame.width();
  const int h = frame.height();
  const std::array<int, 4> lefts = {owner.right() + 1, owner.left() - w, available.left(),
                                    available.right() + 1 - w};
  const std::array<int, 5> tops = {owner.top(), owner.bottom() + 1, owner.top() - h,
                                   available.top(), available.bottom() + 1 - h};
  QRect best = frame;
  int bestOverlap = overlap(frame, owner);
  for (const int left : lefts) {
    for (const int top : tops) {
      const QRect place = pulledInside(QRect(QPoint(left, top), frame.size()), available, minimum);
      const int covered = overlap(place, owner);
      if (covered < bestOverlap) {
        best = place;
        bestOverlap = covered;
      }
    }
  }
  return best;
}

QRect besideOwner(QRect frame, const WindowPlacement::Frames& f) {
  const QRect& owner = f.owner;
  const QRect& available = f.available;
  // The free areas right of, below, left of and above the owner, in the
  // order of preference; each with the corner that keeps the window next
  // to the owner.
  enum Side { Right, Below, Left, Above };
  const std::array<QRect, 4> free = {
      QRect(QPoint(owner.right() + 1, available.top()), available.bottomRight()),
      QRect(QPoint(available.left(), owner.bottom() + 1), available.bottomRight()),
      QRect(available.topLeft(), QPoint(owner.left() - 1, available.bottom())),
      QRect(available.topLeft(), QPoint(available.right(), owner.top() - 1))};
  auto holds = [](const QRect& area, QSize size) {
    return area.width() >= size.width() && area.height() >= size.height();
  };
  auto room = [](const QRect& area) { return area.width() * area.height(); };
  auto placed = [&](int side, QRect window) {
    const QRect& area = free[side];
    window.setSize(window.size().boundedTo(area.size()));
    switch (side) {
      case Right:
        window.moveTopLeft({area.left(), owner.top()});
        break;
      case Below:
        window.moveTopLeft({owner.left(), area.top()});
        break;
      case Left:
        window.moveTopLeft({area.right() + 1 - window.width(), owner.top()});
        break;
      default:
        window.moveTopLeft({owner.left(), area.bottom() + 1 - window.height()});
        break;
    }
    return pulledInside(window, area, window.size());
  };
  // A side that holds it whole; of those, the one that covers least of the
  // program's other windows (the text window and the viewer open side by
  // side, not one over the other).
  int best = -1;
  int bestCovered = 0;
  for (int side = Right; side <= Above; ++side) {
    if (!holds(free[side], frame.size())) continue;
    const int covered = overlapWithAll(placed(side, frame), f.others);
    if (best < 0 || covered < bestCovered) {
      best = side;
      bestCovered = covered;
    }
  }
  if (best < 0) {
    // No side holds it whole: the roomiest that holds it at its least, and
    // at half its size at the least: a sliver beside the owner would show
    // less than the window over part of it does.
    const QSize least = f.minimum.expandedTo(frame.size() / 2);
    for (int side = Right; side <= Above; ++side) {
      if (holds(free[side], least) && (best < 0 || room(free[side]) > room(free[best]))) {
        best = side;
      }
    }
  }
  if (best < 0) return leastOverlap(frame, owner, available, f.minimum);
  return placed(best, frame);
}

}  // namespace

QRect WindowPlacement::firstFrame(StartUpPosition position, const Frames& frames) {
  QRect frame = frames.window;
  const bool owned = !frames.owner.isNull();
  switch (position) {
    case StartUpPosition::Manual:
      break;
    case StartUpPosition::CenterScreen:
      frame.moveCenter(frames.available.center());
      break;
    case StartUpPosition::CenterOwner:
      frame.moveCenter(owned ? frames.owner.center() : frames.available.center());
      break;
    case StartUpPosition::BesideOwner:
      if (owned) frame = besideOwner(frame, frames);
      break;
  }
  return pulledInside(frame, frames.available, frames.minimum);
}

QMargins WindowPlacement::frameOf(const QWidget& window) {
  const QRect frame = window.frameGeometry();
  const QRect client = window.geometry();
  if (frame == client) return assumedFrame();
  return {client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
          frame.bottom() - client.bottom()};
}

void WindowPlacement::placeOnScreen(QWidget& window, StartUpPosition position,
                                    const QWidget* owner) {
  const QWidget* ownerWindow = owner != nullptr ? owner->window() : nullptr;
  const QScreen* screen = ownerWindow != nullptr ? ownerWindow->screen() : window.screen();
  if (screen == nullptr) screen = QApplication::primaryScreen();
  if (screen == nullptr) return;
  const QMargins margins = frameOf(window);
  QSize minimum = window.minimumSize();
  if (window.minimumSizeHint().isValid()) minimum = minimum.expandedTo(window.minimumSizeHint());
  Frames frames;
  frames.window = QRect(window.pos(), window.size().grownBy(margins));
  frames.owner = ownerWindow != nullptr ? ownerWindow->frameGeometry() : QRect();
  frames.available = screen->availableGeometry();
  frames.minimum = minimum.boundedTo(window.size()).grownBy(margins);
  for (const QWidget* other : QApplication::topLevelWidgets()) {
    if (other != &window && other != ownerWindow && other->isVisible() &&
        (other->windowType() == Qt::Window || other->windowType() == Qt::Dialog)) {
      frames.others.append(other->frameGeometry());
    }
  }
  const QRect first = firstFrame(position, frames);
  if (first.size() != frames.window.size()) window.resize(first.size().shrunkBy(margins));
  window.move(first.topLeft());
}

}  // namespace ostrel
