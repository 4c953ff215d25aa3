#include "download/subscription/subscription.h"

#include <algorithm>
#include <array>
#include <utility>

#include "net/text_encoding.h"

namespace quivra {

namespace {

constexpr std::array<std::pair<ListKind, const char*>, 6> kListKindKeys = {{
    {ListKind::Uploader, "uploader"},
    {ListKind::Favourites, "favourites"},
    {ListKind::Collection, "collection"},
    {ListKind::Series, "series"},
    {ListKind::WatchLater, "watch-later"},
    {ListKind::Season, "season"},
}};

}  // namespace

std::string notAListText() {
    return localText("不是视频列表的地址");
}

int checkInterval(int seconds) {
    return std::max(seconds, kLeastCheckInterval);
}

const char* listKindKey(ListKind kind) {
    for (const auto& [known, key] : kListKindKeys) {
        if (known == kind) return key;
    }
    return "uploader";
}

std::optional<ListKind> listKindOfKey(const std::string& key) {
    for (const auto& [kind, known] : kListKindKeys) {
        if (key == known) return kind;
    }
    return std::nullopt;
}

}  // namespace quivra
