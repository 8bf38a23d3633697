#include "toolkit/files/LineEnds.h"

#include <array>

namespace ostrel {

QString LineEnds::common(QStringView text) {
  std::array<qint64, 3> counts{};  // CR LF, LF, CR
  std::array<qint64, 3> first{-1, -1, -1};
  for (qsizetype i = 0; i < text.size(); ++i) {
    int kind = -1;
    if (text[i] == u'\r') {
      kind = i + 1 < text.size() && text[i + 1] == u'\n' ? 0 : 2;
      if (kind == 0) ++i;
    } else if (text[i] == u'\n') {
      kind = 1;
    }
    if (kind < 0) continue;
    if (counts[kind]++ == 0) first[kind] = i;
  }
  int best = 0;
  for (int k = 1; k < 3; ++k) {
    if (counts[k] > counts[best] ||
        (counts[k] == counts[best] && counts[k] > 0 && first[k] < first[best])) {
      best = k;
    }
  }
  static const std::array<QString, 3> ends = {QStringLiteral("\r\n"), QStringLiteral("\n"),
                                              QStringLiteral("\r")};
  return ends[best];
}

QString LineEnds::convert(QString text, const QString& lineEnd) {
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  if (lineEnd != QStringLiteral("\n")) text.replace(QLatin1Char('\n'), lineEnd);
  return text;
}

}  // namespace ostrel
