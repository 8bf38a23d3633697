#pragma once

#include <QString>

namespace ostrel {

// The application record: fixed at build time, readable everywhere.
struct AppRecord {
  QString Title;
  int Major = 0;
  int Minor = 0;
  int Revision = 0;
  QString HelpFile;  // absolute path, or empty when the program has no help
  QString Comments;
  QString FileDescription;
  QString ProductName;
  QString InternalName;
  QString OriginalFilename;
  QString FileVersion;  // the version strings, "1.04"
  QString AppId;
};

// The running program's record. Tests may change HelpFile through App().
AppRecord& App();

}  // namespace ostrel
