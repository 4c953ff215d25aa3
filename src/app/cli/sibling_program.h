// The program's other executables, beside quivra-downloader in its folder. The windows and
// the download list each live in one of their own, so a command loads only the libraries
// it needs: the site's commands neither the window libraries nor the download engine.
#pragma once

namespace quivra {

// The main window and the other windows.
inline constexpr const char* kWindowProgramName = "quivra-downloader-window";
// The commands that use the download list: get, list, resume.
inline constexpr const char* kDownloadsProgramName = "quivra-downloader-downloads";

// Replaces this process with the program of that name in the same folder, with the same
// arguments. Returns only when it cannot be started (after saying why on stderr), with
// the exit status to end with.
int runSiblingProgram(const char* name, char* argv[]);

}  // namespace quivra
