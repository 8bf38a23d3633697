#include "toolkit/controls/DriveListBox.h"

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QSignalBlocker>
#include <QStyleOptionComboBox>
#include <QStylePainter>

#include "toolkit/Services.h"
#include "toolkit/files/FileNames.h"

namespace ostrel {

DriveListBox::DriveListBox(QWidget* parent, const QString& name, ScaleMode mode)
    : QComboBox(parent), ControlGeometry(this, mode) {
  setObjectName(name);
  relist(FileNames::currentFolder());
  connect(this, &QComboBox::currentIndexChanged, this, &DriveListBox::Change);
  connect(this, &QComboBox::currentIndexChanged, this, &DriveListBox::updateToolTip);
  setAccessibleLabel(QCoreApplication::translate("DriveListBox", "Drives"));
}

void DriveListBox::setAccessibleLabel(const QString& text) {
  setAccessibleName(text);
  if (parentWidget() == nullptr) return;
  if (label_ == nullptr) {
    label_ = new QLabel(parentWidget());
    label_->setObjectName(objectName() + QStringLiteral("_label"));
    label_->hide();
    label_->setBuddy(this);
  }
  label_->setText(text);
}

QString DriveListBox::shownText() const {
  QStyleOptionComboBox option;
  initStyleOption(&option);
  const QRect field =
      style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
  // The middle goes, so both the start of the mount point and the name stay.
  return fontMetrics().elidedText(currentText(), Qt::ElideMiddle, field.width());
}

void DriveListBox::updateToolTip() {
  setToolTip(shownText() != currentText() ? currentText() : QString());
}

void DriveListBox::paintEvent(QPaintEvent* /*event*/) {
  QStylePainter painter(this);
  QStyleOptionComboBox option;
  initStyleOption(&option);
  painter.drawComplexControl(QStyle::CC_ComboBox, option);
  option.currentText = shownText();
  painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

void DriveListBox::resizeEvent(QResizeEvent* event) {
  QComboBox::resizeEvent(event);
  updateToolTip();
}

void DriveListBox::relist(const QString& keepRoot) {
  const QSignalBlocker block(this);
  volumes_ = services().volumes != nullptr ? services().volumes->volumes() : QList<Volume>{};
  clear();
  int widest = 0;
  for (const Volume& v : volumes_) {
    const QString text = designation(v);
    addItem(text);
    setItemData(count() - 1, text, Qt::ToolTipRole);
    widest = std::max(widest, fontMetrics().horizontalAdvance(text));
  }
  // The open list shows every designation whole, however narrow the box.
  view()->setMinimumWidth(widest + 2 * style()->pixelMetric(QStyle::PM_DefaultFrameWidth) + 24);
  setCurrentIndex(indexForPath(keepRoot));
  updateToolTip();
}

void DriveListBox::showPopup() {
  // A volume that went away leaves the selection on the one holding it.
  relist(rootOfDesignation(Drive()));
  QComboBox::showPopup();
}

QString DriveListBox::designation(const Volume& volume) {
  return QStringLiteral("%1 [%2]").arg(volume.root, volume.label);
}

QString DriveListBox::rootOfDesignation(const QString& designation) {
  // "root [label]": the root runs up to the first " [".
  if (!designation.startsWith(QLatin1Char('/')) || !designation.endsWith(QLatin1Char(']'))) {
    return {};
  }
  const qsizetype bracket = designation.indexOf(QStringLiteral(" ["));
  return bracket > 0 ? designation.left(bracket) : QString();
}

QString DriveListBox::volumeRootOf(const QString& path, const QList<Volume>& volumes) {
  QString best = QStringLiteral("/");
  for (const Volume& v : volumes) {
    const bool inside =
        path == v.root ||
        path.startsWith(v.root.endsWith(QLatin1Char('/')) ? v.root : v.root + QLatin1Char('/'));
    if (inside && v.root.size() > best.size()) best = v.root;
  }
  return best;
}

int DriveListBox::indexForPath(const QString& driveOrPath) const {
  QString root = rootOfDesignation(driveOrPath);
  if (root.isEmpty()) root = volumeRootOf(driveOrPath, volumes_);
  for (int i = 0; i < volumes_.size(); ++i) {
    if (volumes_[i].root == root) return i;
  }
  return volumes_.isEmpty() ? -1 : 0;
}

void DriveListBox::setDrive(const QString& driveOrPath) {
  setCurrentIndex(indexForPath(driveOrPath));
}

void DriveListBox::showVolumeOf(const QString& path) {
  // Read afresh: the volume the lists were on may have gone since.
  relist(path);
}

}  // namespace ostrel
