#include "toolkit/forms/FormSet.h"

#include "toolkit/Services.h"
#include "toolkit/forms/ProcessService.h"

namespace ostrel {

FormSet& FormSet::instance() {
  static FormSet set;
  return set;
}

void FormSet::adopt(std::type_index key, Form* form) {
  loaded_[key] = form;
  try {
    form->runLoad();
  } catch (...) {
    // A window whose load failed is not left half-open.
    loaded_.erase(key);
    form->hide();
    form->deleteLater();
    throw;
  }
}

void FormSet::unload(Form* form) {
  if (form == nullptr) return;
  auto it = std::find_if(loaded_.begin(), loaded_.end(),
                         [form](const auto& entry) { return entry.second == form; });
  if (it == loaded_.end()) return;
  loaded_.erase(it);
  form->hide();
  // Deleted once control returns to the event loop: the handler that asked
  // for the unload may still be running on one of its controls.
  form->deleteLater();
  if (loadedCount() == 0 && !resetting_ && services().process != nullptr) {
    services().process->end(0);
  }
}

void FormSet::reset() {
  resetting_ = true;
  while (!loaded_.empty()) {
    QPointer<Form> f = loaded_.begin()->second;
    loaded_.erase(loaded_.begin());
    if (f) {
      f->hide();
      delete f.data();
    }
  }
  resetting_ = false;
}

int FormSet::loadedCount() const {
  return static_cast<int>(std::count_if(loaded_.begin(), loaded_.end(),
                                        [](const auto& entry) { return !entry.second.isNull(); }));
}

}  // namespace ostrel
