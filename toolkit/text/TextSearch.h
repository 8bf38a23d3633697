#pragma once

#include <QRegularExpression>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "toolkit/files/TextCodec.h"
#include "toolkit/text/TextSnapshot.h"

namespace ostrel {

// Finds a piece of text, or a regular expression, in a document's text.
// A literal is looked for in the loaded file's bytes as stored, encoded the
// file's way: exact bytes for a matching case, a byte table for the
// single-byte character sets, lead bytes then a character check for UTF-8,
// code units for UTF-16 and UTF-32. Nothing is decoded but the few
// characters around a piece boundary or a candidate. A regular expression
// runs over decoded windows of the text, a few hundred thousand characters
// each however long the lines, with what comes before for ^ and lookbehinds;
// a match never runs across a line end, nor beyond 4 Mi characters. Whole
// words and letters (\w, \b) are those of every script (WholeWord).
//
// Matches never overlap: each search goes on after the match it found.
// Positions are those of the document (UTF-16 code units).
class TextSearch {
 public:
  struct Options {
    bool matchCase = false;
    // The match neither starts inside a word nor ends inside one.
    bool wholeWords = false;
    bool regularExpression = false;
  };
  struct Match {
    qint64 position;
    qint64 length;
    bool operator==(const Match&) const = default;
  };
  // Called now and then with the units looked at so far and in all; false cancels.
  using Progress = std::function<bool(qint64 done, qint64 total)>;
  // Called for each match; false stops the search.
  using Found = std::function<bool(const Match&)>;
  enum class Outcome { Finished, Stopped, Cancelled };
  struct Result {
    std::optional<Match> match;
    bool cancelled = false;
  };

  TextSearch(QString needle, const Options& options);

  const QString& needle() const { return needle_; }
  const Options& options() const { return options_; }

  // Why nothing can be searched for: an empty needle, an expression that
  // does not compile. Empty when the search can run.
  QString problem() const;
  // The first character of the needle that text in codec cannot hold (in no
  // case, when case does not matter), or an empty string. The file's own
  // text then holds no match; text typed since may.
  QString unencodable(const TextCodec& codec) const;

  // Every match starting in [from, to), in order.
  Outcome forEach(const TextSnapshot& text, qint64 from, qint64 to, const Found& found,
                  const Progress& progress = {}) const;
  // The first match starting in [from, to).
  Result findNext(const TextSnapshot& text, qint64 from, qint64 to,
                  const Progress& progress = {}) const;
  // The matches in a short text of its own (a line in view), by the same
  // rules, positions relative to it.
  std::vector<Match> matchesIn(QStringView text) const;
  // The last match starting in [from, before).
  Result findPrevious(const TextSnapshot& text, qint64 from, qint64 before,
                      const Progress& progress = {}) const;

 private:
  struct Scan;

  Outcome literalForEach(Scan& scan) const;
  Outcome regexForEach(Scan& scan) const;

  QString needle_;
  Options options_;
  QRegularExpression expression_;
};

}  // namespace ostrel
