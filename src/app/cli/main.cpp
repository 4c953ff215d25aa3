// The program's entry: with a command, the command runs in the terminal; without one the
// window program takes the process over and opens the main window. The commands of the
// download list hand the process over to the downloads program, so that the others start
// without the download engine's libraries.
#include "app/cli/browser_login_command.h"
#include "app/cli/command_line.h"
#include "app/cli/download_commands.h"
#include "app/cli/sibling_program.h"
#include "app/cli/subscription_commands.h"

namespace {

char** arguments = nullptr;

int runDownloadsProgram() {
    return quivra::runSiblingProgram(quivra::kDownloadsProgramName, arguments);
}

}  // namespace

namespace quivra {

int runGet(const GetOptions&, Terminal&) {
    return runDownloadsProgram();
}
int runList(const ListOptions&, Terminal&) {
    return runDownloadsProgram();
}
int runResume(const ResumeOptions&, Terminal&) {
    return runDownloadsProgram();
}
int runSubscribeAdd(const SubscribeAddOptions&, Terminal&) {
    return runDownloadsProgram();
}
int runSubscribeList(const SubscribeListOptions&, Terminal&) {
    return runDownloadsProgram();
}
int runSubscribeRemove(std::int64_t, Terminal&) {
    return runDownloadsProgram();
}
int runSync(const SyncOptions&, Terminal&) {
    return runDownloadsProgram();
}
int runBrowserLogin(const std::string&, Terminal&) {
    return runDownloadsProgram();
}

}  // namespace quivra

int main(int argc, char* argv[]) {
    arguments = argv;
    if (argc <= 1) return quivra::runSiblingProgram(quivra::kWindowProgramName, argv);
    return quivra::runCommandLine(argc, argv);
}
