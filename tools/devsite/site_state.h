// Shared state of one running local site: what the endpoints answer from and what the
// control calls change. Internal to tools/devsite.
#pragma once

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "devsite/dev_site.h"
#include "devsite/media_generator.h"
#include "devsite/request_log.h"
#include "devsite/video_fixtures.h"

namespace devsite {

struct Override {
    int status = 200;
    std::string body;
    std::string contentType;
    int times = -1;
    std::int64_t promisedBytes = 0;  // above the body's size: a cut answer
};

struct Delay {
    int ms = 0;
    int times = -1;
};

struct QrSession {
    std::vector<QrStep> steps;
    std::size_t next = 0;
};

struct SiteState {
    Options options;
    MediaCatalog media;
    VideoFixtures videos;
    Json accounts;  // "member" and "plain": data of the account answer
    RequestLog log;
    std::atomic<int> port{0};
    std::atomic<bool> stopping{false};
    std::atomic<std::int64_t> bytesPerSecond{0};
    // Stream addresses carry "?expires=N" once N > 0; older ones are answered 403.
    std::atomic<int> addressGeneration{0};
    std::atomic<int> wbiRotations{0};  // the signature keys in force: wbiKeys(rotations)

    mutable std::mutex mutex;  // guards everything below
    std::condition_variable wake;
    std::map<std::string, Fault> faults;
    std::map<std::string, std::int64_t> served;
    int activeMedia = 0;
    std::map<std::string, std::chrono::steady_clock::time_point> outages;  // until when
    std::map<std::string, Override> overrides;
    std::map<std::string, Delay> delays;
    std::vector<QrStep> qrScript;
    std::map<std::string, QrSession> qrSessions;
    std::string lastQrKey;
    std::uint64_t cookieCounter = 0;
    int refuseEvery = 0;  // every nth list request is refused; 0: none
    int refusalCode = 0;
    long long listRequests = 0;  // since refuseEvery was set

    // Sleeps up to `duration`; false when the site is stopping.
    bool sleepFor(std::chrono::milliseconds duration);

    void setFault(const std::string& mediaFile, Fault fault);
    void clearFaults();
    // Takes one hit of the file's fault (None when there is none left).
    Fault takeFault(const std::string& mediaFile);
    void addServed(const std::string& mediaFile, std::int64_t bytes);
    std::int64_t bytesServed(const std::string& mediaFile) const;
    void startOutage(const std::string& mediaFile, std::chrono::milliseconds length);
    bool inOutage(const std::string& mediaFile) const;
    bool enterMedia();  // false when the connection cap is reached
    int openMedia() const;
    void leaveMedia();

    void setOverride(const std::string& path, Override answer);
    void clearOverrides();
    void setDelay(const std::string& path, Delay delay);
    // The delay to wait and the override to answer with for one request to `path`.
    std::pair<int, std::optional<Override>> takeDelayAndOverride(const std::string& path);

    void setQrScript(std::vector<QrStep> steps);
    std::string newQrKey();  // starts a session walking the current script
    std::string currentQrKey() const;
    // The key's next step; nullopt for a key never handed out.
    std::optional<QrStep> nextQrStep(const std::string& key);

    std::uint64_t nextVisitor();

    void setListRefusals(int every, int code);
    // The code to refuse this list request with; 0: answer it.
    int takeListRefusal();
};

using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

// Registers a handler that first logs the request and applies delays and overrides.
void addRoute(httplib::Server& server, SiteState& state, const std::string& method,
              const std::string& pattern, Handler handler);

void sendJson(httplib::Response& response, const Json& body);

// A video published now at the head of the uploader's list and the favourites folder and
// as the season's latest episode; its bvid.
std::string addNewVideo(SiteState& state);

// %XX and '+' of a query or form value decoded.
std::string percentDecode(const std::string& text);

// Value of one cookie in a Cookie header ("" when absent).
std::string cookieValue(const std::string& cookieHeader, const std::string& name);
bool isMemberCookie(const std::string& cookieHeader);
bool isPlainCookie(const std::string& cookieHeader);

// The file on disk behind a media name; "" for names the site does not serve.
std::string resolveMediaFile(const SiteState& state, const std::string& name);

// The `data` of a stream list for a part of a known video (the client's cookie decides
// the qualities); null for a cid that is not one of the video's parts.
Json streamListData(const httplib::Request& request, SiteState& state, const std::string& bvid,
                    const std::string& cid);

void registerVideoEndpoints(httplib::Server& server, SiteState& state);
void registerAccountEndpoints(httplib::Server& server, SiteState& state);
void registerSearchEndpoints(httplib::Server& server, SiteState& state);
void registerListEndpoints(httplib::Server& server, SiteState& state);
void registerSeasonEndpoints(httplib::Server& server, SiteState& state);
void registerCommentEndpoints(httplib::Server& server, SiteState& state);
void registerMediaServer(httplib::Server& server, SiteState& state);
void registerControlEndpoints(httplib::Server& server, SiteState& state);

}  // namespace devsite
