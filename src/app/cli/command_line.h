// The program started with a command: the command runs in the terminal, headless, on
// the same core and the same config.ini as the windows.
#pragma once

namespace quivra {

// Parses the command line, loads the program's state and runs the chosen command.
// Returns the exit status (exit_status.h).
int runCommandLine(int argc, char* argv[]);

}  // namespace quivra
