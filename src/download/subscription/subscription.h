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
    std::string name;    // local text: the list's name
    std::string folder;  // local text: where its videos go (the list's folder)
    // Local text: a 默认视频质量 name ("1080P": the best at most that) and a 默认音频质量
    // name; "": the settings'.
    std::string quality;
    std::string audio;
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

// "不是视频列表的地址" (local text): what an address that names no list is refused with.
std::string notAListText();

// At least kLeastCheckInterval.
int checkInterval(int seconds);

// "uploader", "favourites", … as stored; and back (nullopt for a key no program writes).
const char* listKindKey(ListKind kind);
std::optional<ListKind> listKindOfKey(const std::string& key);

}  // namespace quivra
