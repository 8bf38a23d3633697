#include "toolkit/text/WholeWord.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

namespace ostrel {
namespace {

// The expression form asks of every character what the literal search asks:
// a character right after the same one starts a whole word exactly when it
// is no letter.
TEST(WholeWord, TheExpressionKnowsTheSameLettersAsTheSearch) {
  QString text;
  std::vector<char32_t> characters;
  for (char32_t c = 1; c <= 0x10FFFF; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    characters.push_back(c);
    // Built by hand: fromUcs4() would take U+FEFF for a byte-order mark.
    QString one;
    if (c >= 0x10000) {
      one = QString(QChar(QChar::highSurrogate(c))) + QChar(QChar::lowSurrogate(c));
    } else {
      one = QChar(static_cast<char16_t>(c));
    }
    text += one + one;
  }
  const QRegularExpression wrapped(WholeWord::wrap(QStringLiteral("(?s).")),
                                   QRegularExpression::UseUnicodePropertiesOption);
  qsizetype at = 0;
  int differ = 0;
  for (const char32_t c : characters) {
    const qsizetype width = c >= 0x10000 ? 2 : 1;
    const bool starts = wrapped
                            .match(text, at + width, QRegularExpression::NormalMatch,
                                   QRegularExpression::AnchorAtOffsetMatchOption |
                                       QRegularExpression::DontCheckSubjectStringMatchOption)
                            .hasMatch();
    if (starts == WholeWord::isLetter(c) && ++differ <= 10) {
      ADD_FAILURE() << "U+" << std::hex << static_cast<unsigned>(c);
    }
    at += 2 * width;
  }
  EXPECT_EQ(differ, 0);
}

}  // namespace
}  // namespace ostrel
