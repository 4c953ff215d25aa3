// The window program: the windows live in an executable of their own beside the command
// line's, so a command never loads the window libraries.
#pragma once

namespace quivra {

inline constexpr const char* kWindowProgramName = "quivra-downloader-window";

// Replaces this process with the window program of the same folder, with the same
// arguments. Returns only when it cannot be started (after saying why on stderr), with
// the exit status to end with.
int runWindowProgram(char* argv[]);

}  // namespace quivra
