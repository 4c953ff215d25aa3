// logout: forgets the stored account and its cookie.
#include "account/user_info.h"
#include "app/cli/command.h"
#include "app/cli/exit_status.h"

namespace quivra {

void addLogoutCommand(CLI::App& app, CommandAction& chosen) {
    CLI::App* command = app.add_subcommand("logout", "Forget the stored account and its cookie");
    command->callback([&chosen] {
        chosen = [](Terminal&) {
            forgetUserInfo();
            return kExitDone;
        };
    });
}

}  // namespace quivra
