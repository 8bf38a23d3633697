#include "toolkit/controls/FilePattern.h"

#include <strings.h>

namespace ostrel {

FilePattern::FilePattern(const QString& pattern) {
  for (const QString& raw : pattern.split(QLatin1Char(';'))) {
    const QString piece = raw.trimmed();
    if (piece.isEmpty()) continue;
    if (piece == QLatin1String("*") || piece == QLatin1String("*.*")) {
      pieces_.push_back({Piece::Kind::Everything, {}, {}});
      matchesEverything_ = true;
    } else if (piece.startsWith(QLatin1String("*.")) &&
               !piece.mid(1).contains(QRegularExpression(QStringLiteral("[*?\\[]")))) {
      pieces_.push_back({Piece::Kind::Suffix, piece.mid(1), {}});
      const QString suffix = piece.mid(1);
      bool ascii = true;
      for (QChar c : suffix) ascii = ascii && c.unicode() < 0x80;
      if (ascii) {
        byteSuffixes_.push_back(suffix.toLatin1());
      } else {
        byteMatchable_ = false;
      }
    } else {
      QRegularExpression re(QRegularExpression::wildcardToRegularExpression(piece),
                            QRegularExpression::CaseInsensitiveOption);
      pieces_.push_back({Piece::Kind::Wildcard, {}, re});
      byteMatchable_ = false;
    }
  }
}

bool FilePattern::matches(const QString& name) const {
  for (const Piece& p : pieces_) {
    switch (p.kind) {
      case Piece::Kind::Everything:
        return true;
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

namespace ostrel {

bool FilePattern::matchesBytes(const char* name, size_t length) const {
  if (matchesEverything_) return true;
  for (const QByteArray& suffix : byteSuffixes_) {
    const auto n = static_cast<size_t>(suffix.size());
    if (length > n && strcasecmp(name + length - n, suffix.constData()) == 0) return true;
  }
  return false;
}

}  // namespace ostrel
