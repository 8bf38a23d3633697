#pragma once

#include <QList>
#include <QRect>

class QWidget;

namespace ostrel {

// Where a window goes when it is first shown. Whatever the rule, the window
// ends inside the available area of its screen (the screen less panels and
// docks): without a window manager nobody else would bring back a window
// that opens off the screen, or under a panel.
enum class StartUpPosition {
  Manual,        // its own place (the design place), pulled onto the screen
  CenterScreen,  // the middle of its owner's screen
  CenterOwner,   // centred over its owner
  // Beside its owner where it covers none of it, smaller if it must be; on
  // a screen too small for that, where it covers the least of the owner.
  BesideOwner,
};

class WindowPlacement {
 public:
  struct Frames {
    QRect window;     // the window's frame where it stands now
    QRect owner;      // the owner's frame; null for a window without owner
    QRect available;  // the screen's available area
    QSize minimum;    // the smallest frame the window takes (its size if fixed)
    // The program's other windows on the screen, which a window beside the
    // owner covers as little as it can.
    QList<QRect> others;
  };

  // The frame a window takes first, all in the same pixels: moved, and made
  // smaller only where the screen (or, beside the owner, the free side)
  // cannot hold it at its size.
  static QRect firstFrame(StartUpPosition position, const Frames& frames);

  // Places a top-level window that is about to be shown for the first time
  // by the rule, on its owner's screen (else the screen it stands on). Any
  // window may use it: the program's forms do it themselves, dialogs and
  // other top-level widgets call it before their first show.
  static void placeOnScreen(QWidget& window, StartUpPosition position,
                            const QWidget* owner = nullptr);

  // The frame a window manager puts around a sizable window, where the
  // platform does not tell it (no window manager, or not mapped yet): 4
  // pixels of border on each side and a 23-pixel title bar.
  static QMargins assumedFrame() { return {4, 23, 4, 4}; }
  // The frame around window's interior: the real one where known, else
  // the assumed one.
  static QMargins frameOf(const QWidget& window);
};

}  // namespace ostrel
