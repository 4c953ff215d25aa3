// subscribe add, list and remove: the subscriptions in downloads.db.
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "app/cli/download_commands.h"
#include "app/cli/downloads/subscriptions_file.h"
#include "app/cli/exit_status.h"
#include "app/cli/list_request.h"
#include "app/cli/subscription_commands.h"
#include "base/keep_settings.h"
#include "base/shared_state.h"
#include "download/list/download_store.h"
#include "download/subscription/subscription_store.h"
#include "download/subscription_add.h"
#include "net/text_encoding.h"
#include "video/listing/list_address.h"

namespace quivra {

namespace {

// "2026-05-28 14:30" in local time; "-" for never.
std::string momentText(std::int64_t seconds) {
    if (seconds <= 0) return "-";
    const std::time_t moment = static_cast<std::time_t>(seconds);
    std::tm parts{};
    char text[32];
    if (localtime_r(&moment, &parts) == nullptr ||
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &parts) == 0) {
        return "-";
    }
    return text;
}

nlohmann::ordered_json subscriptionJson(const Subscription& subscription) {
    return {{"id", subscription.id},
            {"name", jsonText(subscription.name)},
            {"kind", listKindKey(subscription.kind)},
            {"folder", jsonText(subscription.folder)},
            {"lastCheck", subscription.lastCheck},
            {"newVideos", subscription.newCount},
            {"nextCheck", subscription.nextCheck},
            {"status", jsonText(subscription.status)},
            {"address", jsonText(subscription.address)},
            {"since", subscription.since},
            {"backCatalogue", subscription.backCatalogue},
            {"interval", subscription.intervalSeconds},
            {"paused", subscription.paused},
            {"quality", jsonText(subscription.quality)}};
}

}  // namespace

std::unique_ptr<SubscriptionStore> openSubscriptions(Terminal& terminal) {
    SubscriptionStore::Opening opening =
        SubscriptionStore::open(downloadStorePath(sharedState().configPath));
    if (!opening.store) terminal.localError(opening.failure);
    return std::move(opening.store);
}

int runSubscribeAdd(const SubscribeAddOptions& options, Terminal& terminal) {
    GetOptions folder;
    folder.folder = options.folder;
    overrideSettings(settingOverrides(folder));
    const std::int64_t now = std::time(nullptr);
    Subscription wanted;
    wanted.address = utf8ToLocalText(options.address);
    wanted.quality = utf8ToLocalText(options.quality);
    wanted.since = options.since.value_or(now);
    wanted.backCatalogue = options.all;
    if (options.everySeconds > 0) wanted.intervalSeconds = options.everySeconds;
    if (wanted.intervalSeconds < kLeastCheckInterval)
        terminal.error("an interval under 10 minutes is raised to 10 minutes");
    // The list's own folder under the download folder (-o names another for this run).
    const NewSubscription made =
        describeSubscription(wanted, listingRequestFor({}), sharedState().download.get());
    if (!made.failure.empty()) {
        terminal.error(options.address + ": " + localToUtf8(made.failure));
        return kExitFailed;
    }
    const std::unique_ptr<SubscriptionStore> store = openSubscriptions(terminal);
    if (!store) return kExitFailed;
    Subscription subscription = made.subscription;
    subscription.nextCheck = now;  // the first sync checks it
    subscription.id = store->add(subscription);
    if (subscription.id == 0) {
        terminal.error("the subscription could not be written to downloads.db");
        return kExitFailed;
    }
    terminal.line("subscribed " + std::to_string(subscription.id) + ": " +
                  localToUtf8(subscription.name) + " (" +
                  localToUtf8(listKindName(subscription.kind)) + ") into " +
                  localToUtf8(subscription.folder));
    return kExitDone;
}

int runSubscribeList(const SubscribeListOptions& options, Terminal& terminal) {
    const std::unique_ptr<SubscriptionStore> store = openSubscriptions(terminal);
    if (!store) return kExitFailed;
    const std::vector<Subscription> subscriptions = store->all();
    if (options.json) {
        nlohmann::ordered_json list = nlohmann::ordered_json::array();
        for (const Subscription& subscription : subscriptions)
            list.push_back(subscriptionJson(subscription));
        terminal.json(list);
        return kExitDone;
    }
    terminal.line("ID\t名称\t类型\t文件夹\t上次检查\t新视频\t下次检查\t状态");
    for (const Subscription& subscription : subscriptions) {
        terminal.line(std::to_string(subscription.id) + "\t" + localToUtf8(subscription.name) +
                      "\t" + localToUtf8(listKindName(subscription.kind)) + "\t" +
                      localToUtf8(subscription.folder) + "\t" + momentText(subscription.lastCheck) +
                      "\t" + std::to_string(subscription.newCount) + "\t" +
                      (subscription.paused ? "暂停" : momentText(subscription.nextCheck)) + "\t" +
                      localToUtf8(subscription.status));
    }
    return kExitDone;
}

int runSubscribeRemove(std::int64_t id, Terminal& terminal) {
    const std::unique_ptr<SubscriptionStore> store = openSubscriptions(terminal);
    if (!store) return kExitFailed;
    if (!store->remove(id)) {
        terminal.error("no subscription " + std::to_string(id));
        return kExitFailed;
    }
    terminal.line("removed subscription " + std::to_string(id) + "; its files stay");
    return kExitDone;
}

}  // namespace quivra
