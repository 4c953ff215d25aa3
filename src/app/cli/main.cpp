// The program's entry: with a command, the command runs in the terminal; without one the
// window program takes the process over and opens the main window.
#include "app/cli/command_line.h"
#include "app/cli/window_program.h"

int main(int argc, char* argv[]) {
    if (argc <= 1) return quivra::runWindowProgram(argv);
    return quivra::runCommandLine(argc, argv);
}
