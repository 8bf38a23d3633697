#pragma once

namespace ostrel {

// Start-up: shows the main window modeless and returns; from then on the
// program only reacts to events.
void Main();

}  // namespace ostrel
