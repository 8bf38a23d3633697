#pragma once

#include <QString>

class QWidget;

namespace ostrel {

// Help commands, numbered as the help call has always taken them.
namespace help {
inline constexpr unsigned Contents = 0x0003;
inline constexpr unsigned Quit = 0x0002;
inline constexpr unsigned Key = 0x0101;
inline constexpr unsigned PartialKey = 0x0105;
}  // namespace help

// The help viewer behind the program's help call. Raises ToolkitError when the
// call itself cannot be made; what the viewer shows is its own business.
class HelpService {
 public:
  virtual ~HelpService() = default;
  // owner: the calling window; helpFile: absolute path; key: the keyword text
  // for Key / PartialKey (empty shows the index). Returns the viewer's result.
  virtual bool WinHelp(QWidget* owner, const QString& helpFile, unsigned command,
                       const QString& key) = 0;
};

}  // namespace ostrel
