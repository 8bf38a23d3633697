#include "main_window/FileTypeFilter.h"

namespace ostrel {

const std::array<FileTypeBox, kFileTypeBoxCount> kFileTypeBoxes = {{
    {"*.GIF", 600, 4440, 735, 4, true, "*.gif"},
    {"*.Html", 600, 4920, 855, 14, true, ";*.html;*.htm"},
    {"*.BMP", 2160, 4440, 975, 5, true, ";*.bmp"},
    {"*.JPG", 3000, 4440, 735, 6, true, ";*.jpg"},
    {"*.DIB", 1320, 4680, 735, 7, true, ";*.dib"},
    {"*.TXT", 2160, 4680, 735, 8, true, ";*.txt"},
    {"*.DOC", 3000, 4680, 855, 9, true, ";*.doc"},
    {"*.BAT", 600, 4680, 735, 10, true, ";*.bat"},
    {"*.ICO", 1320, 4440, 855, 11, true, ";*.ico"},
    {QT_TRANSLATE_NOOP("ostrel::Ostrel_View", "All"), 3000, 4920, 855, 15, false, ";*.*"},
    {"*.wmf", 1320, 4920, 855, 16, true, ";*.wmf"},
    {"*.emf", 2160, 4920, 855, 17, true, ";*.emf"},
}};

QString assemblePattern(const std::array<int, kFileTypeBoxCount>& values) {
  std::array<QString, kFileTypeBoxCount> pieces;
  for (int i = 0; i < kFileTypeBoxCount; ++i) {
    if (values[i] == 1) pieces[i] = QString::fromLatin1(kFileTypeBoxes[i].piece);
  }
  QString pattern;
  for (int index : kPatternOrder) pattern += pieces[index];
  return pattern;
}

}  // namespace ostrel
