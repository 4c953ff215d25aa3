// sync: the subscriptions due (or those named) checked one after another with shared
// signature keys, their new videos handed to the download list and waited for as get waits.
#include <ctime>
#include <memory>
#include <set>
#include <vector>

#include "app/cli/downloads/download_session.h"
#include "app/cli/downloads/subscriptions_file.h"
#include "app/cli/exit_status.h"
#include "app/cli/list_request.h"
#include "app/cli/subscription_commands.h"
#include "base/keep_settings.h"
#include "base/shared_state.h"
#include "download/subscription/subscription_check.h"
#include "download/subscription/subscription_store.h"
#include "net/text_encoding.h"

namespace quivra {

namespace {

// Those named (any of them), or every one that is not paused and is due (all with --now).
std::vector<Subscription> chosenSubscriptions(const SyncOptions& options,
                                              std::vector<Subscription> all, std::int64_t now,
                                              Terminal& terminal, bool& failed) {
    std::vector<Subscription> chosen;
    if (!options.ids.empty()) {
        for (const std::int64_t id :
             std::set<std::int64_t>(options.ids.begin(), options.ids.end())) {
            bool found = false;
            for (const Subscription& subscription : all) {
                if (subscription.id != id) continue;
                chosen.push_back(subscription);
                found = true;
            }
            if (!found) {
                terminal.error("no subscription " + std::to_string(id));
                failed = true;
            }
        }
        return chosen;
    }
    for (Subscription& subscription : all) {
        if (!subscription.paused && (options.now || subscription.nextCheck <= now))
            chosen.push_back(std::move(subscription));
    }
    return chosen;
}

}  // namespace

int runSync(const SyncOptions& options, Terminal& terminal) {
    const std::unique_ptr<SubscriptionStore> store = openSubscriptions(terminal);
    if (!store) return kExitFailed;
    bool failed = false;
    const std::vector<Subscription> chosen =
        chosenSubscriptions(options, store->all(), std::time(nullptr), terminal, failed);
    if (chosen.empty()) return failed ? kExitFailed : kExitDone;

    // --now is this run's: its videos download outside 下载时段 too, as get --now's do.
    if (options.now) {
        const SettingChange anyTime{SettingKey::DownloadWindowOn, false};
        overrideSettings({&anyTime, 1});
    }
    Interrupts interrupts;
    const std::unique_ptr<ProgressOutput> output = makeProgressOutput(terminal, false);
    std::unique_ptr<DownloadSession> session = DownloadSession::start(*output, interrupts);
    if (!session) return kExitFailed;
    CheckContext context{
        *store, session->queue(), sharedState().download.get(), listingRequestFor({}), leaseOwner(),
        0};
    context.lists.keys = std::make_shared<SigningKeys>();
    for (const Subscription& subscription : chosen) {
        if (interrupts.requested()) break;
        context.now = std::time(nullptr);
        const CheckOutcome outcome = checkSubscription(subscription, context);
        const std::string name = localToUtf8(subscription.name);
        if (!outcome.leased) {
            terminal.error(name + ": " + localToUtf8(outcome.failure));
            continue;
        }
        if (!outcome.failure.empty()) {
            terminal.error(name + ": " + localToUtf8(outcome.checked.status));
            failed = true;
        } else {
            terminal.line(name + ": " + localToUtf8(outcome.checked.status));
        }
        for (const std::int64_t id : outcome.items) {
            if (const std::optional<DownloadItem> item = session->queue().item(id))
                session->follow(*item);
        }
    }
    const DownloadSession::Outcome downloads = session->wait();
    session.reset();
    if (downloads.interrupted) return kExitInterrupted;
    return failed || downloads.failed > 0 ? kExitFailed : kExitDone;
}

}  // namespace quivra
