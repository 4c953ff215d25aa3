#include "video/listing/list_address.h"

#include <cctype>
#include <utility>
#include <vector>

#include "net/text_encoding.h"
#include "net/text_helpers.h"
#include "net/text_slices.h"

namespace quivra {
namespace {

bool isDigits(const std::string& text) {
    if (text.empty()) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

bool isAlnum(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0;
}

// "BV" and ten letters or digits, or "av" and a digit: the text names one video.
bool namesSingleVideo(const std::string& text) {
    for (size_t at = findLocal(text, "BV"); at != std::string::npos;
         at = findLocal(text, "BV", at + 1)) {
        size_t run = 0;
        while (at + 2 + run < text.size() && isAlnum(text[at + 2 + run])) ++run;
        if (run >= 10) return true;
    }
    for (size_t at = findLocal(text, "av"); at != std::string::npos;
         at = findLocal(text, "av", at + 1)) {
        if (at + 2 < text.size() && std::isdigit(static_cast<unsigned char>(text[at + 2]))) {
            return true;
        }
    }
    return false;
}

std::string withoutScheme(const std::string& address) {
    for (const std::string scheme : {"https://", "http://"}) {
        if (findNoCase(address, scheme) == 0) return address.substr(scheme.size());
    }
    if (address.rfind("//", 0) == 0) return address.substr(2);
    return address;
}

// The host (and port) of an address, lower case.
std::string hostOf(const std::string& address) {
    const std::string rest = withoutScheme(address);
    return lowerAscii(rest.substr(0, rest.find_first_of("/?#")));
}

bool isSiteHost(const std::string& host, const SiteAddresses& site) {
    for (const std::string* address : {&site.api, &site.login, &site.main, &site.space}) {
        if (!address->empty() && hostOf(*address) == host) return true;
    }
    return false;
}

struct AddressPath {
    std::vector<std::string> segments;
    std::vector<std::pair<std::string, std::string>> query;

    std::string value(const std::string& key) const {
        for (const auto& [name, text] : query) {
            if (name == key) return text;
        }
        return "";
    }
};

AddressPath splitPath(const std::string& rest) {
    AddressPath path;
    const std::string beforeFragment = rest.substr(0, rest.find('#'));
    const size_t mark = beforeFragment.find('?');
    const std::string route = beforeFragment.substr(0, mark);
    size_t start = 0;
    while (start <= route.size()) {
        size_t end = route.find('/', start);
        if (end == std::string::npos) end = route.size();
        if (end > start) path.segments.push_back(route.substr(start, end - start));
        start = end + 1;
    }
    if (mark == std::string::npos) return path;
    const std::string query = beforeFragment.substr(mark + 1);
    start = 0;
    while (start <= query.size()) {
        size_t end = query.find('&', start);
        if (end == std::string::npos) end = query.size();
        const std::string pair = query.substr(start, end - start);
        const size_t equals = pair.find('=');
        if (!pair.empty()) {
            path.query.emplace_back(pair.substr(0, equals),
                                    equals == std::string::npos ? "" : pair.substr(equals + 1));
        }
        start = end + 1;
    }
    return path;
}

ListAddress listOf(ListKind kind, std::string ownerMid, std::string id, bool byEpisode = false) {
    ListAddress address;
    address.kind = kind;
    address.ownerMid = std::move(ownerMid);
    address.id = std::move(id);
    address.byEpisode = byEpisode;
    if (!address.ownerMid.empty() && !isDigits(address.ownerMid)) {
        address.problem = localText("UP主编号不是数字：") + address.ownerMid;
    } else if (kind == ListKind::Uploader && address.ownerMid.empty()) {
        address.problem = localText("地址中没有UP主编号");
    } else if (kind != ListKind::Uploader && kind != ListKind::WatchLater && address.id.empty()) {
        address.problem = localText("地址中没有") + listKindName(kind) + localText("编号");
    } else if (!address.id.empty() && !isDigits(address.id)) {
        address.problem = listKindName(kind) + localText("编号不是数字：") + address.id;
    }
    return address;
}

// "ml…", "ep…", "ss…" and its number: the prefix and a digit make the form, what
// follows must be digits.
std::optional<ListAddress> shortForm(const std::string& text) {
    if (text.size() < 3 || !std::isdigit(static_cast<unsigned char>(text[2]))) {
        return std::nullopt;
    }
    const std::string prefix = text.substr(0, 2);
    const std::string id = text.substr(2);
    if (prefix == "ml") return listOf(ListKind::Favourites, "", id);
    if (prefix == "ep") return listOf(ListKind::Season, "", id, true);
    if (prefix == "ss") return listOf(ListKind::Season, "", id);
    return std::nullopt;
}

std::optional<ListAddress> spaceForm(const AddressPath& path) {
    const std::vector<std::string>& s = path.segments;
    const std::string& mid = s[0];
    // One word of the site's own pages ("anime", "video") is no uploader.
    if (s.size() == 1 && !std::isdigit(static_cast<unsigned char>(mid[0]))) return std::nullopt;
    if (s.size() == 1 || (s.size() == 2 && s[1] == "video") ||
        (s.size() == 3 && s[1] == "upload" && s[2] == "video")) {
        return listOf(ListKind::Uploader, mid, "");
    }
    if (s.size() == 2 && s[1] == "favlist") {
        return listOf(ListKind::Favourites, mid, path.value("fid"));
    }
    if (s.size() == 3 && s[1] == "lists") {
        const bool series = path.value("type") == "series";
        return listOf(series ? ListKind::Series : ListKind::Collection, mid, s[2]);
    }
    if (s.size() == 3 && s[1] == "channel" && s[2] == "collectiondetail") {
        return listOf(ListKind::Collection, mid, path.value("sid"));
    }
    if (s.size() == 3 && s[1] == "channel" && s[2] == "seriesdetail") {
        return listOf(ListKind::Series, mid, path.value("sid"));
    }
    return std::nullopt;
}

std::optional<ListAddress> pathForm(const AddressPath& path) {
    const std::vector<std::string>& s = path.segments;
    if (s.empty()) return std::nullopt;
    if ((s.size() == 1 && s[0] == "watchlater") ||
        (s.size() == 2 && s[0] == "list" && s[1] == "watchlater")) {
        return listOf(ListKind::WatchLater, "", "");
    }
    if (s.size() == 3 && s[0] == "medialist" && s[1] == "detail") {
        if (s[2].rfind("ml", 0) != 0) return std::nullopt;
        return listOf(ListKind::Favourites, "", s[2].substr(2));
    }
    if (s.size() == 3 && s[0] == "bangumi" && s[1] == "play") {
        const std::string prefix = s[2].substr(0, 2);
        if (prefix != "ep" && prefix != "ss") return std::nullopt;
        return listOf(ListKind::Season, "", s[2].substr(2), prefix == "ep");
    }
    return spaceForm(path);
}

}  // namespace

std::optional<ListAddress> recognizeListAddress(const std::string& text,
                                                const SiteAddresses& site) {
    const std::string trimmed = trimBlanks(text);
    if (trimmed.empty() || namesSingleVideo(trimmed)) return std::nullopt;
    if (trimmed.find('/') == std::string::npos) return shortForm(trimmed);
    const std::string rest = withoutScheme(trimmed);
    const size_t pathStart = rest.find_first_of("/?#");
    if (pathStart == std::string::npos || !isSiteHost(hostOf(rest), site)) return std::nullopt;
    return pathForm(splitPath(rest.substr(pathStart)));
}

std::string listKindName(ListKind kind) {
    switch (kind) {
        case ListKind::Uploader:
            return localText("UP主投稿");
        case ListKind::Favourites:
            return localText("收藏夹");
        case ListKind::Collection:
            return localText("合集");
        case ListKind::Series:
            return localText("列表");
        case ListKind::WatchLater:
            return localText("稍后再看");
        case ListKind::Season:
            return localText("番剧");
    }
    return "";
}

}  // namespace quivra
