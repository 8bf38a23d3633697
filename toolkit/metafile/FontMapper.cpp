#include "toolkit/metafile/FontMapper.h"

#include <QStringDecoder>
#include <array>

#include "toolkit/metafile/GdiNames.h"

namespace ostrel {

namespace {

// Windows-1252's C1 block; the rest of the code page is Latin-1.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The Symbol font's codes 0x20..0xFF as Unicode (0 where the code is unused).
constexpr std::array<char16_t, 224> kSymbol = {
    0x0020, 0x0021, 0x2200, 0x0023, 0x2203, 0x0025, 0x0026, 0x220B, 0x0028, 0x0029, 0x2217, 0x002B,
    0x002C, 0x2212, 0x002E, 0x002F, 0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037,
    0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F, 0x2245, 0x0391, 0x0392, 0x03A7,
    0x0394, 0x0395, 0x03A6, 0x0393, 0x0397, 0x0399, 0x03D1, 0x039A, 0x039B, 0x039C, 0x039D, 0x039F,
    0x03A0, 0x0398, 0x03A1, 0x03A3, 0x03A4, 0x03A5, 0x03C2, 0x03A9, 0x039E, 0x03A8, 0x0396, 0x005B,
    0x2234, 0x005D, 0x22A5, 0x005F, 0x203E, 0x03B1, 0x03B2, 0x03C7, 0x03B4, 0x03B5, 0x03C6, 0x03B3,
    0x03B7, 0x03B9, 0x03D5, 0x03BA, 0x03BB, 0x03BC, 0x03BD, 0x03BF, 0x03C0, 0x03B8, 0x03C1, 0x03C3,
    0x03C4, 0x03C5, 0x03D6, 0x03C9, 0x03BE, 0x03C8, 0x03B6, 0x007B, 0x007C, 0x007D, 0x223C, 0x0000,
    0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000,
    0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000,
    0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x20AC, 0x03D2, 0x2032, 0x2264,
    0x2044, 0x221E, 0x0192, 0x2663, 0x2666, 0x2665, 0x2660, 0x2194, 0x2190, 0x2191, 0x2192, 0x2193,
    0x00B0, 0x00B1, 0x2033, 0x2265, 0x00D7, 0x221D, 0x2202, 0x2022, 0x00F7, 0x2260, 0x2261, 0x2248,
    0x2026, 0x23D0, 0x23AF, 0x21B5, 0x2135, 0x2111, 0x211C, 0x2118, 0x2297, 0x2295, 0x2205, 0x2229,
    0x222A, 0x2283, 0x2287, 0x2284, 0x2282, 0x2286, 0x2208, 0x2209, 0x2220, 0x2207, 0x00AE, 0x00A9,
    0x2122, 0x220F, 0x221A, 0x22C5, 0x00AC, 0x2227, 0x2228, 0x21D4, 0x21D0, 0x21D1, 0x21D2, 0x21D3,
    0x25CA, 0x2329, 0x00AE, 0x00A9, 0x2122, 0x2211, 0x239B, 0x239C, 0x239D, 0x23A1, 0x23A2, 0x23A3,
    0x23A7, 0x23A8, 0x23A9, 0x23AA, 0x0000, 0x232A, 0x222B, 0x2320, 0x23AE, 0x2321, 0x239E, 0x239F,
    0x23A0, 0x23A4, 0x23A5, 0x23A6, 0x23AB, 0x23AC, 0x23AD, 0x0000};

const char* codecForCharset(uint8_t charSet) {
  switch (charSet) {
    case U_SHIFTJIS_CHARSET:
      return "Shift_JIS";
    case U_HANGEUL_CHARSET:
      return "windows-949";
    case U_GB2312_CHARSET:
      return "GBK";
    case U_CHINESEBIG5_CHARSET:
      return "Big5";
    case U_GREEK_CHARSET:
      return "windows-1253";
    case U_TURKISH_CHARSET:
      return "windows-1254";
    case gdi::kVietnameseCharset:
      return "windows-1258";
    case U_HEBREW_CHARSET:
      return "windows-1255";
    case U_ARABIC_CHARSET:
      return "windows-1256";
    case U_BALTIC_CHARSET:
      return "windows-1257";
    case U_RUSSIAN_CHARSET:
      return "windows-1251";
    case U_THAI_CHARSET:
      return "windows-874";
    case U_EE_CHARSET:
      return "windows-1250";
    default:
      return nullptr;
  }
}

}  // namespace

bool FontMapper::isSymbolFont(const GdiFont& font) {
  const QString f = font.face.toLower();
  return font.charSet == U_SYMBOL_CHARSET || f == QLatin1String("symbol") ||
         f.startsWith(QLatin1String("wingdings")) || f.startsWith(QLatin1String("webdings")) ||
         f == QLatin1String("mt extra");
}

QString FontMapper::familyFor(const GdiFont& font) {
  const QString f = font.face.trimmed().toLower();
  static const struct {
    const char* from;
    const char* to;
  } kMap[] = {
      {"arial", "Liberation Sans"},
      {"helvetica", "Liberation Sans"},
      {"ms sans serif", "Liberation Sans"},
      {"microsoft sans serif", "Liberation Sans"},
      {"tahoma", "DejaVu Sans"},
      {"verdana", "DejaVu Sans"},
      {"segoe ui", "Liberation Sans"},
      {"calibri", "Liberation Sans"},
      {"system", "Liberation Sans"},
      {"sans-serif", "Liberation Sans"},
      {"arial narrow", "Liberation Sans Narrow"},
      {"times new roman", "Liberation Serif"},
      {"times", "Liberation Serif"},
      {"ms serif", "Liberation Serif"},
      {"cambria", "Liberation Serif"},
      {"georgia", "Liberation Serif"},
      {"serif", "Liberation Serif"},
      {"book antiqua", "Liberation Serif"},
      {"garamond", "Liberation Serif"},
      {"courier new", "Liberation Mono"},
      {"courier", "Liberation Mono"},
      {"consolas", "Liberation Mono"},
      {"lucida console", "Liberation Mono"},
      {"fixedsys", "Liberation Mono"},
      {"terminal", "Liberation Mono"},
      {"monospace", "Liberation Mono"},
      {"symbol", "DejaVu Sans"},
  };
  for (const auto& m : kMap)
    if (f == QLatin1String(m.from)) return QString::fromLatin1(m.to);
  if (f.startsWith(QLatin1String("arial"))) return QStringLiteral("Liberation Sans");
  if (f.startsWith(QLatin1String("times"))) return QStringLiteral("Liberation Serif");
  if (f.startsWith(QLatin1String("courier"))) return QStringLiteral("Liberation Mono");
  if (isSymbolFont(font)) return QStringLiteral("DejaVu Sans");
  if (f.isEmpty()) {
    // No name: the pitch and family bits say which kind of face was meant.
    const int family = font.pitchAndFamily & gdi::kFamilyMask;
    if ((font.pitchAndFamily & gdi::kPitchMask) == U_FIXED_PITCH || family == U_FF_MODERN)
      return QStringLiteral("Liberation Mono");
    if (family == U_FF_ROMAN) return QStringLiteral("Liberation Serif");
    return QStringLiteral("Liberation Sans");
  }
  return font.face;  // installed under its own name, or fontconfig's nearest match
}

QString FontMapper::decodeAnsi(const QByteArray& bytes, const GdiFont& font) {
  if (isSymbolFont(font)) return mapSymbols(QString::fromLatin1(bytes), font);
  if (const char* name = codecForCharset(font.charSet)) {
    QStringDecoder decoder(name);
    if (decoder.isValid()) return decoder.decode(bytes);
  }
  QString out;
  out.reserve(bytes.size());
  for (char c : bytes) {
    auto b = static_cast<uint8_t>(c);
    out.append(b >= 0x80 && b < 0xA0 ? QChar(kCp1252High[b - 0x80]) : QChar(b));
  }
  return out;
}

QString FontMapper::mapSymbols(const QString& text, const GdiFont& font) {
  const bool symbol = font.face.compare(QLatin1String("Symbol"), Qt::CaseInsensitive) == 0 ||
                      (font.charSet == U_SYMBOL_CHARSET && font.face.isEmpty());
  QString out = text;
  for (QChar& c : out) {
    char16_t u = c.unicode();
    if (u >= 0xF020 && u <= 0xF0FF) u -= 0xF000;
    if (symbol && u >= 0x20 && u <= 0xFF && kSymbol[u - 0x20]) c = QChar(kSymbol[u - 0x20]);
  }
  return out;
}

}  // namespace ostrel
