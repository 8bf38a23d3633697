#include "toolkit/App.h"

#include "AppVersion.h"

namespace ostrel {

AppRecord& App() {
  static AppRecord record{
      .Title = QString::fromUtf8(version::kTitle),
      .Major = version::kMajor,
      .Minor = version::kMinor,
      .Revision = version::kRevision,
      .HelpFile = QString::fromUtf8(version::kHelpFile),
      .Comments = QString::fromUtf8(version::kComments),
      .FileDescription = QString::fromUtf8(version::kFileDescription),
      .ProductName = QString::fromUtf8(version::kTitle),
      .InternalName = QString::fromUtf8(version::kTitle),
      .OriginalFilename = QString::fromUtf8(version::kOriginalFilename),
      .FileVersion = QString::fromUtf8(version::kVersionString),
      .AppId = QString::fromUtf8(version::kAppId),
  };
  return record;
}

}  // namespace ostrel
