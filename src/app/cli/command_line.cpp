#include "app/cli/command_line.h"

#include <QCoreApplication>

#include <string>

#include "app/cli/command.h"
#include "app/cli/exit_status.h"
#include "app/cli/network_options.h"
#include "base/message_box.h"
#include "base/shared_state.h"

namespace quivra {

int runCommandLine(int argc, char* argv[]) {
    CLI::App app(
        "The Quivra video downloader's commands, run in the terminal. Started "
        "without a command, the program opens its window.",
        "quivra-downloader");
    app.set_version_flag("--version", "quivra-downloader " QUIVRA_VERSION);
    bool quiet = false;
    app.add_flag("--quiet", quiet, "Print errors only");
    NetworkOptions network;
    addNetworkOptions(app, network);
    app.require_subcommand(1);
    app.fallthrough();
    CommandAction chosen;
    for (CommandAdder add : commandAdders()) add(app, chosen);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        // --help and --version end here too, with status 0.
        return app.exit(error) == 0 ? kExitDone : kExitUsage;
    }
    if (!chosen) return kExitUsage;

    QCoreApplication core(argc, argv);
    loadSharedState(executableDirectory());
    useNetworkOptions(network);
    Terminal terminal(quiet);
    // A message box of the core becomes a line on standard error.
    setMessagePresenter([&terminal](const std::string& text) { terminal.localError(text); });
    const int status = chosen(terminal);
    setMessagePresenter(nullptr);
    return status;
}

}  // namespace quivra
