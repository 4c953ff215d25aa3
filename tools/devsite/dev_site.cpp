// Lifecycle, routing and the control calls of the local site.
#include "devsite/dev_site.h"

#include <ctime>
#include <fstream>
#include <thread>

#include "devsite/list_videos.h"
#include "devsite/site_state.h"
#include "devsite/wbi_check.h"

namespace devsite {

namespace {

std::string trim(std::string text) {
    const auto first = text.find_first_not_of(' ');
    const auto last = text.find_last_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

bool isMediaPath(const std::string& path) {
    return path.rfind("/media/", 0) == 0 || path.rfind("/cover/", 0) == 0;
}

// True when the request was answered by an override (or the site is stopping).
bool applyDelayAndOverride(SiteState& state, const httplib::Request& request,
                           httplib::Response& response) {
    auto [delayMs, answer] = state.takeDelayAndOverride(request.path);
    if (!isMediaPath(request.path)) delayMs += state.options.answerDelayMs;
    if (delayMs > 0 && !state.sleepFor(std::chrono::milliseconds(delayMs))) {
        response.status = 503;
        return true;
    }
    if (!answer) return false;
    response.status = answer->status;
    if (answer->promisedBytes <= static_cast<std::int64_t>(answer->body.size())) {
        response.set_content(answer->body, answer->contentType);
        return true;
    }
    // Content-Length promises more than the body: the body goes out, then the connection
    // closes.
    response.set_content_provider(
        static_cast<std::size_t>(answer->promisedBytes), answer->contentType,
        [body = answer->body](std::size_t, std::size_t, httplib::DataSink& sink) {
            sink.write(body.data(), body.size());
            return false;
        });
    return true;
}

bool loadAccounts(const std::string& file, Json& accounts) {
    std::ifstream in(file);
    accounts = Json::parse(in, nullptr, false);
    return !accounts.is_discarded() && accounts.contains("member") && accounts.contains("plain");
}

}  // namespace

void addRoute(httplib::Server& server, SiteState& state, const std::string& method,
              const std::string& pattern, Handler handler) {
    auto wrapped = [&state, handler = std::move(handler)](const httplib::Request& request,
                                                          httplib::Response& response) {
        state.log.record(request);
        if (applyDelayAndOverride(state, request, response)) return;
        if (request.path.find("/wbi/") != std::string::npos &&
            !wbiSignatureValid(rawQuery(request.target), wbiKeys(state.wbiRotations.load()))) {
            sendJson(response, {{"code", -352}, {"message", "风控校验失败"}});
            return;
        }
        handler(request, response);
    };
    if (method == "POST")
        server.Post(pattern, wrapped);
    else
        server.Get(pattern, wrapped);
}

void sendJson(httplib::Response& response, const Json& body) {
    response.set_content(body.dump(), "application/json; charset=utf-8");
}

std::string addNewVideo(SiteState& state) {
    return newVideoBvid(state.videos.addNew(static_cast<long long>(std::time(nullptr))));
}

std::string cookieValue(const std::string& cookieHeader, const std::string& name) {
    std::size_t start = 0;
    while (start <= cookieHeader.size()) {
        auto end = cookieHeader.find(';', start);
        if (end == std::string::npos) end = cookieHeader.size();
        const std::string entry = cookieHeader.substr(start, end - start);
        const auto equals = entry.find('=');
        if (equals != std::string::npos && trim(entry.substr(0, equals)) == name)
            return trim(entry.substr(equals + 1));
        start = end + 1;
    }
    return {};
}

namespace {
int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
}  // namespace

std::string percentDecode(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
            hexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i] == '+' ? ' ' : text[i];
        }
    }
    return out;
}

namespace {
bool hasCookie(const std::string& cookieHeader, const std::string& cookie) {
    const auto equals = cookie.find('=');
    return cookieValue(cookieHeader, cookie.substr(0, equals)) == cookie.substr(equals + 1);
}
}  // namespace

bool isMemberCookie(const std::string& cookieHeader) {
    return hasCookie(cookieHeader, kMemberCookie);
}
bool isPlainCookie(const std::string& cookieHeader) {
    return hasCookie(cookieHeader, kPlainCookie);
}

struct DevSite::Impl {
    SiteState state;
    httplib::Server server;
    std::thread listener;
    bool running = false;
    bool used = false;  // httplib servers are not restartable
};

DevSite::DevSite(Options options) : impl_(std::make_unique<Impl>()) {
    impl_->state.options = options;
    impl_->state.bytesPerSecond = options.bytesPerSecond;
}

DevSite::~DevSite() {
    stop();
}

bool DevSite::start() {
    if (impl_->running) return true;
    if (impl_->used) return false;
    impl_->used = true;
    SiteState& state = impl_->state;
    if (!state.videos.load(std::string(DEVSITE_FIXTURES_DIR) + "/videos")) return false;
    if (!loadAccounts(std::string(DEVSITE_FIXTURES_DIR) + "/accounts.json", state.accounts))
        return false;
    if (!prepareMedia(state.options.cacheDir, state.options.largeFileBytes, state.media))
        return false;

    httplib::Server& server = impl_->server;
    // Every media connection holds a worker while it is paced, so keep workers for all
    // of them plus room for the interface calls.
    const int workers = std::max(state.options.threads, state.options.maxConnections + 16);
    server.new_task_queue = [workers] {
        return new httplib::ThreadPool(static_cast<std::size_t>(workers));
    };
    server.set_keep_alive_timeout(2);
    server.set_keep_alive_max_count(1000);
    server.set_tcp_nodelay(true);
    registerControlEndpoints(server, state);
    registerVideoEndpoints(server, state);
    registerAccountEndpoints(server, state);
    registerSearchEndpoints(server, state);
    registerListEndpoints(server, state);
    registerSeasonEndpoints(server, state);
    registerCommentEndpoints(server, state);
    registerMediaServer(server, state);
    addRoute(server, state, "GET", ".*", [](const httplib::Request&, httplib::Response& response) {
        response.status = 404;
        response.set_content("no such page", "text/plain");
    });
    addRoute(server, state, "POST", ".*", [](const httplib::Request&, httplib::Response& response) {
        response.status = 404;
        response.set_content("no such page", "text/plain");
    });

    const int port =
        state.options.port > 0
            ? (server.bind_to_port("127.0.0.1", state.options.port) ? state.options.port : -1)
            : server.bind_to_any_port("127.0.0.1");
    if (port <= 0) return false;
    state.port = port;
    state.videos.pointCoversAt("http://127.0.0.1:" + std::to_string(port) + "/cover/");
    state.stopping = false;
    impl_->listener = std::thread([&server] { server.listen_after_bind(); });
    // stop() only ends a server that has begun listening.
    while (!server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    impl_->running = true;
    return true;
}

void DevSite::stop() {
    if (!impl_->running) return;
    {
        std::lock_guard lock(impl_->state.mutex);
        impl_->state.stopping = true;
    }
    impl_->state.wake.notify_all();
    impl_->server.stop();
    if (impl_->listener.joinable()) impl_->listener.join();
    impl_->running = false;
}

int DevSite::port() const {
    return impl_->state.port;
}

std::string DevSite::baseUrl() const {
    return "http://127.0.0.1:" + std::to_string(port());
}

std::vector<RecordedRequest> DevSite::requests() const {
    return impl_->state.log.all();
}

std::vector<RecordedRequest> DevSite::requestsTo(const std::string& path) const {
    return impl_->state.log.to(path);
}

void DevSite::clearRequests() {
    impl_->state.log.clear();
}

void DevSite::setFault(const std::string& mediaFile, Fault fault) {
    impl_->state.setFault(mediaFile, fault);
}

void DevSite::clearFaults() {
    impl_->state.clearFaults();
}

void DevSite::setBytesPerSecond(std::int64_t bytesPerSecond) {
    impl_->state.bytesPerSecond = bytesPerSecond;
}

std::int64_t DevSite::bytesServed(const std::string& mediaFile) const {
    return impl_->state.bytesServed(mediaFile);
}

void DevSite::expireAddresses() {
    ++impl_->state.addressGeneration;
}

int DevSite::openMediaAnswers() const {
    return impl_->state.openMedia();
}

std::string DevSite::mediaPath(const std::string& mediaFile) const {
    return resolveMediaFile(impl_->state, mediaFile);
}

void DevSite::setQrScript(std::vector<QrStep> steps) {
    impl_->state.setQrScript(std::move(steps));
}

std::string DevSite::lastQrKey() const {
    return impl_->state.currentQrKey();
}

void DevSite::overrideAnswer(const std::string& path, int status, std::string body,
                             std::string contentType, int times) {
    impl_->state.setOverride(path,
                             Override{status, std::move(body), std::move(contentType), times});
}

void DevSite::cutAnswer(const std::string& path, std::string body, std::int64_t promisedBytes,
                        int times) {
    impl_->state.setOverride(
        path, Override{200, std::move(body), "application/json", times, promisedBytes});
}

void DevSite::clearOverrides() {
    impl_->state.clearOverrides();
}

void DevSite::refuseListRequests(int n, int code) {
    impl_->state.setListRefusals(n, code);
}

std::string DevSite::addNewVideo() {
    return devsite::addNewVideo(impl_->state);
}

void DevSite::rotateWbiKeys() {
    ++impl_->state.wbiRotations;
}

void DevSite::setDelayMs(const std::string& path, int ms, int times) {
    impl_->state.setDelay(path, Delay{ms, times});
}

}  // namespace devsite
