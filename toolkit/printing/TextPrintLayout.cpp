#include "toolkit/printing/TextPrintLayout.h"

#include <QPagedPaintDevice>
#include <QPainter>
#include <QPrinter>
#include <QTextLayout>

namespace ostrel {

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

int TextPrintLayout::paint(QPainter& painter, QPagedPaintDevice& device, const PrintDocument& text,
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
  const qint64 total = text.length();
  PrintDocument::Reader reader(text);
  while (!reader.atEnd()) {
    const PrintDocument::Reader::Stretch stretch = reader.line(kLayoutUnits);
    QTextLayout layout(stretch.text.toString(), font, &device);
    layout.setTextOption(option);
    layout.beginLayout();
    qreal height = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
      line.setLineWidth(page.width());
      line.setPosition(QPointF(0, height));
      height += line.height();
    }
    layout.endLayout();
    // Of a line that goes on, the last row is laid out again with what
    // follows it, so a long line wraps exactly as it would in one piece.
    int rows = layout.lineCount();
    qsizetype used = stretch.text.size();
    if (!stretch.ends && rows > 1) {
      --rows;
      used = layout.lineAt(rows).textStart();
    }
    for (int i = 0; i < rows; ++i) {
      const QTextLine line = layout.lineAt(i);
      if (y > 0 && y + line.height() > page.height()) {
        numberPage();
        if (progress && !progress(reader.position(), total)) {
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
    reader.pass(used);
  }
  numberPage();
  return pages;
}

}  // namespace ostrel
