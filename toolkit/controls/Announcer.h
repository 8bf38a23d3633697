#pragma once

#include <QString>
#include <QWidget>

namespace ostrel {

// Tells a screen reader a short message as it happens ("Passed the end of
// the text…"): an alert that shows itself with the message as its name,
// which screen readers speak, where a label's new text goes unheard. It
// takes no room on the screen.
class Announcer : public QWidget {
  Q_OBJECT

 public:
  explicit Announcer(QWidget* parent);

  void announce(const QString& message);
};

}  // namespace ostrel
