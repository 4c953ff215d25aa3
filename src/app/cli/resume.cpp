// resume [--json]: continues every paused or unfinished part of the download list.
#include <memory>

#include "app/cli/command.h"
#include "app/cli/download_commands.h"

namespace quivra {

void addResumeCommand(CLI::App& app, CommandAction& chosen) {
    auto options = std::make_shared<ResumeOptions>();
    CLI::App* command = app.add_subcommand(
        "resume",
        "Continue every paused or unfinished part of the download list and wait for them, as "
        "get does");
    command->add_flag("--json", options->json, "Write one JSON object per event");
    command->callback([&chosen, options] {
        chosen = [options](Terminal& terminal) { return runResume(*options, terminal); };
    });
}

}  // namespace quivra
