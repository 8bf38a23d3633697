#pragma once

#include <QString>
#include <QStringView>
#include <vector>

namespace ostrel {

// The line ends of a text, in order, so that a text split into lines (as a
// text box holds it) can be joined again with each line's own line end.
// Every sequence that the text box takes as a line break is one: CR LF, a
// lone CR, a lone LF, and the paragraph and frame separators.
class LineEnds {
 public:
  enum class Kind : unsigned char { CrLf, Lf, Cr, ParagraphSeparator, FrameStart, FrameEnd };

  // Records the line ends of text.
  static LineEnds scan(QStringView text);

  // The most frequent line end (the first one met on a tie); CR LF for a text
  // without line ends. Lines added to the text take this one.
  Kind dominant() const { return dominant_; }
  // True when every line end is the dominant one.
  bool uniform() const { return uniform_; }
  // Line end number index (0 ends the first line); only kept for a mixed text.
  Kind at(std::size_t index) const { return uniform_ ? dominant_ : kinds_[index]; }
  std::size_t count() const { return count_; }

  static QStringView sequence(Kind kind);

  // The line end starting at text[i]: its kind and length, or length 0.
  struct Match {
    Kind kind;
    int length;
  };
  static Match matchAt(QStringView text, qsizetype i);

 private:
  std::vector<Kind> kinds_;
  std::size_t count_ = 0;
  Kind dominant_ = Kind::CrLf;
  bool uniform_ = true;
};

}  // namespace ostrel
