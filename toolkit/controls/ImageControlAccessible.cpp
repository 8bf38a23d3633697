#include "toolkit/controls/ImageControlAccessible.h"

#include "toolkit/controls/ImageControl.h"

namespace ostrel {

namespace {

QAccessibleInterface* imageControlFactory(const QString& className, QObject* object) {
  if (className != QLatin1String("ostrel::ImageControl") || !object || !object->isWidgetType()) {
    return nullptr;
  }
  return new ImageControlAccessible(static_cast<ImageControl*>(object));
}

}  // namespace

ImageControlAccessible::ImageControlAccessible(ImageControl* image)
    : QAccessibleWidget(image, QAccessible::Graphic) {}

void ImageControlAccessible::install() {
  static const bool installed = [] {
    QAccessible::installFactory(imageControlFactory);
    return true;
  }();
  Q_UNUSED(installed);
}

QStringList ImageControlAccessible::actionNames() const {
  QStringList names = QAccessibleWidget::actionNames();
  if (static_cast<const ImageControl*>(widget())->acts()) names.prepend(pressAction());
  return names;
}

void ImageControlAccessible::doAction(const QString& actionName) {
  if (actionName == pressAction() && static_cast<ImageControl*>(widget())->acts()) {
    emit static_cast<ImageControl*>(widget())->Click();
    return;
  }
  QAccessibleWidget::doAction(actionName);
}

QStringList ImageControlAccessible::keyBindingsForAction(const QString& actionName) const {
  if (actionName == pressAction() && widget()->focusPolicy() != Qt::NoFocus) {
    return {QStringLiteral("Return"), QStringLiteral("Space")};
  }
  return QAccessibleWidget::keyBindingsForAction(actionName);
}

}  // namespace ostrel
