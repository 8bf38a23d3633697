#include "toolkit/metafile/FontMapper.h"

#include <QStringDecoder>
#include <array>
#include <string_view>

#include "toolkit/metafile/GdiNames.h"

namespace ostrel {

namespace {

// Windows-1252's C1 block; the rest of the code page is Latin-1.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// What the symbol fonts draw at their codes 0x20..0xFF, as Unicode, row by row
// of their code charts; a code the font leaves empty is a blank, and draws nothing.
// Characters of the Wingdings fonts that Unicode took in are in Symbola.
constexpr std::u32string_view kSymbol =
    U" !∀#∃%&∋()∗+,−./"    // 0x20
    U"0123456789:;<=>?"    // 0x30
    U"≅ΑΒΧΔΕΦΓΗΙϑΚΛΜΝΟ"    // 0x40
    U"ΠΘΡΣΤΥςΩΞΨΖ[∴]⊥_"    // 0x50
    U"‾αβχδεφγηιϕκλμνο"    // 0x60
    U"πθρστυϖωξψζ{|}∼ "    // 0x70
    U"                "    // 0x80
    U"                "    // 0x90
    U"€ϒ′≤⁄∞ƒ♣♦♥♠↔←↑→↓"    // 0xA0
    U"°±″≥×∝∂•÷≠≡≈…⏐⎯↵"    // 0xB0
    U"ℵℑℜ℘⊗⊕∅∩∪⊃⊇⊄⊂⊆∈∉"    // 0xC0
    U"∠∇®©™∏√⋅¬∧∨⇔⇐⇑⇒⇓"    // 0xD0
    U"◊〈®©™∑⎛⎜⎝⎡⎢⎣⎧⎨⎩⎪"   // 0xE0
    U" 〉∫⌠⎮⌡⎞⎟⎠⎤⎥⎦⎫⎬⎭ ";  // 0xF0

constexpr std::u32string_view kWingdings1 =
    U" 🖉✂✁👓🕭🕮🕯🕿✆🖂🖃📪📫📬📭"       // 0x20
    U"🗀🗁🗎🗏🗐🗄⏳🖮🖰🖲🖳🖴🖫🖬✇✍"    // 0x30
    U"🖎✌🖏👍👎☜☞☝🖗🖐☺😐☹💣🕱🏳"       // 0x40
    U"🏱✈☼🌢❄🕆✞🕈✠✡☪☯🕉☸♈♉"            // 0x50
    U"♊♋♌♍♎♏♐♑♒♓🙰🙵⚫🔾◼🞏"             // 0x60
    U"🞐❑❒🞟⧫◆❖🞙⌧⮹⌘🏵🏶🙶🙷 "            // 0x70
    U"🄋➀➁➂➃➄➅➆➇➈➉🄌➊➋➌➍"               // 0x80
    U"➎➏➐➑➒➓🙢🙠🙡🙣🙞🙜🙝🙟∙•"         // 0x90
    U"⬝⭘🞆🞈🞊🞋🔿▪🞎🟁🟅★🟋🟏🟓🟑"     // 0xA0
    U"⯐⌖⯎⯏⯑✪✰🕐🕑🕒🕓🕔🕕🕖🕗🕘"        // 0xB0
    U"🕙🕚🕛⮰⮱⮲⮳⮴⮵⮶⮷🙪🙫🙕🙔🙗"         // 0xC0
    U"🙖🙐🙑🙒🙓⌫⌦⮘⮚⮙⮛⮈⮊⮉⮋🡨"           // 0xD0
    U"🡪🡩🡫🡬🡭🡯🡮🡸🡺🡹🡻🡼🡽🡿🡾⇦"  // 0xE0
    U"⇨⇧⇩⬄⇳⬁⬀⬃⬂🢬🢭🗶✓🗷🗹 ";             // 0xF0

constexpr std::u32string_view kWingdings2 =
    U" 🖊🖋🖌🖍✄✀🕾🕽🗅🗆🗇🗈🗉🗊🗋"       // 0x20
    U"🗌🗍📋🗑🗔🖵🖶🖷🖸🖭🖯🖱🖒🖓🖘🖙"  // 0x30
    U"🖚🖛👈👉🖜🖝🖞🖟🖠🖡👆👇🖢🖣🖑🗴"  // 0x40
    U"🗸🗵☑⮽☒⮾⮿🛇⦸🙱🙴🙲🙳‽🙹🙺"         // 0x50
    U"🙻🙦🙤🙥🙧🙚🙘🙙🙛⓪①②③④⑤⑥"         // 0x60
    U"⑦⑧⑨⑩⓿❶❷❸❹❺❻❼❽❾❿ "                                                  // 0x70
    U"☉🌕☽☾⸿✝🕇🕜🕝🕞🕟🕠🕡🕢🕣🕤"       // 0x80
    U"🕥🕦🕧🙨🙩⋅🞄⦁●○🞅🞇🞉⊙⦿🞌"        // 0x90
    U"🞍◾■□🞑🞒🞓🞔▣🞕🞖🞗🞘⬩⬥◇"         // 0xA0
    U"🞚◈🞛🞜🞝🞞⬪⬧◊🞠◖◗⯊⯋⯀⯁"            // 0xB0
    U"⬟⯂⬣⬢⯃⯄🞡🞢🞣🞤🞥🞦🞧🞨🞩🞪"        // 0xC0
    U"🞫🞬🞭🞮🞯🞰🞱🞲🞳🞴🞵🞶🞷🞸🞹🞺"  // 0xD0
    U"🞻🞼🞽🞾🞿🟀🟂🟄🟆🟉🟊✶🟌🟎🟐🟒"   // 0xE0
    U"✹🟃🟇✯🟍🟔⯌⯍※⁂      ";                         // 0xF0

constexpr std::u32string_view kWingdings3 =
    U" ⭠⭢⭡⭣⭦⭧⭩⭨⭰⭲⭱⭳⭶⭸⭻"                    // 0x20
    U"⭽⭤⭥⭪⭬⭫⭭⭍⮠⮡⮢⮣⮤⮥⮦⮧"                  // 0x30
    U"⮐⮑⮒⮓⮀⮃⭾⭿⮄⮆⮅⮇⮏⮍⮎⮌"                  // 0x40
    U"⭮⭯⎋⌤⌃⌥␣⍽⇪⮸🢠🢡🢢🢣🢤🢥"            // 0x50
    U"🢦🢧🢨🢩🢪🢫🡐🡒🡑🡓🡔🡕🡗🡖🡘🡙"  // 0x60
    U"▲▼△▽◀▶◁▷◣◢◤◥🞀🞂🞁 "                 // 0x70
    U"🞃⯅⯆⯇⯈⮜⮞⮝⮟🠐🠒🠑🠓🠔🠖🠕"          // 0x80
    U"🠗🠘🠚🠙🠛🠜🠞🠝🠟🠀🠂🠁🠃🠄🠆🠅"  // 0x90
    U"🠇🠈🠊🠉🠋🠠🠢🠤🠦🠨🠪🠬🢜🢝🢞🢟"  // 0xA0
    U"🠮🠰🠲🠴🠶🠸🠺🠹🠻🢘🢚🢙🢛🠼🠾🠽"  // 0xB0
    U"🠿🡀🡂🡁🡃🡄🡆🡅🡇⮨⮩⮪⮫⮬⮭⮮"         // 0xC0
    U"⮯🡠🡢🡡🡣🡤🡥🡧🡦🡰🡲🡱🡳🡴🡵🡷"   // 0xD0
    U"🡶🢀🢂🢁🢃🢄🢅🢇🢆🢐🢒🢑🢓🢔🢖🢕"  // 0xE0
    U"🢗               ";                                              // 0xF0
static_assert(kSymbol.size() == 224 && kWingdings1.size() == 224 && kWingdings2.size() == 224 &&
              kWingdings3.size() == 224);

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

// The code chart of a symbol font, if it is one we have.
std::u32string_view symbolTable(const GdiFont& font) {
  const QString f = font.face.trimmed().toLower();
  if (f == QLatin1String("symbol") || (f.isEmpty() && font.charSet == U_SYMBOL_CHARSET))
    return kSymbol;
  if (f == QLatin1String("wingdings")) return kWingdings1;
  if (f == QLatin1String("wingdings 2")) return kWingdings2;
  if (f == QLatin1String("wingdings 3")) return kWingdings3;
  return {};
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
      // Symbol's letters and signs are drawn to go with Times: a Times-like
      // face keeps them from standing out heavy among the text around them.
      {"symbol", "Liberation Serif"},
  };
  for (const auto& m : kMap)
    if (f == QLatin1String(m.from)) return QString::fromLatin1(m.to);
  if (f.startsWith(QLatin1String("arial"))) return QStringLiteral("Liberation Sans");
  if (f.startsWith(QLatin1String("times"))) return QStringLiteral("Liberation Serif");
  if (f.startsWith(QLatin1String("courier"))) return QStringLiteral("Liberation Mono");
  if (f.startsWith(QLatin1String("wingdings"))) return QStringLiteral("Symbola");
  if (isSymbolFont(font)) return QStringLiteral("Liberation Serif");
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
  // The codes of a symbol font are mapped with its other text, when it is laid out.
  if (isSymbolFont(font)) return QString::fromLatin1(bytes);
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

std::vector<double> FontMapper::spacingPerCharacter(const QByteArray& bytes, const GdiFont& font,
                                                    const std::vector<double>& perByte) {
  const char* name = isSymbolFont(font) ? nullptr : codecForCharset(font.charSet);
  QStringDecoder decoder = name ? QStringDecoder(name) : QStringDecoder();
  if (!decoder.isValid() || perByte.size() != size_t(bytes.size())) return perByte;
  // Byte by byte: the decoder keeps a lead byte until its character is whole.
  std::vector<double> out;
  out.reserve(perByte.size());
  double pending = 0;
  for (qsizetype i = 0; i < bytes.size(); ++i) {
    pending += perByte[size_t(i)];
    const QString units = decoder.decode(QByteArrayView(bytes.constData() + i, 1));
    for (qsizetype u = 0; u < units.size(); ++u) {
      out.push_back(pending);
      pending = 0;
    }
  }
  if (!out.empty()) out.back() += pending;  // a lead byte the text ends on
  return out;
}

QString FontMapper::mapSymbols(const QString& text, const GdiFont& font) {
  const std::u32string_view table = symbolTable(font);
  QString out;
  out.reserve(text.size());
  for (const QChar c : text) {
    // Symbol fonts have their codes at U+F020..U+F0FF in Unicode text.
    char16_t u = c.unicode();
    if (u >= 0xF020 && u <= 0xF0FF) u -= 0xF000;
    if (!table.empty() && u >= 0x20 && u <= 0xFF)
      out.append(QString::fromUcs4(&table[u - 0x20], 1));
    else
      out.append(QChar(u));
  }
  return out;
}

}  // namespace ostrel
