// The site's stream endpoints: which qualities a video or an episode of a season offers,
// and the addresses of one part's (or episode's) video and audio streams.
#pragma once

#include <string>

#include "base/records.h"
#include "video/format_ask.h"
#include "video/video_codec.h"

namespace quivra {

struct StreamAddresses {
    std::string video;  // empty when none was found
    std::string audio;
    // No answer came, or one that could not be read: a later request may bring addresses.
    // False when the site answered and refused (a video or part it does not know).
    bool unanswered = false;
    // The site refused an episode for members only (-10403) to this account, or marked the
    // wanted lossless or Dolby audio without sending it (to members only).
    bool membersOnly = false;
    // The codec of the video stream taken (by its codecid).
    VideoCodec videoCodec = VideoCodec::Avc;
};

// The streams of a video's part (episodeId "") or a season's episode: the stream of the
// wanted quality in the first codec of the order the quality comes in, chosen by id and
// codecid, never by position. The lossless or Dolby audio where the answer marks it
// (membersOnly when marked without a stream), else the wanted AAC stream or the first.
StreamAddresses resolvePartStreams(const std::string& bvid, const std::string& episodeId,
                                   const std::string& cid, const StreamWants& wants);

// The qualities the site offers for the video, with this user's cookie, asked with `ask`;
// count -1 and no entries when the request failed.
QualityList fetchQualityList(const std::string& bvid, const std::string& cid,
                             const FormatAsk& ask = {});
// The same for an episode of a season (its ep number and cid).
QualityList fetchEpisodeQualityList(const std::string& episodeId, const std::string& cid,
                                    const FormatAsk& ask = {});

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
