#include "toolkit/forms/WindowPlacement.h"

#include <QGuiApplication>
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

QRect underOwner(QRect frame, const QRect& owner, const QRect& available, int titleHeight) {
  // Under the owner, leaving the room to its right to a window that opens
  // there; with no room below, one title bar down and right, as window
  // managers cascade.
  frame.moveTopLeft({owner.left(), owner.bottom() + 1});
  if (frame.bottom() > available.bottom()) {
    frame.moveTopLeft(owner.topLeft() + QPoint(titleHeight, titleHeight));
  }
  return frame;
}

QRect besideOwner(QRect frame, const QRect& owner, const QRect& available, const QSize& minimum) {
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
  int best = -1;
  for (int side = Right; side <= Above && best < 0; ++side) {
    if (holds(free[side], frame.size())) best = side;
  }
  if (best < 0) {
    // No side holds it whole: the roomiest that holds it at its least.
    for (int side = Right; side <= Above; ++side) {
      if (holds(free[side], minimum) && (best < 0 || room(free[side]) > room(free[best]))) {
        best = side;
      }
    }
  }
  if (best < 0) return frame;
  const QRect& area = free[best];
  frame.setSize(frame.size().boundedTo(area.size()));
  switch (best) {
    case Right:
      frame.moveTopLeft({area.left(), owner.top()});
      break;
    case Below:
      frame.moveTopLeft({owner.left(), area.top()});
      break;
    case Left:
      frame.moveTopLeft({area.right() + 1 - frame.width(), owner.top()});
      break;
    default:
      frame.moveTopLeft({owner.left(), area.bottom() + 1 - frame.height()});
      break;
  }
  return pulledInside(frame, area, frame.size());
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
    case StartUpPosition::UnderOwner:
      if (owned) frame = underOwner(frame, frames.owner, frames.available, frames.titleHeight);
      break;
    case StartUpPosition::BesideOwner:
      if (owned) frame = besideOwner(frame, frames.owner, frames.available, frames.minimum);
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
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QMargins margins = frameOf(window);
  QSize minimum = window.minimumSize();
  if (window.minimumSizeHint().isValid()) minimum = minimum.expandedTo(window.minimumSizeHint());
  Frames frames;
  frames.window = QRect(window.pos(), window.size().grownBy(margins));
  frames.owner = ownerWindow != nullptr ? ownerWindow->frameGeometry() : QRect();
  frames.available = screen->availableGeometry();
  frames.minimum = minimum.boundedTo(window.size()).grownBy(margins);
  frames.titleHeight = std::max(margins.top(), assumedFrame().top());
  const QRect first = firstFrame(position, frames);
  if (first.size() != frames.window.size()) window.resize(first.size().shrunkBy(margins));
  window.move(first.topLeft());
}

}  // namespace ostrel
