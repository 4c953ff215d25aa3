#include "download/list/store_watch.h"

#include "download/list/store_rows.h"

namespace quivra {

StoreWatch::StoreWatch(std::string path) : path_(std::move(path)) {}

bool StoreWatch::ready() {
    return database_.isOpen() || database_.open(path_);
}

std::optional<StoreLook> StoreWatch::look() {
    if (!ready()) return std::nullopt;
    StoreLook found;
    // One read transaction: the commands belong to the items read.
    if (!database_.execute("BEGIN")) return std::nullopt;
    const bool read = readItems(database_, found.items) == StoreCheck::Ready &&
                      readCommands(database_, found.commands) == StoreCheck::Ready;
    database_.execute("COMMIT");
    if (!read) return std::nullopt;
    return found;
}

bool StoreWatch::ask(std::int64_t id, const std::string& command) {
    return ready() && writeCommand(database_, id, command);
}

bool StoreWatch::done(std::int64_t id, const std::string& command) {
    return ready() && writeCommand(database_, id, "", command);
}

}  // namespace quivra
