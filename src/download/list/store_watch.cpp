#include "download/list/store_watch.h"

#include "download/list/store_rows.h"

namespace quivra {

StoreWatch::StoreWatch(std::string path) : path_(std::move(path)) {}

bool StoreWatch::ready() {
    return database_.isOpen() || database_.open(path_);
}

void StoreWatch::know(std::int64_t id, std::uint64_t fingerprint) {
    fingerprints_[id] = fingerprint;
}

std::optional<StoreLook> StoreWatch::look() {
    if (!ready()) return std::nullopt;
    std::int64_t version = 0;
    if (!database_.queryInteger("PRAGMA data_version", version)) return std::nullopt;
    if (version == dataVersion_) return StoreLook{};
    StoreLook found;
    std::vector<std::pair<std::int64_t, std::uint64_t>> seen;
    const auto changed = [&](std::int64_t id, std::uint64_t print) {
        const auto known = fingerprints_.find(id);
        if (known != fingerprints_.end() && known->second == print) return false;
        seen.emplace_back(id, print);
        return true;
    };
    const auto take = [&](DownloadItem&& item) { found.items.push_back(std::move(item)); };
    // One read transaction: the commands belong to the items read.
    if (!database_.execute("BEGIN")) return std::nullopt;
    const bool read = readItems(database_, take, changed) == StoreCheck::Ready &&
                      readCommands(database_, found.commands) == StoreCheck::Ready;
    database_.execute("COMMIT");
    if (!read) return std::nullopt;
    for (const auto& [id, print] : seen) fingerprints_[id] = print;
    dataVersion_ = version;
    return found;
}

bool StoreWatch::ask(std::int64_t id, ListCommand command) {
    return ready() && writeCommand(database_, id, command);
}

bool StoreWatch::done(std::int64_t id, ListCommand command) {
    return ready() && clearCommand(database_, id, command);
}

}  // namespace quivra
