#include "download/subscription/subscription_store.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <random>

#include "download/list/download_store.h"
#include "download/list/store_rows.h"
#include "net/text_encoding.h"

namespace quivra {

namespace {

constexpr const char* kSubscriptionColumns =
    "id, address, kind, name, folder, quality, audio, extras, since,"
    " back_catalogue, interval_seconds, paused, last_check, new_count, next_check, status";

Subscription subscriptionOfRow(const SqliteStatement& row) {
    Subscription subscription;
    subscription.id = row.integerColumn(0);
    subscription.address = utf8ToLocalText(row.textColumn(1));
    subscription.kind = listKindOfKey(row.textColumn(2)).value_or(ListKind::Uploader);
    subscription.name = utf8ToLocalText(row.textColumn(3));
    subscription.folder = utf8ToLocalText(row.textColumn(4));
    subscription.quality = utf8ToLocalText(row.textColumn(5));
    subscription.audio = utf8ToLocalText(row.textColumn(6));
    subscription.extras = row.textColumn(7);
    subscription.since = row.integerColumn(8);
    subscription.backCatalogue = row.integerColumn(9) != 0;
    subscription.intervalSeconds = static_cast<int>(row.integerColumn(10));
    subscription.paused = row.integerColumn(11) != 0;
    subscription.lastCheck = row.integerColumn(12);
    subscription.newCount = static_cast<int>(row.integerColumn(13));
    subscription.nextCheck = row.integerColumn(14);
    subscription.status = utf8ToLocalText(row.textColumn(15));
    return subscription;
}

// The process named first in an owner text is still running (on this machine, where
// downloads.db lives).
bool ownerAlive(const std::string& owner) {
    const pid_t pid = static_cast<pid_t>(std::atoll(owner.c_str()));
    if (pid <= 0) return false;
    return ::kill(pid, 0) == 0 || errno != ESRCH;
}

bool stepDone(SqliteStatement& statement) {
    return statement.step() == SqliteStatement::Step::Done;
}

}  // namespace

SubscriptionStore::Opening SubscriptionStore::open(const std::string& path) {
    Opening opening;
    SqliteDatabase database;
    const std::string name = utf8ToLocalText(path);
    if (!createStoreFile(path) || !database.open(path)) {
        opening.failure = localText("无法打开 ") + name;
        return opening;
    }
    const StoreCheck check = upgradeStore(database, DownloadStore::kSchemaVersion);
    if (check != StoreCheck::Ready || !useWriteAheadLog(database)) {
        opening.failure =
            localText("无法读取 ") + name + localText("：") + utf8ToLocalText(database.errorText());
        return opening;
    }
    opening.store.reset(new SubscriptionStore(std::move(database)));
    return opening;
}

std::int64_t SubscriptionStore::add(const Subscription& subscription) {
    SqliteStatement insert(database_,
                           "INSERT INTO subscriptions (address, kind, name, folder, quality,"
                           " audio, extras, since, back_catalogue, interval_seconds,"
                           " paused, last_check, new_count, next_check, status, lease_owner,"
                           " lease_until) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11,"
                           " 0, 0, ?12, ?13, '', 0)");
    insert.bind(1, localToUtf8(subscription.address));
    insert.bind(2, std::string(listKindKey(subscription.kind)));
    insert.bind(3, localToUtf8(subscription.name));
    insert.bind(4, localToUtf8(subscription.folder));
    insert.bind(5, localToUtf8(subscription.quality));
    insert.bind(6, localToUtf8(subscription.audio));
    insert.bind(7, subscription.extras);
    insert.bind(8, subscription.since);
    insert.bind(9, std::int64_t{subscription.backCatalogue});
    insert.bind(10, std::int64_t{checkInterval(subscription.intervalSeconds)});
    insert.bind(11, std::int64_t{subscription.paused});
    insert.bind(12, subscription.nextCheck);
    insert.bind(13, localToUtf8(subscription.status));
    if (!stepDone(insert)) return 0;
    std::int64_t id = 0;
    return database_.queryInteger("SELECT last_insert_rowid()", id) ? id : 0;
}

std::vector<Subscription> SubscriptionStore::all() {
    std::vector<Subscription> subscriptions;
    SqliteStatement select(database_, std::string("SELECT ") + kSubscriptionColumns +
                                          " FROM subscriptions ORDER BY id");
    while (select.step() == SqliteStatement::Step::Row)
        subscriptions.push_back(subscriptionOfRow(select));
    return subscriptions;
}

std::optional<Subscription> SubscriptionStore::find(std::int64_t id) {
    SqliteStatement select(database_, std::string("SELECT ") + kSubscriptionColumns +
                                          " FROM subscriptions WHERE id = ?1");
    select.bind(1, id);
    if (select.step() != SqliteStatement::Step::Row) return std::nullopt;
    return subscriptionOfRow(select);
}

bool SubscriptionStore::remove(std::int64_t id) {
    SqliteTransaction transaction(database_);
    if (!transaction.isActive()) return false;
    SqliteStatement seen(database_, "DELETE FROM subscription_videos WHERE subscription_id = ?1");
    seen.bind(1, id);
    SqliteStatement row(database_, "DELETE FROM subscriptions WHERE id = ?1");
    row.bind(1, id);
    if (!stepDone(seen) || !stepDone(row)) return false;
    const bool removed = database_.changes() > 0;
    return transaction.commit() && removed;
}

std::set<std::string> SubscriptionStore::seenVideos(std::int64_t id) {
    std::set<std::string> bvids;
    SqliteStatement select(database_,
                           "SELECT bvid FROM subscription_videos WHERE subscription_id = ?1");
    select.bind(1, id);
    while (select.step() == SqliteStatement::Step::Row) bvids.insert(select.textColumn(0));
    return bvids;
}

bool SubscriptionStore::noteSeen(const SeenVideo& video) {
    SqliteTransaction transaction(database_);
    return transaction.isActive() && writeSeen(database_, {video}) && transaction.commit();
}

bool SubscriptionStore::takeLease(std::int64_t id, const std::string& owner, std::int64_t now) {
    SqliteTransaction transaction(database_);
    if (!transaction.isActive()) return false;
    SqliteStatement select(database_,
                           "SELECT lease_owner, lease_until FROM subscriptions WHERE id = ?1");
    select.bind(1, id);
    if (select.step() != SqliteStatement::Step::Row) return false;
    const std::string holder = select.textColumn(0);
    const bool held =
        !holder.empty() && holder != owner && select.integerColumn(1) > now && ownerAlive(holder);
    if (held) return false;
    SqliteStatement take(
        database_, "UPDATE subscriptions SET lease_owner = ?2, lease_until = ?3 WHERE id = ?1");
    take.bind(1, id);
    take.bind(2, owner);
    take.bind(3, now + kLeaseSeconds);
    return stepDone(take) && transaction.commit();
}

bool SubscriptionStore::renewLease(std::int64_t id, const std::string& owner, std::int64_t now) {
    SqliteStatement renew(database_,
                          "UPDATE subscriptions SET lease_until = ?3"
                          " WHERE id = ?1 AND lease_owner = ?2");
    renew.bind(1, id);
    renew.bind(2, owner);
    renew.bind(3, now + kLeaseSeconds);
    return stepDone(renew) && database_.changes() > 0;
}

void SubscriptionStore::giveUpLease(std::int64_t id, const std::string& owner) {
    SqliteStatement release(database_,
                            "UPDATE subscriptions SET lease_owner = '', lease_until = 0"
                            " WHERE id = ?1 AND lease_owner = ?2");
    release.bind(1, id);
    release.bind(2, owner);
    stepDone(release);
}

bool SubscriptionStore::recordCheck(const Subscription& checked) {
    SqliteStatement update(database_,
                           "UPDATE subscriptions SET last_check = ?2, new_count = ?3,"
                           " next_check = ?4, status = ?5 WHERE id = ?1");
    update.bind(1, checked.id);
    update.bind(2, checked.lastCheck);
    update.bind(3, std::int64_t{checked.newCount});
    update.bind(4, checked.nextCheck);
    update.bind(5, localToUtf8(checked.status));
    return stepDone(update);
}

bool SubscriptionStore::setPaused(std::int64_t id, bool paused) {
    SqliteStatement update(database_, "UPDATE subscriptions SET paused = ?2 WHERE id = ?1");
    update.bind(1, id);
    update.bind(2, std::int64_t{paused});
    return stepDone(update) && database_.changes() > 0;
}

std::string leaseOwner() {
    std::random_device random;
    return std::to_string(::getpid()) + ":" + std::to_string(random()) + std::to_string(random());
}

}  // namespace quivra
