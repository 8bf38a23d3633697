#pragma once

namespace ostrel {

// Start-up: shows the main window modeless and returns; from then on the
// program only reacts to events. What saves left unfinished when the program
// last ended in mid-save is offered once the window is up.
void Main();

// A file larger than the user's size limit (ulimit -f) would end the program
// with SIGXFSZ, text and all; ignored, the write fails with EFBIG and the
// save says the file is too large.
void ignoreFileSizeSignal();

}  // namespace ostrel
