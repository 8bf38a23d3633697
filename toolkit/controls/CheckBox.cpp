#include "toolkit/controls/CheckBox.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace ostrel {

namespace {
// Room between the tick box and its caption as the design layouts measured
// it, and the least it may shrink to.
constexpr int kSpacing = 3;
constexpr int kTightSpacing = 2;
// Room kept between a caption and the control that covers the box's right
// part, so the two do not read as one.
constexpr int kNeighbourGap = 3;
// The narrowest cut a caption short of room is drawn in before it is
// shortened, in percent of the normal width.
constexpr int kNarrowest = 80;
}  // namespace

CheckBox::CheckBox(QWidget* parent, const QString& name, ScaleMode mode)
    : QCheckBox(parent), ControlGeometry(this, mode) {
  setObjectName(name);
  connect(this, &QCheckBox::toggled, this, &CheckBox::Click);
}

void CheckBox::setCaption(const QString& caption) {
  setText(caption);
  updateToolTip();
}

int CheckBox::uncoveredWidth() const {
  int width = this->width();
  const QWidget* parent = parentWidget();
  if (parent == nullptr) return width;
  for (const QObject* child : parent->children()) {
    const auto* sibling = qobject_cast<const QWidget*>(child);
    if (sibling == nullptr || sibling == this || sibling->isHidden() || sibling->isWindow()) {
      continue;
    }
    const QRect other = sibling->geometry();
    if (other.left() > x() && other.intersects(geometry())) {
      width = std::min(width, other.left() - x() - kNeighbourGap);
    }
  }
  return width;
}

int CheckBox::indicatorEnd() const {
  QStyleOptionButton option;
  initStyleOption(&option);
  return style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, this).right() + 1;
}

QFont CheckBox::captionFont() const {
  QFont narrow = font();
  const int room = uncoveredWidth() - indicatorEnd() - kTightSpacing;
  const int needed = fontMetrics().horizontalAdvance(text());
  if (text().isEmpty() || needed <= room || room <= 0) return narrow;
  narrow.setStretch(std::max(kNarrowest, 100 * room / needed));
  return narrow;
}

QRect CheckBox::captionRect() const {
  const int room = uncoveredWidth();
  const int needed = QFontMetrics(captionFont()).horizontalAdvance(text());
  int left = indicatorEnd() + kSpacing;
  if (left + needed > room) left = std::max(indicatorEnd() + kTightSpacing, room - needed);
  return {left, 0, std::max(0, room - left), height()};
}

QString CheckBox::shownCaption() const {
  return QFontMetrics(captionFont()).elidedText(text(), Qt::ElideRight, captionRect().width());
}

void CheckBox::updateToolTip() {
  setToolTip(shownCaption() != text() ? text() : QString());
}

void CheckBox::paintEvent(QPaintEvent* /*event*/) {
  QStylePainter painter(this);
  QStyleOptionButton option;
  initStyleOption(&option);
  QStyleOptionButton box = option;
  box.rect = style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, this);
  painter.drawPrimitive(QStyle::PE_IndicatorCheckBox, box);
  const QRect caption = captionRect();
  const QString shown = shownCaption();
  painter.setFont(captionFont());
  painter.drawItemText(caption, Qt::AlignLeft | Qt::AlignVCenter, palette(), isEnabled(), shown,
                       QPalette::WindowText);
  if (hasFocus()) {
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    const int textWidth = painter.fontMetrics().horizontalAdvance(shown);
    focus.rect =
        QRect(caption.left() - 1, 1, std::min(textWidth, caption.width()) + 2, height() - 2);
    painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
  }
}

void CheckBox::resizeEvent(QResizeEvent* event) {
  QCheckBox::resizeEvent(event);
  updateToolTip();
}

void CheckBox::moveEvent(QMoveEvent* event) {
  QCheckBox::moveEvent(event);
  updateToolTip();
}

CheckBoxArray::CheckBoxArray(QWidget* parent, const QString& name, int count, ScaleMode mode)
    : QObject(parent) {
  setObjectName(name);
  for (int i = 0; i < count; ++i) {
    auto* box = new CheckBox(parent, QStringLiteral("%1_%2").arg(name).arg(i), mode);
    connect(box, &CheckBox::Click, this, [this, i] { emit Click(i); });
    boxes_.push_back(box);
  }
}

}  // namespace ostrel
