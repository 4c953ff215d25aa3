// The commands of subscriptions: subscribe add, list and remove, and sync. Both programs read
// their options; they run in quivra-downloader-downloads, beside downloads.db, which holds
// the subscriptions. In quivra-downloader these functions hand the process over to it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/cli/output.h"

namespace quivra {

struct SubscribeAddOptions {
    std::string address;                // UTF-8, as typed
    std::optional<std::int64_t> since;  // --since: local midnight of that day
    bool all = false;                   // --all: the back catalogue too
    int everySeconds = 0;               // --every; 0: the default interval
    std::string quality;                // -q: a 默认视频质量 name (UTF-8); "": the settings'
    std::string folder;                 // -o (UTF-8); "": the stored download folder
};

struct SubscribeListOptions {
    bool json = false;
};

struct SyncOptions {
    std::vector<std::int64_t> ids;  // none: every subscription that is not paused
    bool now = false;               // check even those not due yet
};

// "6h", "90m", "1d", "600s" or plain seconds; nullopt for anything else or 0.
std::optional<int> parseInterval(const std::string& text);

// Each returns the exit status (exit_status.h).
int runSubscribeAdd(const SubscribeAddOptions& options, Terminal& terminal);
int runSubscribeList(const SubscribeListOptions& options, Terminal& terminal);
int runSubscribeRemove(std::int64_t id, Terminal& terminal);
int runSync(const SyncOptions& options, Terminal& terminal);

}  // namespace quivra
