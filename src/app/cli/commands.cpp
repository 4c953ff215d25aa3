#include "app/cli/command.h"

namespace quivra {

// Each is defined in <command>.cpp.
void addInfoCommand(CLI::App& app, CommandAction& chosen);
void addSearchCommand(CLI::App& app, CommandAction& chosen);
void addLoginCommand(CLI::App& app, CommandAction& chosen);
void addLogoutCommand(CLI::App& app, CommandAction& chosen);
void addWhoamiCommand(CLI::App& app, CommandAction& chosen);
void addGetCommand(CLI::App& app, CommandAction& chosen);
void addListCommand(CLI::App& app, CommandAction& chosen);
void addResumeCommand(CLI::App& app, CommandAction& chosen);
void addSubscribeCommand(CLI::App& app, CommandAction& chosen);
void addSyncCommand(CLI::App& app, CommandAction& chosen);

const std::vector<CommandAdder>& commandAdders() {
    static const std::vector<CommandAdder> adders = {
        addGetCommand,  addListCommand,   addResumeCommand, addSubscribeCommand, addSyncCommand,
        addInfoCommand, addSearchCommand, addLoginCommand,  addLogoutCommand,    addWhoamiCommand,
    };
    return adders;
}

}  // namespace quivra
