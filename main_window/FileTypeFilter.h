#pragma once

#include <QString>
#include <array>

namespace ostrel {

// The twelve file-type boxes under the main window's lists.
struct FileTypeBox {
  const char* caption;
  float left;
  float top;
  float width;
  int tabIndex;
  bool tickedAtStart;
  const char* piece;  // every piece but the first carries its own ";"
};

inline constexpr int kFileTypeBoxCount = 12;

extern const std::array<FileTypeBox, kFileTypeBoxCount> kFileTypeBoxes;

// The order the pieces are joined in; it is not the index order.
inline constexpr std::array<int, kFileTypeBoxCount> kPatternOrder = {0, 2, 3, 4, 5,  6,
                                                                     7, 8, 1, 9, 10, 11};

// The pattern the file list starts with. Its Html piece lacks ";*.htm": until
// the first box is clicked, .htm files are not listed.
inline constexpr const char* kDefaultPattern =
    "*.gif;*.bmp;*.jpg;*.dib;*.txt;*.doc;*.bat;*.ico;*.html;*.wmf;*.emf";

// The pattern for the boxes' values (1 ticked, anything else not). Nothing is
// trimmed: with "*.GIF" unticked the pattern starts with ";".
QString assemblePattern(const std::array<int, kFileTypeBoxCount>& values);

}  // namespace ostrel
