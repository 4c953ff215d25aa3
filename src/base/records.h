// The shared records of the program. All texts are local text (GBK bytes) but the *Utf8
// ones: the site's own text beside its local one, for showing (GBK lacks emoji, Korean,
// most kana); "" where the site's text is not known.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quivra {

struct UserLevel {
    std::string currentLevel;
    std::string currentExp;
    std::string nextExp;
};

struct UserVip {
    bool status = false;
    std::string dueDate;
};

struct UserRecord {
    std::string mid;
    std::string headImg;
    std::string name;
    std::string coinNumber;
    std::string moral;
    bool emailVerify = false;
    bool mobileVerify = false;
    UserLevel level;
    UserVip vip;
    std::string failureMessage;  // never stored in config.ini
    std::string cookie;
};

// How the program's requests reach the site: directly, through the proxies that the
// environment names (http_proxy, https_proxy, no_proxy), or through one given address.
enum class ProxyMode { None, System, Address };

struct ProxySetting {
    ProxyMode mode = ProxyMode::None;
    std::string address;  // "http://host:port" for ProxyMode::Address
    std::string user;
    std::string password;  // kept in config.ini like the cookie; never shown or printed
};

// Each field is a row of base/settings_table.cpp, which holds its key and its default: a
// record to use is made by defaultDownloadSettings() or loadDownloadSettings().
struct DownloadSettings {
    std::string directory;  // local text
    int threadNumber = 0;
    bool resumeOnStart = false;   // parts left unfinished continue at the next start
    bool writeTags = false;       // the MP4 carries title, author, date ... (写入视频信息)
    bool saveCover = false;       // cover.jpg saved and attached to the MP4 (保存封面)
    bool minimizeToTray = false;  // closing the main window hides it in the tray
    bool notifyOnFinish = false;  // a desktop notification when a video is done
    bool watchClipboard = false;  // a copied address fills the address box
    int retries = 0;              // automatic retries of a part after a failure; 0 none
    std::int64_t speedLimit = 0;  // bytes per second over all parts; 0: none
    bool speedLimitOn = false;    // the list window's switch between the limit and none
    ProxySetting proxy;
    // What batch, search and the command line download when no quality is named: a
    // ceiling name ("最高可用", "1080P", ...) and an audio name ("高", "中", "低").
    std::string defaultVideoQuality;  // local text
    std::string defaultAudioQuality;  // local text
    // The codecs a quality is taken in, first preferred first ("avc,hevc,av1"); a broken
    // text is read as the default order where it is used (video/video_codec.h).
    std::string videoCodecs;
    // What a part's file holds: "av" both streams, "audio" the audio alone, "video" the
    // video alone (下载内容); anything else reads as "av" (download/plan/output_format.h).
    std::string downloadContent;
    std::string container;  // "mp4" or "mkv" (容器); anything else reads as "mp4"
    // Where a part's file goes under the download folder, with "/" between folders and
    // {fields} (文件名格式, download/plan/file_template.h); local text.
    std::string fileNameTemplate;
    bool keepTitleCharacters = false;  // names keep every character a Linux name can hold
    bool ultraFormats = false;         // the quality list asks for Dolby Vision and 8K as well
    // The uploader's subtitles (下载字幕): "all" languages or the site's tags ("zh-CN,en-US"),
    // the site's speech-recognition ones ("ai-" tags) only with aiSubtitles (包含AI字幕).
    bool subtitles = false;
    std::string subtitleLanguages;
    bool aiSubtitles = false;
    bool libraryInfo = false;  // .nfo files beside each part for media libraries (生成媒体库信息)
    // The bullet comments (下载弹幕): the site's XML and an ASS drawn in this style beside each
    // part (download/job/part_danmaku.h makes the style of these).
    bool danmaku = false;
    std::string danmakuFont;         // 字体 (local text)
    int danmakuFontSize = 0;         // 字号: a normal comment's pixels on a 1080-line frame
    int danmakuOpacity = 0;          // 不透明度, in percent
    int danmakuScrollSeconds = 0;    // 滚动时长: how long a scrolling comment crosses the frame
    int danmakuArea = 0;             // 显示区域: the percent of the frame's height (25 .. 100)
    bool danmakuHideTop = false;     // 屏蔽 顶部
    bool danmakuHideBottom = false;  // 屏蔽 底部
    bool danmakuHideScrolling = false;  // 屏蔽 滚动
    bool danmakuHideColored = false;    // 屏蔽 彩色
    std::string danmakuBlocklist;       // 屏蔽词: one a line, "/…/" a pattern (local text)
    bool danmakuTrack = false;          // an MKV carries the ASS as a track too
    // 下载时段: outside "HH:MM-HH:MM" (which may span midnight) queued parts wait and running
    // ones pause; 限速时段: the speed limit applies only inside its own window
    // (base/setting_windows.h reads them).
    bool downloadWindowOn = false;
    std::string downloadWindow;
    bool speedLimitWindowOn = false;
    std::string speedLimitWindow;
    std::string listWindowGeometry;  // "x,y,width,height" of the list window when last moved
};

struct VideoOwner {
    std::string mid;
    std::string name;
    std::string face;
    std::string nameUtf8;  // name as the site sent it
};

struct VideoStat {
    std::string view;
    std::string danmaku;
    std::string favorite;
    std::string reply;
    std::string coin;
    std::string share;
    std::string like;
    std::string pubdate;
};

struct PageEntry {
    std::string cid;
    std::string page;
    std::string part;
    std::string duration;
    std::string episodeId;  // an episode of a season: its ep number; "" for a video's part
    std::string partUtf8;   // part as the site sent it
};

struct VideoRecord {
    std::string bvid;
    std::string title;
    std::string desc;
    std::string pic;
    std::string duration;
    VideoOwner owner;
    VideoStat stat;
    int videos = 0;
    std::string cid;
    std::vector<PageEntry> pages;
    std::string siteTitle;  // the title as the site gives it, for showing; title names folders
    std::string seasonId;   // a season's parse: the season's id; else ""
    std::string titleUtf8;  // siteTitle as the site sent it
    std::string descUtf8;   // desc as the site sent it
};

struct QualityEntry {
    std::string quality;         // the site's quality number as digits
    std::string newDescription;  // label shown to the user
    bool available = false;
    std::vector<int> codecIds;  // the site's codecid of each stream the quality comes in
};

struct QualityList {
    std::vector<QualityEntry> entries;
    int count = 0;  // -1 after a failed request
    // The audio stream ids the answer offers: the AAC ones, and the lossless and Dolby
    // ones where the site marks them (for members only, they may come without a stream).
    std::vector<int> audioIds;
};

// Scheme and host (with port where needed), no trailing slash; made by
// defaultSiteAddresses() or loadSiteAddresses().
struct SiteAddresses {
    std::string api;
    std::string login;
    std::string main;
    std::string space;
};

}  // namespace quivra
