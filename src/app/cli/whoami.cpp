// whoami: the stored account, by its config.ini keys; never the cookie.
#include <string>
#include <utility>

#include "app/cli/command.h"
#include "app/cli/exit_status.h"
#include "base/shared_state.h"

namespace quivra {
namespace {

const char* flagText(bool flag) {
    return flag ? "1" : "0";
}

int runWhoami(Terminal& terminal) {
    const UserRecord user = sharedState().user.get();
    if (user.cookie.empty()) {
        terminal.error("not logged in");
        return kExitFailed;
    }
    const std::pair<const char*, std::string> items[] = {
        {"name", user.name},
        {"mid", user.mid},
        {"headImg", user.headImg},
        {"coinNumber", user.coinNumber},
        {"moral", user.moral},
        {"emailVerify", flagText(user.emailVerify)},
        {"mobileVerify", flagText(user.mobileVerify)},
        {"level.currentLevel", user.level.currentLevel},
        {"level.currentExp", user.level.currentExp},
        {"level.nextExp", user.level.nextExp},
        {"vip.status", flagText(user.vip.status)},
        {"vip.dueDate", user.vip.dueDate},
    };
    for (const auto& [key, value] : items) terminal.localLine(std::string(key) + ": " + value);
    return kExitDone;
}

}  // namespace

void addWhoamiCommand(CLI::App& app, CommandAction& chosen) {
    CLI::App* command = app.add_subcommand(
        "whoami", "Show the stored account (name, id, level, membership); never the cookie");
    command->callback([&chosen] { chosen = runWhoami; });
}

}  // namespace quivra
