// Faces and characters of metafile fonts.
#include "toolkit/metafile/FontMapper.h"

#include <gtest/gtest.h>

#include <cstring>

#include "toolkit/metafile/DecoderCommon.h"
#include "toolkit/metafile/GdiPlayer.h"
#include "toolkit/metafile/TextLayout.h"
#include "toolkit/metafile/WmfRecords.h"

namespace ostrel::test {
namespace {

GdiFont face(const char* name, uint8_t charSet = U_SYMBOL_CHARSET) {
  return GdiFont{.charSet = charSet, .face = QString::fromLatin1(name)};
}

TEST(FontMapper, SymbolFontsDrawTheCharactersTheirGlyphsShow) {
  // Codes as bytes or in the private-use range; 0x7F is empty in every chart.
  const struct {
    const char* face;
    QString codes;
    QString shown;
  } cases[] = {
      {"Symbol", QStringLiteral("ab\uF0D6"), QStringLiteral("αβ√")},
      {"", QStringLiteral("p"), QStringLiteral("π")},  // no name, symbol character set
      {"Wingdings", QStringLiteral("J\uF0FC\x7F"), QStringLiteral("☺✓ ")},
      {"wingdings 2", QStringLiteral("R\uF099"), QStringLiteral("☑○")},
      {"Wingdings 3", QStringLiteral("pq"), QStringLiteral("▲▼")},
      {"Webdings", QStringLiteral("a\uF061"), QStringLiteral("aa")},  // no chart: codes kept
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.face);
    EXPECT_EQ(FontMapper::mapSymbols(c.codes, face(c.face)), c.shown);
  }
  EXPECT_EQ(FontMapper::familyFor(face("Wingdings 2")), QStringLiteral("Symbola"));
  // Symbol's letters are cut to sit among Times's: the same face draws both.
  EXPECT_EQ(FontMapper::familyFor(face("Symbol")),
            FontMapper::familyFor(face("Times New Roman", 0)));
  // Bytes reach the layout as Latin-1 and are mapped there, once.
  EXPECT_EQ(FontMapper::decodeAnsi("\xD2", face("Symbol")), QStringLiteral("\u00D2"));
}

TEST(FontMapper, ACharacterMappedToASurrogatePairKeepsItsAdvance) {
  // Wingdings' pencil (0x21) lies beyond the BMP; the victory hand (0x41) does not.
  DeviceContext dc;
  dc.font = face("Wingdings");
  dc.font.height = -20;
  dc.textAlign = U_TA_BASELINE;
  const TextLayout layout({.text = QStringLiteral("!A!"), .dx = {10, 20, 30}}, dc, QTransform(),
                          QPointF(0, 0));
  ASSERT_EQ(layout.glyphs().size(), 3u);
  EXPECT_EQ(layout.glyphs()[0].text, QString::fromUcs4(U"\U0001F589"));
  EXPECT_EQ(layout.glyphs()[1].text, QStringLiteral("✌"));
  EXPECT_DOUBLE_EQ(layout.glyphs()[1].origin.x(), 10);
  EXPECT_DOUBLE_EQ(layout.glyphs()[2].origin.x(), 30);
  EXPECT_DOUBLE_EQ(layout.width(), 60);
}

TEST(FontMapper, DoubleByteTextKeepsItsSpacingAndItsFontsName) {
  // GBK: two characters of two bytes around a one-byte letter, spaced a byte at a time.
  const GdiFont chinese = face("", U_GB2312_CHARSET);
  const QByteArray bytes(
      "\xB7\xA8"
      "a"
      "\xB5\xC4");
  EXPECT_EQ(FontMapper::decodeAnsi(bytes, chinese), QStringLiteral("法a的"));
  EXPECT_EQ(FontMapper::spacingPerCharacter(bytes, chinese, {10, 2, 7, 12, 3}),
            (std::vector<double>{12, 7, 15}));
  EXPECT_EQ(FontMapper::spacingPerCharacter("ab", face("Arial", 0), {4, 5}),
            (std::vector<double>{4, 5}));
  // A WMF font's name is written in its own character set.
  wmf::LogFont16 lf{};
  lf.lfCharSet = U_GB2312_CHARSET;
  std::memcpy(lf.lfFaceName, "\xCB\xCE\xCC\xE5", 4);
  EXPECT_EQ(metafile::fontOf(lf).face, QStringLiteral("宋体"));
}

}  // namespace
}  // namespace ostrel::test
