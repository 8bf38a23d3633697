#include "toolkit/controls/CommandButton.h"

#include <QStyleOptionButton>
#include <QStylePainter>
#include <algorithm>

namespace ostrel {

namespace {
// Room a caption keeps on each side, inside the button's frame.
constexpr int kSideRoom = 6;
// The narrowest cut a caption is drawn in, in percent of the normal width.
constexpr int kNarrowest = 75;
}  // namespace

CommandButton::CommandButton(QWidget* parent, const QString& name, ScaleMode mode)
    : QPushButton(parent), ControlGeometry(this, mode) {
  setObjectName(name);
  setAutoDefault(false);
  connect(this, &QPushButton::clicked, this, &CommandButton::Click);
}

}  // namespace ostrel

namespace ostrel {

QFont CommandButton::captionFont() const {
  QFont narrow = font();
  if (text().isEmpty()) return narrow;
  const int iconRoom = icon().isNull() ? 0 : iconSize().width() + kSideRoom;
  const int room = width() - 2 * kSideRoom - iconRoom;
  const int needed = fontMetrics().horizontalAdvance(text());
  if (needed <= room || room <= 0) return narrow;
  narrow.setStretch(std::max(kNarrowest, 100 * room / needed));
  return narrow;
}

void CommandButton::paintEvent(QPaintEvent* /*event*/) {
  QStylePainter painter(this);
  QStyleOptionButton option;
  initStyleOption(&option);
  const QFont caption = captionFont();
  painter.setFont(caption);
  option.fontMetrics = QFontMetrics(caption);
  painter.drawControl(QStyle::CE_PushButton, option);
}

}  // namespace ostrel
