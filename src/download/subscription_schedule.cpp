#include "download/subscription_schedule.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "base/shared_state.h"

namespace quivra {

namespace {

// A clock set back or forward is noticed within this time, however far the next check is;
// one held by another program is looked at again after a second.
constexpr std::int64_t kLongestWaitSeconds = 60;
// A subscription another program is checking is looked at again after this, not at once.
constexpr std::int64_t kHeldElsewhereSeconds = 60;

}  // namespace

std::int64_t nextCheckOf(const std::vector<Subscription>& subscriptions) {
    std::int64_t next = 0;
    for (const Subscription& subscription : subscriptions) {
        if (subscription.paused) continue;
        if (next == 0 || subscription.nextCheck < next) next = subscription.nextCheck;
    }
    return next;
}

SubscriptionSchedule::Start SubscriptionSchedule::start(const std::string& storePath,
                                                        std::shared_ptr<DownloadQueue> queue,
                                                        Guarded<DownloadSettings>& settings,
                                                        SiteAddresses site, Clock clock) {
    Start start;
    SubscriptionStore::Opening checks = SubscriptionStore::open(storePath);
    SubscriptionStore::Opening control = SubscriptionStore::open(storePath);
    if (!checks.store || !control.store) {
        start.failure = checks.failure.empty() ? control.failure : checks.failure;
        return start;
    }
    start.schedule.reset(new SubscriptionSchedule(std::move(checks.store), std::move(control.store),
                                                  std::move(queue), settings, std::move(site),
                                                  std::move(clock)));
    start.schedule->next_ = nextCheckOf(start.schedule->subscriptions());
    start.schedule->thread_ = std::thread([schedule = start.schedule.get()] { schedule->run(); });
    return start;
}

SubscriptionSchedule::SubscriptionSchedule(std::unique_ptr<SubscriptionStore> checks,
                                           std::unique_ptr<SubscriptionStore> control,
                                           std::shared_ptr<DownloadQueue> queue,
                                           Guarded<DownloadSettings>& settings, SiteAddresses site,
                                           Clock clock)
    : checks_(std::move(checks)),
      control_(std::move(control)),
      queue_(std::move(queue)),
      settings_(settings),
      site_(std::move(site)),
      clock_(std::move(clock)) {}

SubscriptionSchedule::~SubscriptionSchedule() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    woken_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void SubscriptionSchedule::addListener(std::shared_ptr<SubscriptionListener> listener) {
    std::lock_guard lock(listenersMutex_);
    listeners_.push_back(std::move(listener));
}

void SubscriptionSchedule::removeListener(const SubscriptionListener* listener) {
    std::lock_guard lock(listenersMutex_);
    std::erase_if(listeners_, [listener](const auto& held) { return held.get() == listener; });
}

std::vector<std::shared_ptr<SubscriptionListener>> SubscriptionSchedule::listeners() {
    std::lock_guard lock(listenersMutex_);
    return listeners_;
}

std::vector<Subscription> SubscriptionSchedule::subscriptions() {
    std::lock_guard lock(controlMutex_);
    return control_->all();
}

std::int64_t SubscriptionSchedule::nextCheck() const {
    return next_;
}

std::int64_t SubscriptionSchedule::add(const Subscription& subscription) {
    std::int64_t id = 0;
    {
        std::lock_guard lock(controlMutex_);
        id = control_->add(subscription);
    }
    wake();
    return id;
}

bool SubscriptionSchedule::setPaused(std::int64_t id, bool paused) {
    bool changed = false;
    {
        std::lock_guard lock(controlMutex_);
        changed = control_->setPaused(id, paused);
    }
    wake();
    return changed;
}

bool SubscriptionSchedule::remove(std::int64_t id) {
    bool removed = false;
    {
        std::lock_guard lock(controlMutex_);
        removed = control_->remove(id);
    }
    wake();
    return removed;
}

void SubscriptionSchedule::checkNow(std::int64_t id) {
    {
        std::lock_guard lock(mutex_);
        asked_.insert(id);
    }
    woken_.notify_all();
}

// The windows hear of the change at once; the thread looks again at what is due.
void SubscriptionSchedule::wake() {
    tellChanged(nextCheckOf(subscriptions()));
    {
        std::lock_guard lock(mutex_);
        changed_ = true;
    }
    woken_.notify_all();
}

void SubscriptionSchedule::tellChanged(std::int64_t nextCheck) {
    next_ = nextCheck;
    for (const auto& listener : listeners()) listener->subscriptionsChanged(nextCheck);
}

void SubscriptionSchedule::run() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        const std::set<std::int64_t> asked = std::exchange(asked_, {});
        changed_ = false;
        lock.unlock();
        checkDue(asked);
        std::vector<Subscription> all = checks_->all();
        for (Subscription& subscription : all) {
            const auto held = heldElsewhere_.find(subscription.id);
            if (held != heldElsewhere_.end()) {
                subscription.nextCheck = std::max(subscription.nextCheck, held->second);
            }
        }
        const std::int64_t next = nextCheckOf(all);
        lock.lock();
        if (stopping_ || changed_ || !asked_.empty()) continue;
        const std::int64_t wait =
            next == 0 ? kLongestWaitSeconds
                      : std::clamp<std::int64_t>(next - clock_(), 1, kLongestWaitSeconds);
        woken_.wait_for(lock, std::chrono::seconds(wait),
                        [this] { return stopping_ || changed_ || !asked_.empty(); });
    }
}

// Each due one once: a check moves its next check a whole interval on, so a clock that
// jumped makes it due once, not once for every interval it jumped over.
void SubscriptionSchedule::checkDue(const std::set<std::int64_t>& asked) {
    const std::int64_t now = clock_();
    bool checked = false;
    for (const Subscription& subscription : checks_->all()) {
        const auto held = heldElsewhere_.find(subscription.id);
        const bool waiting = held != heldElsewhere_.end() && held->second > now;
        const bool due = !subscription.paused && subscription.nextCheck <= now && !waiting;
        if (!due && asked.count(subscription.id) == 0) continue;
        {
            std::lock_guard lock(mutex_);
            if (stopping_) return;
        }
        check(subscription);
        checked = true;
    }
    if (checked) tellChanged(nextCheckOf(checks_->all()));
}

void SubscriptionSchedule::check(const Subscription& subscription) {
    const UserRecord user = sharedState().user.get();
    ListingRequest lists;
    lists.site = site_;
    lists.cookie = user.cookie;
    lists.member = user.vip.status;
    lists.keys = keys_;
    CheckContext context{*checks_,         *queue_,      settings_.get(),
                         std::move(lists), leaseOwner(), clock_()};
    const CheckOutcome outcome = checkSubscription(subscription, context);
    if (!outcome.leased) {
        heldElsewhere_[subscription.id] = clock_() + kHeldElsewhereSeconds;
        return;
    }
    heldElsewhere_.erase(subscription.id);
    for (const auto& listener : listeners()) listener->subscriptionChecked(outcome);
}

}  // namespace quivra
