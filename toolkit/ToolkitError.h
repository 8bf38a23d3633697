#pragma once

#include <QString>
#include <stdexcept>

namespace ostrel {

// The numbers callers test for. They are the classic ones, so a handler that
// looks at Number() reads the same as it always has.
namespace err {
inline constexpr int Overflow = 6;
inline constexpr int OutOfMemory = 7;
inline constexpr int InternalError = 51;
inline constexpr int FileNotFound = 53;
inline constexpr int BadFileMode = 54;
inline constexpr int DiskFull = 61;
inline constexpr int InputPastEnd = 62;
inline constexpr int DeviceUnavailable = 68;
inline constexpr int PermissionDenied = 70;
inline constexpr int DiskNotReady = 71;
inline constexpr int PathFileAccess = 75;
inline constexpr int PathNotFound = 76;
inline constexpr int InvalidPicture = 481;
inline constexpr int PrinterError = 482;
inline constexpr int DialogCancelled = 32755;
}  // namespace err

// The one error type toolkit operations raise. It carries a number and a
// description; the event boundary shows the description to the user.
class ToolkitError : public std::runtime_error {
 public:
  ToolkitError(int number, const QString& description);

  int Number() const { return number_; }
  const QString& Description() const { return description_; }

 private:
  int number_;
  QString description_;
};

}  // namespace ostrel
