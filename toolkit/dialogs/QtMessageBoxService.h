#pragma once

#include "toolkit/dialogs/MessageBoxService.h"

namespace ostrel {

class QtMessageBoxService : public MessageBoxService {
 public:
  int show(QWidget* parent, const QString& prompt, int style, const QString& title) override;
  int showWithDetails(QWidget* parent, const QString& prompt, const QString& details, int style,
                      const QString& title) override;
};

}  // namespace ostrel
