#pragma once

#include <QAccessibleWidget>

namespace ostrel {

class ImageControl;

// What a screen reader sees of a picture control: a picture, named by its
// owner after what it shows; where a click does something, a press does
// the same.
class ImageControlAccessible : public QAccessibleWidget {
 public:
  explicit ImageControlAccessible(ImageControl* image);

  // Makes Qt's accessibility use this class for every picture control (once).
  static void install();

  QStringList actionNames() const override;
  void doAction(const QString& actionName) override;
  QStringList keyBindingsForAction(const QString& actionName) const override;
};

}  // namespace ostrel
