// The windows' program's subscriptions: each is checked on the schedule's own thread when it
// comes due (those overdue at once), its new videos going into the program's one list. The
// windows add, pause, remove and check through it and hear what each check found; it lives
// with the core, so it keeps checking while every window is closed to the tray.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "base/guarded.h"
#include "base/records.h"
#include "download/list/download_queue.h"
#include "download/subscription/subscription_check.h"
#include "download/subscription/subscription_store.h"
#include "video/listing/video_listing.h"

namespace quivra {

// Called on the schedule's thread, or on the thread that changed the subscriptions.
class SubscriptionListener {
  public:
    virtual ~SubscriptionListener() = default;
    // A check ended that this program made (not one another program held).
    virtual void subscriptionChecked(const CheckOutcome& outcome) = 0;
    // The subscriptions changed; nextCheck: the earliest check due of those not paused,
    // 0 when there is none.
    virtual void subscriptionsChanged(std::int64_t nextCheck) = 0;
};

// The earliest nextCheck of the subscriptions not paused; 0 when there is none.
std::int64_t nextCheckOf(const std::vector<Subscription>& subscriptions);

class SubscriptionSchedule {
  public:
    using Clock = std::function<std::int64_t()>;  // seconds since the epoch

    struct Start {
        std::shared_ptr<SubscriptionSchedule> schedule;
        std::string failure;  // local text: why the store could not be opened; "" when started
    };
    // Opens the store at storePath (UTF-8) twice, one connection for the checks' thread and
    // one for the windows, and starts the thread.
    static Start start(const std::string& storePath, std::shared_ptr<DownloadQueue> queue,
                       Guarded<DownloadSettings>& settings, SiteAddresses site, Clock clock);
    // The check running ends first.
    ~SubscriptionSchedule();

    void addListener(std::shared_ptr<SubscriptionListener> listener);
    void removeListener(const SubscriptionListener* listener);

    std::vector<Subscription> subscriptions();  // by id
    std::int64_t nextCheck() const;             // as nextCheckOf, kept: any thread, often
    std::int64_t now() const { return clock_(); }
    // Its id, 0 when not written; a nextCheck of 0 makes it due at once.
    std::int64_t add(const Subscription& subscription);
    bool setPaused(std::int64_t id, bool paused);
    bool remove(std::int64_t id);    // its files stay
    void checkNow(std::int64_t id);  // on the schedule's thread, paused or not

  private:
    SubscriptionSchedule(std::unique_ptr<SubscriptionStore> checks,
                         std::unique_ptr<SubscriptionStore> control,
                         std::shared_ptr<DownloadQueue> queue, Guarded<DownloadSettings>& settings,
                         SiteAddresses site, Clock clock);
    void run();
    void checkDue(const std::set<std::int64_t>& asked);
    void check(const Subscription& subscription);
    void wake();
    void tellChanged(std::int64_t nextCheck);
    std::vector<std::shared_ptr<SubscriptionListener>> listeners();

    const std::unique_ptr<SubscriptionStore> checks_;  // the thread's connection
    std::mutex controlMutex_;
    const std::unique_ptr<SubscriptionStore> control_;  // the windows', under controlMutex_
    const std::shared_ptr<DownloadQueue> queue_;
    Guarded<DownloadSettings>& settings_;
    const SiteAddresses site_;
    const Clock clock_;
    const std::shared_ptr<SigningKeys> keys_ = std::make_shared<SigningKeys>();
    std::atomic<std::int64_t> next_{0};
    // The thread's own: when to try again the subscriptions another program was checking.
    std::map<std::int64_t, std::int64_t> heldElsewhere_;

    std::mutex listenersMutex_;
    std::vector<std::shared_ptr<SubscriptionListener>> listeners_;

    std::mutex mutex_;  // guards what follows
    std::condition_variable woken_;
    bool stopping_ = false;
    bool changed_ = false;
    std::set<std::int64_t> asked_;
    std::thread thread_;
};

}  // namespace quivra
