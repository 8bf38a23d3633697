#pragma once

#include <QString>
#include <QStringView>

namespace ostrel {

// The line ends the editor knows (CR LF, a lone LF, a lone CR) and which of
// them lines added to a text take.
class LineEnds {
 public:
  // The most frequent line end of text, the first met on a tie; CR LF for a
  // text without any.
  static QString common(QStringView text);
  // text with every line end in it replaced by lineEnd.
  static QString convert(QString text, const QString& lineEnd);
};

}  // namespace ostrel
