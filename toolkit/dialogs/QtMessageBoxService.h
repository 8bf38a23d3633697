#pragma once

#include "toolkit/dialogs/MessageBoxService.h"

namespace ostrel {

class QtMessageBoxService : public MessageBoxService {
 public:
  int show(QWidget* parent, const QString& prompt, int style, const QString& title) override;
};

}  // namespace ostrel
