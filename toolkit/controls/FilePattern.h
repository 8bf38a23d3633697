#pragma once

#include <QRegularExpression>
#include <QString>
#include <vector>

namespace ostrel {

// A file list's pattern: wildcard pieces joined by ";", matched against
// names in any letter case. An empty piece selects nothing, so an empty
// pattern lists no file; "*.*" selects every name, with or without a dot.
class FilePattern {
 public:
  explicit FilePattern(const QString& pattern = {});

  bool matches(const QString& name) const;

 private:
  struct Piece {
    enum class Kind { Everything, Suffix, Wildcard } kind;
    QString suffix;  // ".gif" for "*.gif"
    QRegularExpression regex;
  };
  std::vector<Piece> pieces_;
};

}  // namespace ostrel
