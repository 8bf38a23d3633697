#pragma once

#include <QIcon>
#include <QPixmap>

namespace ostrel {

// The program's own artwork, from the icon resources.
class Icons {
 public:
  static QIcon program();               // main window, About window, desktop
  static QIcon viewer();                // the picture viewer's eye
  static QIcon textWindow();            // a hand writing with a yellow pencil
  static QPixmap arrowAnticlockwise();  // the 12-point button
  static QPixmap arrowClockwise();      // the 10-point button
  static QIcon folderOpen();            // the folder list: the path down to here
  static QIcon folderClosed();          // the folder list: the subfolders
};

}  // namespace ostrel
