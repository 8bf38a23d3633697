#include "toolkit/controls/Announcer.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace ostrel {

namespace {

QAccessibleInterface* announcerFactory(const QString& className, QObject* object) {
  if (className == QLatin1String(Announcer::staticMetaObject.className()) && object &&
      object->isWidgetType()) {
    return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::AlertMessage);
  }
  return nullptr;
}

}  // namespace

Announcer::Announcer(QWidget* parent) : QWidget(parent) {
  static const bool installed = [] {
    QAccessible::installFactory(announcerFactory);
    return true;
  }();
  Q_UNUSED(installed);
  setObjectName(QStringLiteral("Announcer"));
  setFixedSize(0, 0);
  setFocusPolicy(Qt::NoFocus);
}

void Announcer::announce(const QString& message) {
  setAccessibleName(message);
  if (message.isEmpty()) return;
  // Shown again for each message, the same one twice included.
  QAccessibleEvent shown(this, QAccessible::ObjectShow);
  QAccessible::updateAccessibility(&shown);
}

}  // namespace ostrel
