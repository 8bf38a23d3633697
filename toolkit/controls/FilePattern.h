#pragma once

#include <QByteArray>
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

  // The same test on a name's bytes as the file system stores them. Set only
  // when every piece can be decided that way (plain "*.ext" pieces in ASCII);
  // otherwise callers decode the name and use matches().
  bool hasByteMatcher() const { return byteMatchable_; }
  bool matchesBytes(const char* name, size_t length) const;

 private:
  struct Piece {
    enum class Kind { Everything, Suffix, Wildcard } kind;
    QString suffix;  // ".gif" for "*.gif"
    QRegularExpression regex;
  };
  std::vector<Piece> pieces_;
  std::vector<QByteArray> byteSuffixes_;
  bool matchesEverything_ = false;
  bool byteMatchable_ = true;
};

}  // namespace ostrel
