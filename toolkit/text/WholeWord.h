#pragma once

#include <QString>
#include <QStringView>

namespace ostrel {

// The one rule for whole words, for every script: the letters of a word are
// letters, digits and marks of any script, and the underscore. A match is a
// whole word when it neither starts inside a word (its first character a
// letter of one, and so the one before it) nor ends inside one. The literal
// search and the highlight test characters with isLetter(); a regular
// expression is given the same test as lookarounds by wrap().
class WholeWord {
 public:
  static bool isLetter(char32_t c);
  // before and after are the characters around the match (0 at the text's
  // ends), first and last its own.
  static bool fits(char32_t before, char32_t first, char32_t last, char32_t after);
  // The expression pattern, asked the same of its match.
  static QString wrap(const QString& pattern);
  // The character ending just before unit i of text and the one starting at
  // it, a surrogate pair read as one; 0 outside the text.
  static char32_t before(QStringView text, qsizetype i);
  static char32_t at(QStringView text, qsizetype i);
};

}  // namespace ostrel
