// The local site: a loopback stand-in for the video site's web interface, login host
// and media servers, with faults and a request log that tests can control and read.
// One server answers every role; point all four site addresses at baseUrl().
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace devsite {

// Well-known fixtures (see tools/devsite/README.md).
inline constexpr const char* kOnePartBvid = "BV1xx411c7mD";         // av2, one part
inline constexpr const char* kTwelvePartBvid = "BV17x411w7KC";      // av170001, twelve parts
inline constexpr const char* kThreePartBvid = "BV1Tr411c7Tp";       // three parts
inline constexpr const char* kOddTitleBvid = "BV1Q4411c7Tt";        // blanks, slashes, Chinese
inline constexpr const char* kFailingStreamsBvid = "BV1Ff411c7Er";  // stream files 404
inline constexpr const char* kLargeBvid = "BV1Lg411c7Bz";           // one part, large streams
inline constexpr const char* kThousandPartBvid = "BV1Kk411c7Pm";    // 1,000 parts (benchmarks)
inline constexpr const char* kMissingCoverBvid = kOddTitleBvid;     // its cover answers 404
// Besides the usual qualities: 8K (127) and HDR (125) for members, and 112 listed with no
// stream.
inline constexpr const char* kCodecsBvid = "BV1Cx411c7Hd";
// Besides the AAC audio, lossless (FLAC, 30251) and Dolby (E-AC-3, 30250) audio: listed when
// fnval has 256, the streams for members only.
inline constexpr const char* kLosslessBvid = "BV1Ls411c7Fa";
// Its AVC and HEVC streams name each other's codec in their `codecs` text.
inline constexpr const char* kSwappedCodecsBvid = "BV1Sw411c7Cd";
// Titled with what GBK cannot hold (emoji, Korean, kana, beyond the BMP, right-to-left);
// its second part's name carries a byte that is no UTF-8 and an unpaired \ud83c escape.
inline constexpr const char* kWorldTextBvid = "BV1Un411c7Cs";

// Videos for many addresses at once: two parts each, titles with blanks and brackets.
inline constexpr int kBatchVideoCount = 20;
inline std::string batchBvid(int index) {  // index 0 .. kBatchVideoCount - 1
    return std::string("BV1Bt411c7") + static_cast<char>('A' + index) + "1";
}

// Lists (see README.md, "Lists"). Every video a list holds is known to the view and
// stream endpoints; list videos have one part each unless the fixture says otherwise.
inline constexpr const char* kUploaderMid = "20000";  // 2,000 videos, newest first
inline constexpr int kUploaderVideoCount = 2000;
inline constexpr const char* kEmptyUploaderMid = "20002";  // no video
inline constexpr const char* kHugeUploaderMid = "20003";   // 10,000 videos
inline constexpr int kHugeUploaderVideoCount = 10000;
inline std::string uploaderBvid(int index) {  // index 0 .. 9,999 (the 2,000 are 0 .. 1,999)
    std::string digits = std::to_string(index);
    return "BV1Up4" + std::string(6 - digits.size(), '0') + digits;
}
inline constexpr const char* kFavouritesId =
    "30001";  // 25 entries: 23 videos, a removed one, an audio
inline constexpr const char* kPrivateFavouritesId = "30002";  // someone else's private folder: -403
inline constexpr const char* kCollectionId = "40001";         // of kUploaderMid, 35 videos
inline constexpr const char* kRepeatingCollectionId = "40002";  // its page 2 repeats page 1
inline constexpr const char* kSeriesId = "50001";               // of kUploaderMid, 25 videos
inline constexpr const char* kShortSeriesId = "50002";          // says 100 videos, holds 20
inline constexpr int kWatchLaterCount = 5;                      // for either account cookie
inline constexpr const char* kSeasonId = "60001";               // 12 episodes
inline constexpr int kSeasonEpisodeCount = 12;
inline std::string seasonEpisodeId(int number) {  // number 1 .. 12; 11 and 12 for members
    return std::to_string(61000 + number);
}
inline constexpr int kFirstMembersEpisode = 11;

// What comes with a video (see README.md, "Subtitles and bullet comments"), all on one
// four-part video (av7000): its first part has a zh-CN, an en-US and an AI subtitle,
// three chapters and 20,000 bullet comments of every mode, size and colour; the second is
// answered with the first's subtitles; the third's comments try ASS overrides; the
// fourth's inflate past 64 MiB. Every other part has none of these.
inline constexpr const char* kCommentsBvid = "BV14x411c7iR";
inline constexpr const char* kCommentsAid = "7000";
inline constexpr const char* kSubtitledCid = "7001";
inline constexpr const char* kWrongSubtitleCid = "7002";
inline constexpr const char* kCrowdedDanmakuCid = "7001";
inline constexpr int kCrowdedDanmakuCount = 20000;
inline constexpr const char* kOverrideDanmakuCid = "7003";
inline constexpr const char* kDanmakuBombCid = "7004";
// The search endpoint's path.
inline constexpr const char* kSearchPath = "/x/web-interface/search/all/v2";

// Cookies the account and stream endpoints recognise.
inline constexpr const char* kMemberCookie = "SESSDATA=member-sessdata";
inline constexpr const char* kPlainCookie = "SESSDATA=plain-sessdata";

struct Options {
    int port = 0;                     // 0: any free port
    std::string cacheDir;             // generated media; empty: a default temp folder
    std::int64_t bytesPerSecond = 0;  // per media connection; 0: unlimited
    int maxConnections = 64;          // media connections served at once
    int threads = 32;                 // server worker threads (at least maxConnections + 16)
    std::int64_t largeFileBytes = 64LL << 20;  // size of the large video's streams
    int answerDelayMs = 0;  // before every interface answer (not media, not covers)
};

struct RecordedRequest {
    std::string method;
    std::string path;                                          // without the query
    std::string query;                                         // raw, as received, without '?'
    std::vector<std::pair<std::string, std::string>> headers;  // in arrival order
    std::string body;
    std::string header(const std::string& name) const;  // first match, any case; "" if none
    bool hasHeader(const std::string& name) const;
};

// LongerLength: Content-Length claims afterBytes more than the answer's body; the
// connection closes once the body is out. Outage: after afterBytes the connection is cut,
// and for outageMs every connection to the file is cut and every request answered 503.
enum class FaultKind { None, DropAfterBytes, NotFound, ServerError, Stall, LongerLength, Outage };

struct Fault {
    FaultKind kind = FaultKind::None;
    std::int64_t afterBytes = 0;  // DropAfterBytes: bytes sent before closing; LongerLength:
                                  // bytes claimed beyond the file's end
    int times = -1;               // how many requests it hits; -1: every one
    int outageMs = 0;             // Outage: how long the file stays unanswered
};

// One step of a scripted QR login: the poll answers status=false with data=code
// (-4, -5, -2 or any other), or, with success, status=true plus the login cookies.
struct QrStep {
    bool success = false;
    int code = -4;
};

class DevSite {
  public:
    explicit DevSite(Options options = {});
    ~DevSite();
    DevSite(const DevSite&) = delete;
    DevSite& operator=(const DevSite&) = delete;

    // Generates the media on first use (cached), then listens on 127.0.0.1. A site that
    // was stopped cannot start again; make a new one.
    bool start();
    void stop();
    int port() const;
    std::string baseUrl() const;  // "http://127.0.0.1:<port>"

    std::vector<RecordedRequest> requests() const;
    std::vector<RecordedRequest> requestsTo(const std::string& path) const;
    void clearRequests();

    // Media files are named by the last path element of a stream's baseUrl.
    void setFault(const std::string& mediaFile, Fault fault);
    void clearFaults();
    void setBytesPerSecond(std::int64_t bytesPerSecond);
    std::int64_t bytesServed(const std::string& mediaFile) const;
    std::string mediaPath(const std::string& mediaFile) const;  // the file on disk
    // Stream addresses handed out so far expire: requests to them are answered 403, and
    // the stream lists carry new ones from now on.
    void expireAddresses();
    int openMediaAnswers() const;  // media answers being sent now

    // getLoginUrl hands out a new key each call; its polls walk this script (the last
    // step repeats). Keys without a script walk the default: -4, -5, success.
    void setQrScript(std::vector<QrStep> steps);  // for keys handed out from now on
    std::string lastQrKey() const;

    // Answers that the next requests to a path get instead of the fixture (for HTML,
    // empty or broken bodies). times: how many requests; -1 every one.
    void overrideAnswer(const std::string& path, int status, std::string body,
                        std::string contentType = "text/html", int times = -1);
    // As overrideAnswer with status 200, but Content-Length promises promisedBytes; the
    // connection closes after the body (a cut answer).
    void cutAnswer(const std::string& path, std::string body, std::int64_t promisedBytes,
                   int times = -1);
    void clearOverrides();

    // Refuses every nth request to a list endpoint (uploader, favourites, collection,
    // series, watch later, season) with `code` -352 or -412, or with HTTP 412 when code is
    // 412; n 0 refuses none.
    void refuseListRequests(int n, int code);
    // A video published now, at the head of uploader kUploaderMid's list and the favourites
    // folder kFavouritesId and as the latest episode of season kSeasonId (bvids BV1Nw4000001
    // on, aid 90000000 + n, cid 19000000 + n, ep id 69000 + n); its bvid.
    std::string addNewVideo();
    // New signature keys in the nav answer: requests signed with the old ones get -352.
    void rotateWbiKeys();

    // A delay before answering requests to a path (for slow-search tests).
    void setDelayMs(const std::string& path, int ms, int times = -1);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace devsite
