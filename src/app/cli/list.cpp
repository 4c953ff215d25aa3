// list [--json]: the download list's items and their states.
#include <memory>

#include "app/cli/command.h"
#include "app/cli/download_commands.h"

namespace quivra {

void addListCommand(CLI::App& app, CommandAction& chosen) {
    auto options = std::make_shared<ListOptions>();
    CLI::App* command = app.add_subcommand(
        "list", "The download list (downloads.db): every part, oldest first, with its state");
    command->add_flag("--json", options->json, "Write one JSON array");
    command->callback([&chosen, options] {
        chosen = [options](Terminal& terminal) { return runList(*options, terminal); };
    });
}

}  // namespace quivra
