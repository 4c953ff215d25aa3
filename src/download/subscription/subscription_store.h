// The subscriptions in downloads.db, read and written through a connection of their own:
// what the command line and a check read, the videos each has seen, and the lease that
// keeps two programs from checking one subscription at once.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "download/list/seen_video.h"
#include "download/list/sqlite_database.h"
#include "download/subscription/subscription.h"

namespace quivra {

// How long a lease holds without being renewed: a program that died keeps none longer.
inline constexpr int kLeaseSeconds = 300;

class SubscriptionStore {
  public:
    struct Opening {
        std::unique_ptr<SubscriptionStore> store;
        std::string failure;  // local text; "" when opened
    };
    // Opens downloads.db at path (UTF-8), creating or upgrading it; a store it cannot read
    // is left alone and named in the failure.
    static Opening open(const std::string& path);

    std::int64_t add(const Subscription& subscription);  // its id; 0 when not written
    std::vector<Subscription> all();                     // by id; empty on failure
    std::optional<Subscription> find(std::int64_t id);
    bool remove(std::int64_t id);  // with the videos it saw; false when there was none

    // The bvids it has seen.
    std::set<std::string> seenVideos(std::int64_t id);
    // For a video that brings no parts (removed, done already).
    bool noteSeen(const SeenVideo& video);

    // Taken when no one holds it, its holder let it run out, or its holder's process is
    // gone; one transaction decides. owner: leaseOwner() of the check.
    bool takeLease(std::int64_t id, const std::string& owner, std::int64_t now);
    bool renewLease(std::int64_t id, const std::string& owner, std::int64_t now);
    void giveUpLease(std::int64_t id, const std::string& owner);

    // Writes what a check found: last and next check, new count, status.
    bool recordCheck(const Subscription& checked);
    // A paused subscription is not checked when it comes due; false when there is none.
    bool setPaused(std::int64_t id, bool paused);

  private:
    explicit SubscriptionStore(SqliteDatabase database) : database_(std::move(database)) {}
    SqliteDatabase database_;
};

// A lease owner unique to this check: this process's id and a random token.
std::string leaseOwner();

}  // namespace quivra
