// Where text goes, checked on the layout alone, without a painter.
#include "toolkit/metafile/TextLayout.h"

#include <gtest/gtest.h>
#include <uemf.h>

#include <QRawFont>

#include "toolkit/metafile/GdiPlayer.h"

namespace ostrel::test {
namespace {

constexpr uint32_t kTaRight = 2, kTaCenter = 6, kTaBaseline = 24;

DeviceContext context(uint32_t align = 0, int escapement = 0) {
  DeviceContext dc;
  dc.font.face = QStringLiteral("Arial");
  dc.font.height = -20;
  dc.font.escapement = escapement;
  dc.textAlign = align;
  return dc;
}

TextRun run(const QString& text, std::vector<double> dx = {}) {
  return {.text = text, .dx = std::move(dx)};
}

TEST(TextLayout, AlignmentPlacesTheCellAroundTheReference) {
  const QPointF ref(100, 50);
  const TextLayout left(run(QStringLiteral("Hello")), context(), QTransform(), ref);
  const TextLayout right(run(QStringLiteral("Hello")), context(kTaRight), QTransform(), ref);
  const TextLayout centre(run(QStringLiteral("Hello")), context(kTaCenter), QTransform(), ref);
  ASSERT_GT(left.width(), 0);
  EXPECT_DOUBLE_EQ(left.cell().left(), 0);
  EXPECT_DOUBLE_EQ(right.cell().right(), 0);
  EXPECT_DOUBLE_EQ(centre.cell().center().x(), 0);
  EXPECT_EQ(centre.endDevice(), ref);  // centred text leaves the current position
  // TA_TOP: the cell hangs below the reference; TA_BASELINE: the glyphs sit on it.
  EXPECT_DOUBLE_EQ(left.cell().top(), 0);
  const TextLayout onBase(run(QStringLiteral("Hello")), context(kTaBaseline), QTransform(), ref);
  EXPECT_DOUBLE_EQ(onBase.glyphs().front().origin.y(), 0);
  EXPECT_LT(onBase.cell().top(), 0);
  EXPECT_EQ(left.toDevice().map(QPointF(0, 0)), ref);
  // The run is drawn in one piece when the font spaces it.
  ASSERT_EQ(left.glyphs().size(), 1u);
  EXPECT_EQ(left.glyphs().front().text, QStringLiteral("Hello"));
}

TEST(TextLayout, EscapementsAndRisesMoveTheCurrentPositionAlongTheText) {
  const TextLayout turned(run(QStringLiteral("ab"), {10, 10}), context(kTaBaseline, 900),
                          QTransform(), QPointF(50, 50));
  const QPointF along = turned.toDevice().map(QPointF(10, 0));
  EXPECT_NEAR(along.x(), 50, 1e-9);
  EXPECT_NEAR(along.y(), 40, 1e-9);  // 90° counter-clockwise: up the screen
  EXPECT_NEAR(turned.endDevice().y(), 30, 1e-9);
  const TextLayout right(run(QStringLiteral("ab"), {10, 10}), context(kTaRight), QTransform(),
                         QPointF(50, 50));
  EXPECT_EQ(right.endDevice(), QPointF(30, 50));
  // Advances of 10 and rises of 4 logical units (y up in the record).
  const TextRun rising{.text = QStringLiteral("ab"), .dx = {10, 10}, .dy = {4, 4}};
  const TextLayout left(rising, context(kTaBaseline), QTransform(), QPointF(50, 50));
  EXPECT_EQ(left.endDevice(), QPointF(70, 42));
  // Right-aligned, the run ends at the reference and the position goes to its start.
  const TextLayout back(rising, context(kTaBaseline | kTaRight), QTransform(), QPointF(50, 50));
  EXPECT_EQ(back.glyphs().front().origin, QPointF(-20, 8));
  EXPECT_EQ(back.endDevice(), QPointF(30, 58));
}

TEST(TextLayout, TheFontIsSizedAndWeightedAsTheRecordMeans) {
  DeviceContext dc = context();
  dc.font.weight = 0;  // FW_DONTCARE
  const TextLayout any(run(QStringLiteral("Mm")), dc, QTransform(), QPointF());
  EXPECT_EQ(any.font().weight(), QFont::Normal);
  EXPECT_EQ(any.pixelSize(), 20);
  // Glyph numbers advance by their glyphs' own widths, one glyph at a time.
  const QList<quint32> numbers = QRawFont::fromFont(any.font()).glyphIndexesForString("Mm");
  ASSERT_EQ(numbers.size(), 2);
  TextRun numbered = run(QString(QChar(char16_t(numbers[0]))) + QChar(char16_t(numbers[1])));
  numbered.options = U_ETO_GLYPH_INDEX;
  const TextLayout glyphs(numbered, dc, QTransform(), QPointF());
  EXPECT_TRUE(glyphs.glyphIndices());
  EXPECT_NEAR(glyphs.width(), any.width(), 0.5);
  ASSERT_EQ(glyphs.glyphs().size(), 2u);
  EXPECT_GT(glyphs.glyphs()[1].origin.x(), glyphs.glyphs()[0].origin.x() + 5);
}

TEST(TextLayout, SpacingAtNaturalWidthsOverridesTheFontsWidth) {
  const QString text = QStringLiteral("Brad");
  const double natural = TextLayout(run(text), context(), QTransform(), QPointF()).width();
  const std::vector<double> even(4, natural / 4);
  DeviceContext wide = context();
  wide.font.width = 20;  // as wide as high: about twice the usual width
  EXPECT_GT(TextLayout(run(text), wide, QTransform(), QPointF()).glyphScale().m11(), 1.5);
  const TextLayout spaced(run(text, even), wide, QTransform(), QPointF());
  EXPECT_NEAR(spaced.glyphScale().m11(), spaced.glyphScale().m22(), 0.01);
  // A narrow font spaced at natural widths is letter-spaced, and stays narrow.
  DeviceContext narrow = context();
  narrow.font.width = 4;
  EXPECT_LT(TextLayout(run(text, even), narrow, QTransform(), QPointF()).glyphScale().m11(), 0.8);
}

}  // namespace
}  // namespace ostrel::test
