#pragma once

namespace ostrel {

// Start-up: shows the main window modeless and returns; from then on the
// program only reacts to events. What saves left unfinished when the program
// last ended in mid-save is offered once the window is up.
void Main();

}  // namespace ostrel
