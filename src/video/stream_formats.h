// The site's stream endpoints: which qualities a video or an episode of a season offers,
// and the addresses of one part's (or episode's) video and audio streams.
#pragma once

#include <string>

#include "base/records.h"
#include "video/video_codec.h"

namespace quivra {

struct StreamAddresses {
    std::string video;  // empty when none was found
    std::string audio;
    // No answer came, or one that could not be read: a later request may bring addresses.
    // False when the site answered and refused (a video or part it does not know).
    bool unanswered = false;
    // The site refused an episode for members only (-10403) to this account.
    bool membersOnly = false;
    // The codec of the video stream taken (by its codecid).
    VideoCodec videoCodec = VideoCodec::Avc;
};

// What a part's streams are chosen by: the quality's id, the codec order, the audio id.
struct StreamWants {
    std::string video;  // the quality's id; "": the first listed
    std::string audio;  // the audio stream's id; "": the first
    std::vector<VideoCodec> codecs =
        defaultCodecOrder();  // a quality without the first takes the next
};

// The streams of a video's part (episodeId "") or a season's episode: the stream of the
// wanted quality in the first codec of the order the quality comes in, chosen by id and
// codecid, never by position.
StreamAddresses resolvePartStreams(const std::string& bvid, const std::string& episodeId,
                                   const std::string& cid, const StreamWants& wants);

// The qualities the site offers for the video, with this user's cookie; count -1 and no
// entries when the request failed.
QualityList fetchQualityList(const std::string& bvid, const std::string& cid);
// The same for an episode of a season (its ep number and cid).
QualityList fetchEpisodeQualityList(const std::string& episodeId, const std::string& cid);

// Makes fetched the shared quality list (entries and count in one step); a failed one
// (count -1) keeps the entries and sets the count to -1. Returns the count.
int keepQualityList(const QualityList& fetched);

// Refills the shared quality list (entries and count in one step) and returns the number
// of qualities; -1 when the request failed, which keeps the entries and sets the count to
// -1.
int requestQualityList(const std::string& bvid, const std::string& cid);

// The addresses of one part's streams in the wanted qualities; an absent or empty wanted
// value takes the first stream of the list. Reads only record.bvid.
StreamAddresses resolveStreamAddresses(const VideoRecord& record, const std::string& cid,
                                       const std::string& wantedVideo = "",
                                       const std::string& wantedAudio = "");

}  // namespace quivra
