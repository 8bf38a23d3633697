#include "toolkit/printing/TextPrintLayout.h"

#include <QPagedPaintDevice>
#include <QPainter>
#include <QTextLayout>

#include "toolkit/files/LineEnds.h"

namespace ostrel {

int TextPrintLayout::paint(QPainter& painter, QPagedPaintDevice& device, const QString& text,
                           const Progress& progress, bool* cancelled) const {
  if (cancelled) *cancelled = false;
  // The painter's origin is the top left of the printable area inside the
  // page margins, so the page rectangle is simply the device's size.
  const QSizeF page(device.width(), device.height());
  QFont font(font_, &device);
  painter.setFont(font);
  painter.setPen(Qt::black);
  QTextOption option;
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  option.setTabStopDistance(QFontMetricsF(font, &device).horizontalAdvance(QLatin1Char(' ')) * 8);

  int pages = 1;
  qreal y = 0;
  const QStringView all(text);
  qsizetype start = 0;
  while (start < all.size()) {
    qsizetype end = start;
    LineEnds::Match ending{LineEnds::Kind::CrLf, 0};
    while (end < all.size() && (ending = LineEnds::matchAt(all, end)).length == 0) ++end;

    QTextLayout layout(all.sliced(start, end - start).toString(), font, &device);
    layout.setTextOption(option);
    layout.beginLayout();
    qreal height = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
      line.setLineWidth(page.width());
      line.setPosition(QPointF(0, height));
      height += line.height();
    }
    layout.endLayout();
    for (int i = 0; i < layout.lineCount(); ++i) {
      const QTextLine line = layout.lineAt(i);
      if (y > 0 && y + line.height() > page.height()) {
        if (progress && !progress(start, all.size())) {
          if (cancelled) *cancelled = true;
          return pages;
        }
        device.newPage();
        ++pages;
        y = 0;
      }
      line.draw(&painter, QPointF(0, y - line.y()));
      y += line.height();
    }
    start = end + ending.length;
  }
  return pages;
}

}  // namespace ostrel
