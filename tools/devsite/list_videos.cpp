#include "devsite/list_videos.h"

#include <algorithm>
#include <array>

#include "devsite/dev_site.h"

namespace devsite {

namespace {

constexpr std::array<Uploader, 3> kUploaders = {
    {{kUploaderMid, "木子手作", kUploaderVideoCount},
     {kEmptyUploaderMid, "空空如也", 0},
     {kHugeUploaderMid, "万集仓库", kHugeUploaderVideoCount}}};

constexpr long long kNewestUpload = 1780000000;        // 2026-05-28
constexpr long long kFirstEpisodeAiring = 1767225600;  // 2026-01-01

// Titles a file name has to cope with: Chinese, blanks, brackets, slashes, symbols.
std::string uploaderTitle(int index) {
    const std::string head = "手工日记 No." + std::to_string(index + 1);
    switch (index % 5) {
        case 0:
            return head + " 木勺 (上)";
        case 1:
            return head + " [小技巧] 磨刀 入门";
        case 2:
            return head + "：刨子/凿子 & 锯";
        case 3:
            return head + " 《问答》？ *精选*";
        default:
            return head + " ~ 100% 手作 #周末";
    }
}

constexpr std::array<const char*, kSeasonEpisodeCount> kEpisodeNames = {
    "启程", "山雨", "旧桥", "渡口", "夜市", "灯塔", "风筝", "归途", "雪夜", "重逢", "远方", "终章"};

const std::string kEpisodeBvidHead = "BV1Ep41100";

std::string episodeBvid(int number) {
    return kEpisodeBvidHead + (number < 10 ? "0" : "") + std::to_string(number);
}

// The number in a made bvid after its head, or -1.
int madeBvidNumber(const std::string& bvid, const std::string& head, std::size_t digits) {
    if (bvid.size() != head.size() + digits || bvid.compare(0, head.size(), head) != 0) return -1;
    int number = 0;
    for (std::size_t i = head.size(); i < bvid.size(); ++i) {
        if (bvid[i] < '0' || bvid[i] > '9') return -1;
        number = number * 10 + (bvid[i] - '0');
    }
    return number;
}

}  // namespace

const Uploader* findUploader(const std::string& mid) {
    for (const Uploader& uploader : kUploaders) {
        if (mid == uploader.mid) return &uploader;
    }
    return nullptr;
}

MadeVideoOfList uploaderVideo(int index) {
    const Uploader& owner = index < kUploaderVideoCount ? kUploaders[0] : kUploaders[2];
    MadeVideo video{uploaderBvid(index), 30000000LL + index, uploaderTitle(index),
                    "A made video of an uploader's list.",
                    // A day or so apart, newest first.
                    kNewestUpload - index * 86400LL - (index % 7) * 1800LL, std::stoll(owner.mid),
                    owner.name, 1000 + (index * 7919LL) % 100000};
    MadePart part{10000000LL + index, video.title, 30 + (index * 131) % 4000};
    return {std::move(video), std::move(part)};
}

Episode seasonEpisode(int number) {
    Episode episode;
    episode.number = number;
    episode.epId = std::stoll(seasonEpisodeId(number));
    episode.longTitle = kEpisodeNames[static_cast<std::size_t>(number - 1)];
    episode.badge = number >= kFirstMembersEpisode ? "会员" : "";
    episode.durationMs = (1380LL + number * 17) * 1000 + number * 250;
    const std::string title = "山海之间 第" + std::to_string(number) + "话 " + episode.longTitle;
    episode.made.video = {episodeBvid(number),
                          40000000LL + number,
                          title,
                          "An episode of the season.",
                          kFirstEpisodeAiring + (number - 1) * 7 * 86400LL,
                          60000,
                          "山海出品",
                          50000LL * (13 - number)};
    episode.made.part = {11000000LL + number, title, static_cast<int>(episode.durationMs / 1000)};
    return episode;
}

namespace {
const std::string kNewBvidHead = "BV1Nw4";
constexpr long long kFirstNewEpisodeId = 69000;
}  // namespace

std::string newVideoBvid(int number) {
    const std::string digits = std::to_string(number);
    return kNewBvidHead + std::string(6 - digits.size(), '0') + digits;
}

MadeVideoOfList newVideo(int number, long long published) {
    const std::string title = "新作 No." + std::to_string(number) + " 刚刚发布";
    MadeVideo video{newVideoBvid(number),
                    90000000LL + number,
                    title,
                    "A video added while the site runs.",
                    published,
                    std::stoll(kUploaderMid),
                    kUploaders[0].name,
                    10LL * number};
    MadePart part{19000000LL + number, title, 60};
    return {std::move(video), std::move(part)};
}

int newVideoNumber(const std::string& bvid) {
    return std::max(0, madeBvidNumber(bvid, kNewBvidHead, 6));
}

long long newEpisodeId(int number) {
    return kFirstNewEpisodeId + number;
}

int newEpisodeNumber(long long epId) {
    return epId > kFirstNewEpisodeId ? static_cast<int>(epId - kFirstNewEpisodeId) : 0;
}

std::optional<MadeVideoOfList> listVideo(const std::string& bvid) {
    const int index = madeBvidNumber(bvid, uploaderBvid(0).substr(0, 6), 6);
    if (index >= 0 && index < kHugeUploaderVideoCount) return uploaderVideo(index);
    const int number = madeBvidNumber(bvid, kEpisodeBvidHead, 2);
    if (number >= 1 && number <= kSeasonEpisodeCount) return seasonEpisode(number).made;
    return std::nullopt;
}

}  // namespace devsite
