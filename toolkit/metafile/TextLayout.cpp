#include "toolkit/metafile/TextLayout.h"

#include <QFontMetricsF>
#include <QRawFont>
#include <algorithm>
#include <cmath>

#include "toolkit/metafile/FontMapper.h"
#include "toolkit/metafile/GdiNames.h"
#include "toolkit/metafile/GdiPlayer.h"

namespace ostrel {

namespace {

// Spacing given per character of source, for the text it was mapped to: a
// character that became a surrogate pair keeps its advance on the first half
// and none on the second.
std::vector<double> spreadOver(const QString& source, const QString& mapped,
                               const std::vector<double>& perSource) {
  if (mapped.size() == source.size() || perSource.size() < size_t(source.size())) return perSource;
  std::vector<double> out;
  out.reserve(size_t(mapped.size()));
  for (qsizetype i = 0, j = 0; i < source.size() && j < mapped.size(); ++i, ++j) {
    out.push_back(perSource[size_t(i)]);
    if (mapped.at(j).isHighSurrogate() && !source.at(i).isHighSurrogate()) {
      out.push_back(0);
      ++j;
    }
  }
  return out;
}

}  // namespace

TextLayout::TextLayout(const TextRun& run, const DeviceContext& dc, const QTransform& l2d,
                       QPointF reference)
    : indices_((run.options & U_ETO_GLYPH_INDEX) != 0), align_(dc.textAlign) {
  const GdiFont& f = dc.font;
  const double sx = std::hypot(l2d.m11(), l2d.m12());
  const double sy = std::hypot(l2d.m21(), l2d.m22());
  text_ = run.text;
  dx_ = run.dx;
  dy_ = run.dy;
  if (FontMapper::isSymbolFont(f) && !indices_) {
    text_ = FontMapper::mapSymbols(run.text, f);
    dx_ = spreadOver(run.text, text_, run.dx);
    dy_ = spreadOver(run.text, text_, run.dy);
  }
  // A terminator counted into the string is drawn by GDI as the empty glyph
  // fonts map it to; Qt would draw its missing-glyph box. A zero-width space
  // draws nothing and keeps the character's place in the spacing array.
  if (!indices_) text_.replace(QChar(0), QChar(0x200B));
  sizeFont(f, sy);

  const QFontMetricsF fm(font_);
  if (f.width != 0) {
    const double avg = fm.averageCharWidth() * k_;
    if (avg > 0) stretch_ = std::clamp(std::abs(double(f.width)) * sx / avg, 0.05, 20.0);
  }

  // Advances along the baseline in device pixels, and the rise of the
  // baseline over the run (layout units, down the screen).
  const qsizetype n = text_.size();
  advance_.resize(size_t(n));
  const bool useDx = dx_.size() >= size_t(n) && n > 0;
  const bool useDy = useDx && dy_.size() >= size_t(n);
  const std::vector<double> own = naturalAdvances();
  double natural = 0;
  for (qsizetype i = 0; i < n; ++i) {
    natural += own[size_t(i)];
    advance_[size_t(i)] =
        useDx ? dx_[size_t(i)] * sx : own[size_t(i)] * stretch_ + dc.textCharExtra * sx;
    width_ += advance_[size_t(i)];
    if (useDy) rise_ -= dy_[size_t(i)] * sy;
  }
  if (useDx && spacedAsUnstretched(natural)) stretch_ = 1;

  // The escapement turns the baseline counterclockwise in logical units, so
  // under a mapping that flips one axis it turns the other way on the page:
  // a label at 270 degrees on a y-up chart reads upwards, as GDI draws it.
  // In double: the escapement may be INT32_MIN, which has no negative int.
  const bool flipped = l2d.determinant() < 0;
  double angle = (flipped ? 1.0 : -1.0) * double(f.escapement) / 10.0;
  double base = std::atan2(l2d.m12(), l2d.m11()) * 180 / M_PI;
  if (flipped && std::cos(base * M_PI / 180) < 0) base += 180;
  angle += base;

  // A run whose baseline rises is aligned by both ends of it.
  if ((align_ & U_TA_CENTER) == U_TA_CENTER) {
    x0_ = -width_ / 2;
    y0_ = -rise_ / 2;
  } else if (align_ & U_TA_RIGHT) {
    x0_ = -width_;
    y0_ = -rise_;
  }
  baseline_ = ascent_;
  if ((align_ & U_TA_BASELINE) == U_TA_BASELINE)
    baseline_ = 0;
  else if (align_ & U_TA_BOTTOM)
    baseline_ = -descent_;

  const QPointF devRef = l2d.map(reference);
  toDevice_.translate(devRef.x(), devRef.y());
  toDevice_.rotate(angle);
  placeGlyphs(sy, useDx, dc.textCharExtra != 0);
}

void TextLayout::sizeFont(const GdiFont& f, double sy) {
  // Qt takes whole pixel sizes; the remainder goes into the glyph scale.
  double px = (f.height == 0 ? 12.0 : std::abs(double(f.height))) * sy;
  px = std::clamp(px, 0.01, 20000.0);
  font_ = QFont(FontMapper::familyFor(f));
  font_.setKerning(false);
  font_.setWeight(
      QFont::Weight(std::clamp(f.weight == U_FW_DONTCARE ? U_FW_NORMAL : f.weight, 1, 1000)));
  font_.setItalic(f.italic);
  font_.setUnderline(f.underline);
  font_.setStrikeOut(f.strikeOut);
  font_.setStyleStrategy(QFont::PreferOutline);
  pixelSize_ = std::max(1, int(std::lround(px)));
  font_.setPixelSize(pixelSize_);
  if (f.height > 0) {
    // A positive height is the cell (ascent plus descent), not the em.
    const QFontMetricsF m(font_);
    const double cell = m.ascent() + m.descent();
    if (cell > 0) px = px * pixelSize_ / cell;
    pixelSize_ = std::max(1, int(std::lround(px)));
    font_.setPixelSize(pixelSize_);
  }
  k_ = px / pixelSize_;
  const QFontMetricsF fm(font_);
  ascent_ = fm.ascent() * k_;
  descent_ = fm.descent() * k_;
}

std::vector<double> TextLayout::naturalAdvances() const {
  std::vector<double> out;
  out.reserve(size_t(text_.size()));
  if (indices_) {
    QList<quint32> glyphs;
    for (const QChar c : text_) glyphs.append(c.unicode());
    for (const QPointF a : QRawFont::fromFont(font_).advancesForGlyphIndexes(glyphs))
      out.push_back(a.x() * k_);
    out.resize(size_t(text_.size()), 0);
    return out;
  }
  const QFontMetricsF fm(font_);
  for (const QChar c : text_) out.push_back(fm.horizontalAdvance(c) * k_);
  return out;
}

void TextLayout::placeGlyphs(double sy, bool useDx, bool charExtra) {
  const qsizetype n = text_.size();
  if (n == 0) return;
  if (!useDx && !charExtra && !indices_) {
    // The font's own spacing: the run in one piece.
    glyphs_.push_back({text_, QPointF(x0_, baseline_)});
    return;
  }
  double x = x0_, y = baseline_ + y0_;
  const bool useDy = useDx && dy_.size() >= size_t(n);
  for (qsizetype i = 0; i < n; ++i) {
    const QChar c = text_.at(i);
    if (useDx && !indices_ && c.isHighSurrogate() && i + 1 < n) {
      glyphs_.push_back({text_.mid(i, 2), QPointF(x, y)});
      x += advance_[size_t(i)] + advance_[size_t(i) + 1];
      ++i;
      continue;
    }
    if (!useDx || indices_ || !c.isSpace()) glyphs_.push_back({QString(c), QPointF(x, y)});
    x += advance_[size_t(i)];
    if (useDy) y -= dy_[size_t(i)] * sy;
  }
}

QPointF TextLayout::endDevice() const {
  if ((align_ & U_TA_CENTER) == U_TA_CENTER) return toDevice_.map(QPointF(0, 0));
  // Right-aligned text ends at the reference and leaves the position at its start.
  const QPointF end = (align_ & U_TA_RIGHT) ? QPointF(x0_, y0_) : QPointF(width_, rise_);
  return toDevice_.map(end);
}

// A font widened by its width while the spacing array advances by the
// glyphs' natural widths: glyphs that wide would overlap, so the spacing is
// what the text looked like and the width a value the writer did not mean.
// (A narrowed font spaced at natural widths is letter-spaced on purpose.)
bool TextLayout::spacedAsUnstretched(double natural) const {
  if (stretch_ < 1.3 || natural <= 0) return false;
  return std::abs(width_ / natural - 1) < 0.15;
}

}  // namespace ostrel
