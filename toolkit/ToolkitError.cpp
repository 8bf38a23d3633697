#include "toolkit/ToolkitError.h"

namespace ostrel {

ToolkitError::ToolkitError(int number, const QString& description)
    : std::runtime_error(description.toStdString()), number_(number), description_(description) {}

}  // namespace ostrel
