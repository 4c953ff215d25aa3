// What comes with a part, fetched from the site: the player information (its subtitles and
// view points, signed), a subtitle's body, the bullet comments.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "base/records.h"
#include "video/comments/danmaku.h"
#include "video/comments/subtitle.h"
#include "video/listing/video_listing.h"

namespace quivra {

// Where the requests go, with which login, and how the site's refusals are waited out.
struct CommentSource {
    SiteAddresses site;
    std::string cookie;  // "" none
    ListingTimings timings;
    std::shared_ptr<SigningKeys> keys;  // the run's signature keys; null: fetched for the request
};

struct SubtitleTrack {
    std::string lan;     // the site's language tag ("zh-CN", "ai-zh")
    std::string lanDoc;  // its name as the site shows it (local text)
    std::string url;     // with its scheme
    bool ai = false;     // made by the site's speech recognition
};

struct Chapter {
    std::string title;  // local text
    double from = 0;    // seconds
    double to = 0;
};

struct PlayerInfo {
    std::vector<SubtitleTrack> subtitles;
    std::vector<Chapter> chapters;
    int skippedChapters = 0;  // view points that end before they start
    // Why there is nothing (local text): no answer, a refusal, or an answer for another part
    // (seen on the site: its subtitles would be another part's); "" when it answered.
    std::string failure;
};

// `/x/player/wbi/v2?aid=&cid=`, signed with the keys of the nav answer.
PlayerInfo fetchPlayerInfo(const CommentSource& source, const std::string& aid,
                           const std::string& cid);

struct SubtitleFetch {
    SubtitleBody body;
    std::string failure;  // no answer or not a subtitle (local text); "" when read
};

// The body at the track's address; videoSeconds as parseSubtitleBody takes it.
SubtitleFetch fetchSubtitle(const CommentSource& source, const SubtitleTrack& track,
                            double videoSeconds);

// The most a comment list may inflate to: a bigger one is refused, never held.
inline constexpr std::size_t kMaxDanmakuBytes = 64u << 20;

struct DanmakuFetch {
    std::string xml;  // the site's XML, inflated (UTF-8)
    DanmakuList list;
    std::string failure;  // no answer, not deflate, past the cap, not XML (local text)
};

// `/x/v1/dm/list.so?oid=<cid>`: raw deflate, inflated under kMaxDanmakuBytes. A list cut
// short keeps what came before the cut, with the reason in list.problem.
DanmakuFetch fetchDanmaku(const CommentSource& source, const std::string& cid);

}  // namespace quivra
