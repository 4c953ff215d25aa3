// sync [ID...] [--now]: the subscriptions checked, what is new downloaded and waited for.
#include <memory>

#include "app/cli/command.h"
#include "app/cli/subscription_commands.h"

namespace quivra {

void addSyncCommand(CLI::App& app, CommandAction& chosen) {
    auto options = std::make_shared<SyncOptions>();
    CLI::App* command = app.add_subcommand(
        "sync",
        "Check the subscriptions that are due, download the new videos as get does and wait "
        "for them. Two programs never check one subscription at once");
    command->add_option("ID", options->ids, "Only these subscriptions, due or not")
        ->check(CLI::PositiveNumber.description(""));
    command->add_flag("--now", options->now,
                      "Check every subscription now, due or not, and download outside the "
                      "settings' 下载时段 too (for this run)");
    command->callback([&chosen, options] {
        chosen = [options](Terminal& terminal) { return runSync(*options, terminal); };
    });
}

}  // namespace quivra
