#include "main_window/FileDispatch.h"

#include <array>

namespace ostrel {

namespace {

struct TypeRow {
  const char* suffix;
  FileAction action;
};

constexpr std::array<TypeRow, 12> kTypeTable = {{
    {"BMP", FileAction::PreviewPicture},
    {"JPG", FileAction::PreviewPicture},
    {"DIB", FileAction::PreviewPicture},
    {"GIF", FileAction::PreviewPicture},
    {"ICO", FileAction::PreviewPicture},
    {"WMF", FileAction::PreviewPicture},
    {"EMF", FileAction::PreviewPicture},
    {"TXT", FileAction::OpenText},
    {"DOC", FileAction::OpenText},
    {"BAT", FileAction::OpenText},
    {"TML", FileAction::OpenText},
    {"HTM", FileAction::OpenText},
}};

}  // namespace

FileAction actionForFileName(const QString& name) {
  const QString key = name.toUpper();
  const QString tail = key.right(3);
  for (const TypeRow& row : kTypeTable) {
    if (tail == QLatin1String(row.suffix)) return row.action;
  }
  return FileAction::None;
}

QStringList neighbourPictures(const QStringList& names, qsizetype index) {
  QStringList found;
  if (index < 0 || index >= names.size()) return found;
  for (qsizetype i = index + 1; i < names.size(); ++i) {
    if (actionForFileName(names[i]) == FileAction::PreviewPicture) {
      found << names[i];
      break;
    }
  }
  for (qsizetype i = index - 1; i >= 0; --i) {
    if (actionForFileName(names[i]) == FileAction::PreviewPicture) {
      found << names[i];
      break;
    }
  }
  return found;
}

}  // namespace ostrel
