#include "toolkit/printing/TextPrintLayout.h"

#include <QPagedPaintDevice>
#include <QPainter>
#include <QPrinter>
#include <QTextLayout>

namespace ostrel {

namespace {

// The line end at text[i]: its length, or 0.
int lineEndAt(QStringView text, qsizetype i) {
  if (text[i] == u'\n') return 1;
  if (text[i] != u'\r') return 0;
  return i + 1 < text.size() && text[i + 1] == u'\n' ? 2 : 1;
}

}  // namespace

TextPrintLayout::Areas TextPrintLayout::areasOn(const QPagedPaintDevice& device,
                                                qreal lineHeight) const {
  const QPageLayout layout = device.pageLayout();
  const int dpi = device.logicalDpiX();
  const QRectF paper = layout.fullRectPixels(dpi);
  // The part of the paper the printer reaches (inside the margins of the
  // page set-up); the painter's origin is its top left unless the whole
  // sheet is the page.
  const QRectF printable = layout.paintRectPixels(dpi);
  const auto* printer = dynamic_cast<const QPrinter*>(&device);
  const QPointF origin =
      printer != nullptr && printer->fullPage() ? paper.topLeft() : printable.topLeft();
  const qreal margin = kMarginMillimetres / 25.4 * dpi;
  QRectF text = paper.adjusted(margin, margin, -margin, -margin).intersected(printable);
  if (text.height() < 4 * lineHeight || text.width() < 4 * lineHeight) text = printable;
  // The number halfway down the bottom margin, or on the text's last line
  // where the printer cannot reach that far.
  QRectF number(text.left(), text.bottom() + (paper.bottom() - text.bottom() - lineHeight) / 2,
                text.width(), lineHeight);
  if (number.bottom() > printable.bottom()) number.moveBottom(printable.bottom());
  if (number.top() < text.bottom()) text.setBottom(number.top() - lineHeight / 2);
  return {text.translated(-origin), number.translated(-origin)};
}

int TextPrintLayout::paint(QPainter& painter, QPagedPaintDevice& device, const QString& text,
                           const Progress& progress, bool* cancelled) const {
  if (cancelled) *cancelled = false;
  QFont font(font_, &device);
  painter.setFont(font);
  painter.setPen(Qt::black);
  const QFontMetricsF metrics(font, &device);
  const Areas areas = areasOn(device, metrics.height());
  const QRectF& page = areas.text;
  QTextOption option;
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  option.setTabStopDistance(metrics.horizontalAdvance(QLatin1Char(' ')) * 8);

  int pages = 1;
  const auto numberPage = [&] {
    painter.drawText(areas.pageNumber, Qt::AlignCenter, QString::number(pages));
  };
  qreal y = 0;
  const QStringView all(text);
  qsizetype start = 0;
  while (start < all.size()) {
    qsizetype end = start;
    int ending = 0;
    while (end < all.size() && (ending = lineEndAt(all, end)) == 0) ++end;

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
        numberPage();
        if (progress && !progress(start, all.size())) {
          if (cancelled) *cancelled = true;
          return pages;
        }
        device.newPage();
        ++pages;
        y = 0;
      }
      line.draw(&painter, page.topLeft() + QPointF(0, y - line.y()));
      y += line.height();
    }
    start = end + ending;
  }
  numberPage();
  return pages;
}

}  // namespace ostrel
