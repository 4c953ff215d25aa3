// subscribe add, list and remove: the subscriptions in downloads.db.
#include <atomic>
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
#include "download/list_download.h"
#include "download/subscription/subscription_store.h"
#include "net/text_encoding.h"
#include "video/listing/list_address.h"
#include "video/listing/video_listing.h"

namespace quivra {

namespace {

// The listing ends after its first page: its name and whether it can be read are enough.
class FirstPageOnly : public ListingView {
  public:
    explicit FirstPageOnly(std::atomic<bool>& stop) : stop_(stop) {}
    void showListInfo(const ListInfo&) override {}
    void showEntries(size_t, const std::vector<ListEntry>&) override { stop_ = true; }
    void showWaiting(const std::string&) override {}

  private:
    std::atomic<bool>& stop_;
};

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
    const std::optional<ListAddress> list =
        recognizeListAddress(utf8ToLocalText(options.address), sharedState().site);
    if (!list || !list->problem.empty()) {
        terminal.error(options.address + ": " +
                       (list ? localToUtf8(list->problem)
                             : "not the address of a list (an uploader's videos, a favourites "
                               "folder, a collection, a series, the watch-later list or a "
                               "season)"));
        return kExitFailed;
    }
    std::atomic<bool> stop{false};
    FirstPageOnly view(stop);
    const ListingResult listing = listVideos(listingRequestFor(*list), &view, &stop);
    if (!listing.complete && !stop) {
        terminal.error(options.address + ": " + localToUtf8(listing.reason));
        return kExitFailed;
    }
    const std::unique_ptr<SubscriptionStore> store = openSubscriptions(terminal);
    if (!store) return kExitFailed;
    const std::int64_t now = std::time(nullptr);
    Subscription subscription;
    subscription.address = utf8ToLocalText(options.address);
    subscription.kind = list->kind;
    subscription.name = listing.info.name;
    subscription.folder =
        listDownloadSettings(sharedState().download.get(), listing.info).directory;
    subscription.quality = utf8ToLocalText(options.quality);
    subscription.since = options.since.value_or(now);
    subscription.backCatalogue = options.all;
    if (options.everySeconds > 0) subscription.intervalSeconds = options.everySeconds;
    if (subscription.intervalSeconds < kLeastCheckInterval)
        terminal.error("an interval under 10 minutes is raised to 10 minutes");
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
