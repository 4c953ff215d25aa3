// whoami: the stored account, by its config.ini keys; never the cookie.
#include <string>

#include "app/cli/command.h"
#include "app/cli/exit_status.h"
#include "base/settings_table.h"
#include "base/shared_state.h"

namespace quivra {
namespace {

int runWhoami(Terminal& terminal) {
    const UserRecord user = sharedState().user.get();
    if (user.cookie.empty()) {
        terminal.error("not logged in");
        return kExitFailed;
    }
    const SettingKey shown[] = {
        SettingKey::UserName,     SettingKey::Mid,          SettingKey::HeadImg,
        SettingKey::CoinNumber,   SettingKey::Moral,        SettingKey::EmailVerify,
        SettingKey::MobileVerify, SettingKey::CurrentLevel, SettingKey::CurrentExp,
        SettingKey::NextExp,      SettingKey::VipStatus,    SettingKey::VipDueDate,
    };
    for (SettingKey key : shown) {
        const SettingRow& row = settingRow(key);
        terminal.localLine(std::string(row.key) + ": " + settingText(row, user));
    }
    return kExitDone;
}

}  // namespace

void addWhoamiCommand(CLI::App& app, CommandAction& chosen) {
    CLI::App* command = app.add_subcommand(
        "whoami", "Show the stored account (name, id, level, membership); never the cookie");
    command->callback([&chosen] { chosen = runWhoami; });
}

}  // namespace quivra
