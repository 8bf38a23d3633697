#include "toolkit/controls/FilePattern.h"

namespace ostrel {

FilePattern::FilePattern(const QString& pattern) {
  for (const QString& raw : pattern.split(QLatin1Char(';'))) {
    const QString piece = raw.trimmed();
    if (piece.isEmpty()) continue;
    if (piece == QLatin1String("*") || piece == QLatin1String("*.*")) {
      pieces_.push_back({Piece::Kind::Everything, {}, {}});
    } else if (piece.startsWith(QLatin1String("*.")) &&
               !piece.mid(1).contains(QRegularExpression(QStringLiteral("[*?\\[]")))) {
      pieces_.push_back({Piece::Kind::Suffix, piece.mid(1), {}});
    } else {
      QRegularExpression re(QRegularExpression::wildcardToRegularExpression(piece),
                            QRegularExpression::CaseInsensitiveOption);
      pieces_.push_back({Piece::Kind::Wildcard, {}, re});
    }
  }
}

bool FilePattern::matches(const QString& name) const {
  for (const Piece& p : pieces_) {
    switch (p.kind) {
      case Piece::Kind::Everything: return true;
      case Piece::Kind::Suffix:
        if (name.size() > p.suffix.size() && name.endsWith(p.suffix, Qt::CaseInsensitive)) {
          return true;
        }
        break;
      case Piece::Kind::Wildcard:
        if (p.regex.match(name).hasMatch()) return true;
        break;
    }
  }
  return false;
}

}  // namespace ostrel
