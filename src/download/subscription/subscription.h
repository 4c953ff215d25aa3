// A list followed: its new videos are downloaded as they come, at its own interval.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "video/listing/list_address.h"

namespace quivra {

inline constexpr int kLeastCheckInterval = 600;         // seconds; a shorter one is raised
inline constexpr int kDefaultCheckInterval = 6 * 3600;  // seconds

struct Subscription {
    std::int64_t id = 0;
    std::string address;  // local text, as given
    ListKind kind = ListKind::Uploader;
    std::string name;                 // local text: the list's name
    std::string folder;               // local text: where its videos go (the list's folder)
    int videoQuality = -1;            // the site's quality number; -1: the settings' default
    int audioQuality = -1;            // the site's audio id; -1: the default
    std::string extras = "defaults";  // what comes with a part: the settings' ("defaults")
    std::int64_t since = 0;           // seconds since the epoch: videos published before are old
    bool backCatalogue = false;       // old videos are taken too
    int intervalSeconds = kDefaultCheckInterval;
    bool paused = false;
    std::int64_t lastCheck = 0;  // seconds since the epoch; 0: never
    int newCount = 0;            // new videos the last check found
    std::int64_t nextCheck = 0;  // seconds since the epoch
    std::string status;          // local text: what the last check said
};

// At least kLeastCheckInterval.
int checkInterval(int seconds);

// "uploader", "favourites", … as stored; and back (nullopt for a key no program writes).
const char* listKindKey(ListKind kind);
std::optional<ListKind> listKindOfKey(const std::string& key);

}  // namespace quivra
