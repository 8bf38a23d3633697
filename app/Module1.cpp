#include "app/Module1.h"

#include "main_window/Ostrel_View.h"
#include "toolkit/forms/FormSet.h"

namespace ostrel {

void Main() {
  form<Ostrel_View>().Show();
}

}  // namespace ostrel
