#include "toolkit/text/WholeWord.h"

#include <QChar>

namespace ostrel {

namespace {
// isLetter() as a class of the expression language.
const char16_t kLetterClass[] = u"[\\p{L}\\p{N}\\p{M}_]";
}  // namespace

bool WholeWord::isLetter(char32_t c) {
  if (c < 0x80) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
  }
  if (QChar::isLetterOrNumber(c)) return true;
  const QChar::Category category = QChar::category(c);
  return category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining ||
         category == QChar::Mark_Enclosing;
}

bool WholeWord::fits(char32_t before, char32_t first, char32_t last, char32_t after) {
  if (isLetter(first) && isLetter(before)) return false;
  return !(isLetter(last) && isLetter(after));
}

QString WholeWord::wrap(const QString& pattern) {
  // At either edge: no letter on one side or no letter on the other.
  const QString letter = QString::fromUtf16(kLetterClass);
  const QString edge = QStringLiteral("(?:(?<!%1)|(?!%1))").arg(letter);
  return edge + QStringLiteral("(?:") + pattern + QStringLiteral(")") + edge;
}

char32_t WholeWord::before(QStringView text, qsizetype i) {
  if (i <= 0 || i > text.size()) return 0;
  const QChar last = text[i - 1];
  if (last.isLowSurrogate() && i >= 2 && text[i - 2].isHighSurrogate()) {
    return QChar::surrogateToUcs4(text[i - 2], last);
  }
  return last.unicode();
}

char32_t WholeWord::at(QStringView text, qsizetype i) {
  if (i < 0 || i >= text.size()) return 0;
  const QChar first = text[i];
  if (first.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
    return QChar::surrogateToUcs4(first, text[i + 1]);
  }
  return first.unicode();
}

}  // namespace ostrel
