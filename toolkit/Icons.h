#pragma once

#include <QIcon>

namespace ostrel {

// The program's own artwork, from the icon resources, each with a drawing of
// twice the pixels for screens with a device pixel ratio of 2.
class Icons {
 public:
  static QIcon program();             // main window, About window, desktop
  static QIcon viewer();              // the picture viewer's eye
  static QIcon textWindow();          // a hand writing with a yellow pencil
  static QIcon arrowAnticlockwise();  // the 12-point button: 24 x 23 pixels
  static QIcon arrowClockwise();      // the 10-point button: 24 x 23 pixels
  static QIcon folderOpen();          // the folder list: the path down to here
  static QIcon folderClosed();        // the folder list: the subfolders
};

}  // namespace ostrel
