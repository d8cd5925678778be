#pragma once

namespace vell {

// Runs the program with its window: the same start-up as a headless start,
// then the window's event loop. Returns the exit status.
int RunWithWindow(int argc, char *argv[]);

} // namespace vell
