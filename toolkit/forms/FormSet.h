#pragma once

#include <QPointer>
#include <map>
#include <typeindex>

#include "toolkit/forms/Form.h"

namespace ostrel {

// Owns the one instance of each window class. The first reference to a class
// creates its window and loads it (controls take their design values, then
// Form_Load runs); Unload destroys it with every control value, and the next
// reference loads a fresh one. When the last loaded window is unloaded the
// program ends.
class FormSet {
 public:
  static FormSet& instance();

  template <class F>
  F& get() {
    const std::type_index key(typeid(F));
    if (auto it = loaded_.find(key); it != loaded_.end() && it->second) {
      return static_cast<F&>(*it->second);
    }
    auto* created = new F();
    adopt(key, created);
    return static_cast<F&>(*created);
  }

  template <class F>
  bool isLoaded() const {
    return find<F>() != nullptr;
  }

  // The window of class F if it is loaded, else nullptr; unlike get(), it
  // never brings a window back that the user has closed.
  template <class F>
  F* find() const {
    auto it = loaded_.find(std::type_index(typeid(F)));
    return it != loaded_.end() && it->second ? static_cast<F*>(it->second.data()) : nullptr;
  }

  template <class F>
  void unload() {
    auto it = loaded_.find(std::type_index(typeid(F)));
    if (it != loaded_.end() && it->second) unload(it->second);
  }

  // Unloads form; does nothing for a form that is not loaded.
  void unload(Form* form);
  // Unloads every window without ending the program (tests start clean).
  void reset();
  int loadedCount() const;

 private:
  void adopt(std::type_index key, Form* form);

  std::map<std::type_index, QPointer<Form>> loaded_;
  bool resetting_ = false;
};

// The window of class F, created and loaded on first reference.
template <class F>
F& form() {
  return FormSet::instance().get<F>();
}

// The window of class F when it is loaded, else nullptr. A window that only
// wants to tell another of something (a refresh, say) asks this way: a
// reference through form<F>() would load a closed window again, hidden,
// and keep the program running without a window on screen.
template <class F>
F* loadedForm() {
  return FormSet::instance().find<F>();
}

template <class F>
void Unload() {
  FormSet::instance().unload<F>();
}

inline void Unload(Form& form) {
  FormSet::instance().unload(&form);
}

}  // namespace ostrel
