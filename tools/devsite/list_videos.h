// The videos the lists hold, made by code: the uploaders' videos and the season's
// episodes. Each has one part whose cid follows from its index.
#pragma once

#include <optional>
#include <string>

#include "devsite/video_fixtures.h"

namespace devsite {

struct MadeVideoOfList {
    MadeVideo video;
    MadePart part;
};

struct Uploader {
    const char* mid;
    const char* name;
    int videoCount;
};

// kUploaderMid, kEmptyUploaderMid, kHugeUploaderMid; nullptr for any other mid.
const Uploader* findUploader(const std::string& mid);

// Video `index` of the uploaders (0 .. 9,999; newest first). The 10,000-video uploader's
// first 2,000 are the 2,000-video uploader's, whose name their answers carry.
MadeVideoOfList uploaderVideo(int index);

struct Episode {
    int number = 0;  // 1 .. kSeasonEpisodeCount
    long long epId = 0;
    MadeVideoOfList made;
    std::string longTitle;
    std::string badge;  // "会员" from kFirstMembersEpisode on, else ""
    long long durationMs = 0;
};

Episode seasonEpisode(int number);

// Video `number` (from 1) of those a test added while the site runs: the uploader's newest,
// the favourites folder's first and the season's last episode, published at `published`.
MadeVideoOfList newVideo(int number, long long published);
std::string newVideoBvid(int number);
// Its number, or 0 when the bvid is not one a new video may have.
int newVideoNumber(const std::string& bvid);
// The ep id of the episode it is, and back (0 for another ep id).
long long newEpisodeId(int number);
int newEpisodeNumber(long long epId);

// The list video with this bvid; nullopt for any other.
std::optional<MadeVideoOfList> listVideo(const std::string& bvid);

}  // namespace devsite
