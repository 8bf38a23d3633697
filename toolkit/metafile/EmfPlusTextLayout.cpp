#include "toolkit/metafile/EmfPlusTextLayout.h"

#include <QFontMetricsF>
#include <QTextLayout>

#include "toolkit/metafile/EmfPlusNames.h"

namespace ostrel {

namespace {

// Lines of one string beyond this are not laid out: no layout box holds them.
constexpr int kMaxLines = 4096;

}  // namespace

double EmfPlusTextLayout::aligned(double start, double room, double length, uint32_t alignment) {
  switch (alignment) {
    case emfplus::kAlignCenter:
      return start + (room - length) / 2;
    case emfplus::kAlignFar:
      return start + room - length;
    default:
      return start;
  }
}

EmfPlusTextLayout::EmfPlusTextLayout(const QString& text, const QFont& font, const QRectF& box,
                                     uint32_t alignment, uint32_t lineAlignment, bool wrap) {
  QString shaped = text;
  shaped.replace(QLatin1String("\r\n"), QString(QChar::LineSeparator));
  shaped.replace(QLatin1Char('\n'), QChar::LineSeparator);
  shaped.replace(QLatin1Char('\r'), QChar::LineSeparator);
  QTextLayout layout(shaped, font);
  QTextOption option;
  const bool wraps = wrap && box.width() > 0;
  option.setWrapMode(wraps ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::NoWrap);
  layout.setTextOption(option);
  layout.beginLayout();
  std::vector<QTextLine> lines;
  while (int(lines.size()) < kMaxLines) {
    QTextLine line = layout.createLine();
    if (!line.isValid()) break;
    line.setLineWidth(wraps ? box.width() : 1e9);
    lines.push_back(line);
  }
  layout.endLayout();
  const QFontMetricsF metrics(font);
  const double height = metrics.height();
  const double top = aligned(box.top(), box.height(), height * double(lines.size()), lineAlignment);
  for (size_t i = 0; i < lines.size(); ++i) {
    const QTextLine& line = lines[i];
    QString part = shaped.mid(line.textStart(), line.textLength());
    while (!part.isEmpty() && (part.back() == QChar::LineSeparator || part.back().isSpace()))
      part.chop(1);
    const double width = metrics.horizontalAdvance(part);
    const double x = aligned(box.left(), box.width(), width, alignment);
    lines_.push_back({part, QPointF(x, top + height * double(i) + metrics.ascent()), width});
  }
}

}  // namespace ostrel
