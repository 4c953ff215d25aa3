// downloads.db as other programs change it, through a connection of its own: every item
// with the command another program left for it, and commands for items other programs
// run. Used from one thread.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "download/list/download_item.h"
#include "download/list/list_command.h"
#include "download/list/sqlite_database.h"

namespace quivra {

struct StoreLook {
    std::vector<DownloadItem> items;  // new or changed since the last look
    // Every command left now, whether or not its item changed.
    std::map<std::int64_t, ListCommand> commands;
};

class StoreWatch {
  public:
    explicit StoreWatch(std::string path);  // UTF-8; opened at the first use
    // An item the store holds already, by its fingerprint (itemFingerprint): a look hands
    // it over only once it changed.
    void know(std::int64_t id, std::uint64_t fingerprint);
    // Nothing when the store cannot be read now (busy, gone); the next look tries again.
    // Rows are converted only when another connection wrote since the last look and their
    // fingerprint changed, so a long list costs a scan, not a copy, each time.
    std::optional<StoreLook> look();
    // Leaves a command for the program that runs the item.
    bool ask(std::int64_t id, ListCommand command);
    // Takes a command that was obeyed off the item, unless another one replaced it.
    bool done(std::int64_t id, ListCommand command);

  private:
    bool ready();

    std::string path_;
    SqliteDatabase database_;
    std::unordered_map<std::int64_t, std::uint64_t> fingerprints_;  // as last seen, by id
    std::optional<std::int64_t> dataVersion_;  // of the last look that read everything
};

}  // namespace quivra
