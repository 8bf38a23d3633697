#pragma once

#include <QByteArray>
#include <QFont>
#include <QString>
#include <cstdint>
#include <vector>

#include "toolkit/metafile/GdiObject.h"

namespace ostrel {

// Picks an installed face for a metafile font and decodes its 8-bit text.
// Metafiles name the fonts of the machine that wrote them; the metric-compatible
// Liberation faces stand in for the common ones so text keeps its width.
class FontMapper {
 public:
  // The family to ask Qt for.
  static QString familyFor(const GdiFont& font);
  // True for fonts whose 8-bit codes are symbols rather than letters.
  static bool isSymbolFont(const GdiFont& font);
  // Decodes text from an 8-bit record according to the font's character set;
  // a symbol font's codes come back as Latin-1, one character a byte.
  static QString decodeAnsi(const QByteArray& bytes, const GdiFont& font);
  // A spacing array given per byte of 8-bit text, as it falls on the UTF-16
  // units decodeAnsi makes of it: a double-byte character advances by both
  // its bytes' entries (the second half of a surrogate pair by none).
  static std::vector<double> spacingPerCharacter(const QByteArray& bytes, const GdiFont& font,
                                                 const std::vector<double>& perByte);
  // Maps text in a symbol font (its codes as Latin-1 or in the U+F0xx private-use
  // range) to the Unicode characters its glyphs show; a code may become a
  // surrogate pair, an empty one a space. Codes of symbol fonts without a
  // chart stay as they are.
  static QString mapSymbols(const QString& text, const GdiFont& font);
};

}  // namespace ostrel
