#pragma once

#include <QImage>
#include <QList>

namespace ostrel {

// The frames of a moving picture, each the whole screen as it is shown, in
// order, with how long it stays.
class Animation {
 public:
  struct Frame {
    QImage image;
    int delayMs = 0;
  };

  QList<Frame> frames;
  // How many times the frames play before the last one stays: 0 for ever.
  int plays = 1;
  // The frames stop early: the file asked for more than the frame budget
  // holds, or went wrong after these.
  bool cut = false;
};

}  // namespace ostrel
