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
    auto it = loaded_.find(std::type_index(typeid(F)));
    return it != loaded_.end() && it->second;
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

template <class F>
void Unload() {
  FormSet::instance().unload<F>();
}

inline void Unload(Form& form) {
  FormSet::instance().unload(&form);
}

}  // namespace ostrel
