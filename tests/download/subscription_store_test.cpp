// The subscriptions in downloads.db: a video seen goes to disk in the transaction of its
// parts, and the lease lets one program at a time check a subscription.
#include "download/subscription/subscription_store.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "download/list/download_store.h"
#include "support/temp_folder.h"

namespace quivra {
namespace {

std::int64_t addSample(SubscriptionStore& store) {
    Subscription subscription;
    subscription.address = "https://space.example/20000";
    subscription.name = "uploader";
    subscription.folder = "/d/uploader";
    subscription.intervalSeconds = 60;  // raised to the least
    return store.add(subscription);
}

TEST(SubscriptionStore, SeenVideoGoesToDiskInTheTransactionOfItsParts) {
    test::TempFolder folder;
    const std::string path = folder.file("downloads.db");
    StoreOpening opening = DownloadStore::open(path);
    ASSERT_TRUE(opening.store);
    SubscriptionStore::Opening subscriptions = SubscriptionStore::open(path);
    ASSERT_TRUE(subscriptions.store) << subscriptions.failure;
    const std::int64_t id = addSample(*subscriptions.store);
    ASSERT_GT(id, 0);
    EXPECT_EQ(subscriptions.store->find(id)->intervalSeconds, kLeastCheckInterval);

    DownloadStore& store = *opening.store;
    const std::int64_t before = store.transactionCount();
    store.holdWrites();
    for (std::int64_t itemId = 1; itemId <= 3; ++itemId) {
        DownloadItem item;
        item.id = itemId;
        item.request.bvid = "BV1Nw4000001";
        item.request.outputPath = "/d/uploader/" + std::to_string(itemId) + ".mp4";
        store.save(item, true);
        // Held: nothing reaches the disk between the parts and the mark.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    store.noteSeen({id, "BV1Nw4000001", "", 1780000000});
    store.releaseWrites();
    store.flush();
    EXPECT_EQ(store.transactionCount(), before + 1);
    EXPECT_EQ(subscriptions.store->seenVideos(id), std::set<std::string>{"BV1Nw4000001"});

    // Removed: its seen videos go with it, and a late mark is not kept.
    EXPECT_TRUE(subscriptions.store->remove(id));
    EXPECT_FALSE(subscriptions.store->remove(id));
    EXPECT_TRUE(subscriptions.store->noteSeen({id, "BV1Nw4000002", "", 1780000000}));
    EXPECT_TRUE(subscriptions.store->seenVideos(id).empty());
}

// A process that has ended: its id names no one any more.
pid_t endedProcess() {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

TEST(SubscriptionStore, LeaseIsRefusedOnlyWhileItsLiveHolderKeepsIt) {
    test::TempFolder folder;
    SubscriptionStore::Opening opening = SubscriptionStore::open(folder.file("downloads.db"));
    ASSERT_TRUE(opening.store) << opening.failure;
    SubscriptionStore& store = *opening.store;
    const std::int64_t now = 1780000000;
    const std::string alive = std::to_string(::getpid()) + ":holder";
    const std::string gone = std::to_string(endedProcess()) + ":holder";
    struct Case {
        const char* what;
        std::string holder;
        std::int64_t takenAt;
        bool secondTakes;
    };
    const Case cases[] = {
        {"held by a running check", alive, now, false},
        {"run out", alive, now - kLeaseSeconds - 1, true},
        {"its holder died", gone, now, true},
    };
    for (const Case& c : cases) {
        const std::int64_t id = addSample(store);
        ASSERT_TRUE(store.takeLease(id, c.holder, c.takenAt)) << c.what;
        EXPECT_EQ(store.takeLease(id, leaseOwner(), now), c.secondTakes) << c.what;
    }
    const std::int64_t id = addSample(store);
    ASSERT_TRUE(store.takeLease(id, alive, now));
    EXPECT_TRUE(store.renewLease(id, alive, now + kLeaseSeconds));
    EXPECT_FALSE(store.takeLease(id, leaseOwner(), now + kLeaseSeconds + 10));
    store.giveUpLease(id, alive);
    EXPECT_TRUE(store.takeLease(id, leaseOwner(), now));
    EXPECT_FALSE(store.renewLease(id, alive, now));
}

}  // namespace
}  // namespace quivra
