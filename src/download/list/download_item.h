// One part in the download list: what it downloads, bound when it was submitted, and how
// far it has come. Texts are local text; paths are local text as everywhere in the jobs.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "video/video_codec.h"

namespace quivra {

// What the merge writes into a part's MP4 as tags (merge_tags.h), as the site gives it.
struct VideoTags {
    std::string videoTitle;   // not cleaned
    std::string author;       // the owner's name
    std::string date;         // the publication date, yyyy-MM-dd
    std::string pageAddress;  // the video's page on the site
    std::string description;
    int parts = 1;  // of the video
    bool operator==(const VideoTags&) const = default;
};

// What a part's file holds.
enum class DownloadContent { AudioVideo, AudioOnly, VideoOnly };

// The uploader's subtitles a part takes, as .srt files beside its file and as its tracks.
struct SubtitleWants {
    std::string languages;  // "all", the site's tags ("zh-CN,en-US"), or "" none
    bool ai = false;        // the speech-recognition ones ("ai-" tags) too
    bool only = false;      // the .srt files alone: no streams, no merge
    bool operator==(const SubtitleWants&) const = default;
};

// The bullet comments a part takes: NN_name.danmaku.xml and NN_name.danmaku.ass beside its
// file, drawn in the style the settings hold when its job runs.
struct DanmakuWants {
    bool files = false;  // 下载弹幕
    bool track = false;  // the ASS goes into an MKV as a track too
    bool only = false;   // the two files alone: no streams, no merge
    bool operator==(const DanmakuWants&) const = default;
};

// Whether the text names languages as 字幕语言 holds them: "all", or the site's tags
// ("zh-CN,en-US": letters, digits, '-' and '_', separated by commas).
bool isSubtitleLanguages(std::string_view text);

// Everything a job needs, fixed at submission: a later parse or a changed choice in the
// main window never reaches a submitted part.
struct DownloadRequest {
    std::string bvid;
    std::string videoTitle;  // cleaned, as listed; its folder is videoFolderName of it
    std::string cid;
    std::string pageTitle;          // the part's "标题" as listed
    int pageNumber = 1;             // the row number, counted from 1: the NN of the file name
    int videoQuality = -1;          // the site's quality number; -1 none chosen
    int audioQuality = -1;          // the site's audio stream id
    std::string qualityName;        // the chosen quality as offered ("720P 高清")
    std::string directory;          // the download folder; its temp/ holds the streams
    std::string outputPath;         // <directory>/<video title>/NN_<page name>.mp4
    std::optional<VideoTags> tags;  // the video's texts for the MP4's tags and the .nfo files
    std::string coverAddress;       // the video's cover picture; "": none attached
    std::string siteTitle;          // the video's title as the site gives it; "" in older lists
    std::string episodeId;          // an episode of a season: its streams are the episode's
    std::string seasonId = {};      // an episode of a season: the season's id; "" unknown
    std::vector<VideoCodec> codecs = defaultCodecOrder();  // the first the quality comes in
    // The streams the file holds; its container is the output path's extension
    // (download/plan/output_format.h).
    DownloadContent content = DownloadContent::AudioVideo;
    SubtitleWants subtitles{};
    bool fileTags = true;      // 写入视频信息: the MP4 carries the tags
    bool libraryInfo = false;  // 生成媒体库信息: .nfo files beside the part's file
    DanmakuWants danmaku{};
};

// Waiting: failed for a reason a later try may mend; queued again when its time comes.
enum class ItemState { Queued, Running, Paused, Merging, Done, Failed, Cancelled, Waiting };

struct DownloadItem {
    std::int64_t id = 0;  // grows with the time of submission (download_queue.cpp)
    DownloadRequest request;
    ItemState state = ItemState::Queued;
    std::string stageText;  // the latest "状态" text for the part's row in the main list
    std::string errorText;  // why it failed
    std::int64_t bytesDone = 0;
    std::int64_t bytesTotal = 0;           // of the streams known so far
    std::int64_t speed = 0;                // bytes a second while running; not stored
    std::int64_t createdAt = 0;            // seconds since the epoch
    std::int64_t finishedAt = 0;           // 0 until done
    int retry = 0;                         // the automatic retry waited for or running; 0 none
    int retryLimit = 0;                    // how many automatic retries the failures may take
    std::int64_t retryAt = 0;              // milliseconds since the epoch when the wait ends
    std::optional<int> windowStart;        // queued outside the download window: when it opens
    std::optional<VideoCodec> videoCodec;  // the codec its job took; none before one chose
};

// Takes items one at a time as they are read (download_store.h).
using ItemTaker = std::function<void(DownloadItem&&)>;

// Queued, running, merging or waiting: a job holds or will take the item.
bool isUnfinished(ItemState state);
// Done, failed or cancelled: nothing more happens to the item by itself.
bool isOver(ItemState state);
// What the list allows in each state: pause a queued, running or waiting item, resume a
// paused one, cancel any that is neither merging nor over (a failed one too), retry a
// failed, cancelled or waiting one (a waiting one at once).
bool canPause(ItemState state);
bool canResume(ItemState state);
bool canCancel(ItemState state);
bool canRetry(ItemState state);

// The names the store keeps ("queued", "running", ...).
std::string_view itemStateName(ItemState state);
std::optional<ItemState> itemStateFromName(std::string_view name);

// The "状态" of the download list window; a waiting item's counts the time left to nowMs,
// a queued one outside the download window names its start.
std::string itemStateText(const DownloadItem& item, std::int64_t nowMs);
// "等待时段（01:00开始）": a queued part outside the download window.
std::string windowWaitText(int windowStart);
std::int64_t epochMilliseconds();  // now, on the clock of retryAt

// The "清晰度": the quality as offered (its number in lists without the name), and the
// codec once the job took one ("1080P 高清 HEVC").
std::string itemQualityText(const DownloadItem& item);

// The temporary streams of a part: <directory>/temp/<cid>.mp4 and .mp3, or for lossless
// and Dolby audio <cid>-<audio id>.m4s.
std::string temporaryVideoPath(const DownloadRequest& request);
std::string temporaryAudioPath(const DownloadRequest& request);

}  // namespace quivra
