// subscribe add ADDRESS [--since DAY | --all] [--every 6h] [-q QUALITY] [-o FOLDER],
// subscribe list [--json], subscribe remove ID
#include <cctype>
#include <memory>

#include "app/cli/command.h"
#include "app/cli/subscription_commands.h"
#include "download/plan/default_quality.h"
#include "video/listing/entry_filter.h"

namespace quivra {

std::optional<int> parseInterval(const std::string& text) {
    std::size_t digits = 0;
    while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits]))) ++digits;
    if (digits == 0 || digits > 7) return std::nullopt;
    const std::string unit = text.substr(digits);
    int scale = 0;
    if (unit.empty() || unit == "s") scale = 1;
    if (unit == "m") scale = 60;
    if (unit == "h") scale = 3600;
    if (unit == "d") scale = 86400;
    const long long seconds = std::stoll(text.substr(0, digits)) * scale;
    if (scale == 0 || seconds <= 0 || seconds > 365LL * 86400) return std::nullopt;
    return static_cast<int>(seconds);
}

namespace {

void addAdd(CLI::App& parent, CommandAction& chosen) {
    auto options = std::make_shared<SubscribeAddOptions>();
    CLI::App* command = parent.add_subcommand(
        "add",
        "Follow a list (an uploader's videos, a favourites folder, a collection, a series, the "
        "watch-later list, a season): sync downloads what it gains into the list's folder");
    command->add_option("ADDRESS", options->address, "The list's address")->required();
    CLI::Option* since =
        command
            ->add_option_function<std::string>(
                "--since", [options](const std::string& text) { options->since = parseDay(text); },
                "Only videos published on that day (yyyy-MM-dd) or later (default: from now)")
            ->type_name("DAY")
            ->check(CLI::Validator(
                [](std::string& text) {
                    return parseDay(text) ? std::string() : "not a day (yyyy-MM-dd): " + text;
                },
                ""));
    command->add_flag("--all", options->all, "The videos it holds already too")->excludes(since);
    command
        ->add_option_function<std::string>(
            "--every",
            [options](const std::string& text) { options->everySeconds = *parseInterval(text); },
            "How often sync checks it, like 30m, 6h or 1d (default 6h; at least 10m)")
        ->type_name("INTERVAL")
        ->check(CLI::Validator(
            [](std::string& text) {
                return parseInterval(text) ? std::string() : "not an interval: " + text;
            },
            ""));
    command
        ->add_option("-q,--quality", options->quality,
                     "The best quality at most this, as 默认视频质量 offers: 4K, 1080P60, 1080P, "
                     "720P, 480P, 360P (default the settings')")
        ->type_name("QUALITY")
        ->check(CLI::IsMember(videoCeilingNames()).description(""));
    command
        ->add_option("-o,--folder", options->folder,
                     "Download folder; the list's videos go into a folder named after it "
                     "(default the stored one)")
        ->type_name("FOLDER");
    command->callback([&chosen, options] {
        chosen = [options](Terminal& terminal) { return runSubscribeAdd(*options, terminal); };
    });
}

}  // namespace

void addSubscribeCommand(CLI::App& app, CommandAction& chosen) {
    CLI::App* command =
        app.add_subcommand("subscribe", "The lists followed (in downloads.db); sync checks them");
    command->require_subcommand(1);
    addAdd(*command, chosen);

    auto list = std::make_shared<SubscribeListOptions>();
    CLI::App* listCommand = command->add_subcommand(
        "list", "Every subscription: 名称, 类型, 文件夹, 上次检查, 新视频, 下次检查, 状态");
    listCommand->add_flag("--json", list->json, "Write one JSON array");
    listCommand->callback([&chosen, list] {
        chosen = [list](Terminal& terminal) { return runSubscribeList(*list, terminal); };
    });

    auto id = std::make_shared<std::int64_t>(0);
    CLI::App* remove =
        command->add_subcommand("remove", "Stop following a list; its files stay where they are");
    remove->add_option("ID", *id, "The subscription's number, as subscribe list shows it")
        ->required()
        ->check(CLI::PositiveNumber.description(""));
    remove->callback([&chosen, id] {
        chosen = [id](Terminal& terminal) { return runSubscribeRemove(*id, terminal); };
    });
}

}  // namespace quivra
