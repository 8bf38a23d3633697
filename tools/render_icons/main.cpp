// Renders the program's SVG artwork to the PNGs the program and the desktop
// use. Window and button pictures are reduced to the classic 16-colour
// palette (plus transparency), as the program's icons always were; desktop
// sizes keep full colour.
//
//   render_icons SVG OUT.png WIDTH HEIGHT [--16-colours]

#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QTextStream>
#include <climits>

namespace {

// The 16 colours of the classic VGA palette.
const QList<QRgb> kPalette{0xFF000000, 0xFF800000, 0xFF008000, 0xFF808000, 0xFF000080, 0xFF800080,
                           0xFF008080, 0xFFC0C0C0, 0xFF808080, 0xFFFF0000, 0xFF00FF00, 0xFFFFFF00,
                           0xFF0000FF, 0xFFFF00FF, 0xFF00FFFF, 0xFFFFFFFF};

QImage renderBig(QSvgRenderer& svg, QSize size) {
  QImage big(size, QImage::Format_ARGB32_Premultiplied);
  big.fill(Qt::transparent);
  QPainter painter(&big);
  svg.render(&painter, QRectF(QPointF(0, 0), QSizeF(big.size())));
  painter.end();
  return big.convertToFormat(QImage::Format_ARGB32);
}

int distance(QRgb a, QRgb b) {
  const int dr = qRed(a) - qRed(b), dg = qGreen(a) - qGreen(b), db = qBlue(a) - qBlue(b);
  // Weighted towards green, as the eye is.
  return 3 * dr * dr + 4 * dg * dg + 2 * db * db;
}

constexpr int kTransparent = 16;

int nearest(QRgb pixel) {
  if (qAlpha(pixel) < 128) return kTransparent;
  int best = 0;
  int bestDistance = INT_MAX;
  for (int i = 0; i < kPalette.size(); ++i) {
    const int d = distance(pixel, kPalette[i]);
    if (d < bestDistance) bestDistance = d, best = i;
  }
  return best;
}

// Each pixel takes the palette colour that covers most of its oversampled
// block, instead of the average: edges stay crisp instead of turning into
// grey fringes. Black outlines count a little extra so thin diagonal lines
// do not break up.
QImage toSixteenColours(const QImage& big, QSize size, int oversample) {
  QImage out(size, QImage::Format_Indexed8);
  QList<QRgb> table = kPalette;
  table.append(qRgba(0, 0, 0, 0));
  out.setColorTable(table);
  for (int y = 0; y < size.height(); ++y) {
    for (int x = 0; x < size.width(); ++x) {
      double votes[17] = {};
      for (int sy = 0; sy < oversample; ++sy)
        for (int sx = 0; sx < oversample; ++sx)
          votes[nearest(big.pixel(x * oversample + sx, y * oversample + sy))] += 1.0;
      votes[0] *= 1.6;
      int best = 0;
      for (int i = 1; i < 17; ++i)
        if (votes[i] > votes[best]) best = i;
      out.setPixel(x, y, uint(best));
    }
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  const QStringList args = QCoreApplication::arguments();
  QTextStream err(stderr);
  if (args.size() < 5) {
    err << "usage: render_icons SVG OUT.png WIDTH HEIGHT [--16-colours]\n";
    return 2;
  }
  QSvgRenderer svg(args[1]);
  if (!svg.isValid()) {
    err << "cannot read " << args[1] << "\n";
    return 1;
  }
  const QSize size(args[3].toInt(), args[4].toInt());
  const bool sixteen = args.contains(QStringLiteral("--16-colours"));
  constexpr int kOversample = 8;
  const QImage big = renderBig(svg, size * kOversample);
  const QImage image = sixteen ? toSixteenColours(big, size, kOversample)
                               : big.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  if (!image.save(args[2], "PNG")) {
    err << "cannot write " << args[2] << "\n";
    return 1;
  }
  return 0;
}
