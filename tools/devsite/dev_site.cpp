// Lifecycle, routing and the control calls of the local site.
#include "devsite/dev_site.h"

#include <thread>

#include "devsite/site_state.h"

namespace devsite {

namespace {

std::string trim(std::string text) {
    const auto first = text.find_first_not_of(' ');
    const auto last = text.find_last_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

// True when the request was answered by an override (or the site is stopping).
bool applyDelayAndOverride(SiteState& state, const httplib::Request& request,
                           httplib::Response& response) {
    int delayMs = 0;
    std::optional<Override> answer;
    {
        std::lock_guard lock(state.mutex);
        if (auto it = state.delays.find(request.path);
            it != state.delays.end() && it->second.times != 0) {
            delayMs = it->second.ms;
            if (it->second.times > 0) --it->second.times;
        }
        if (auto it = state.overrides.find(request.path);
            it != state.overrides.end() && it->second.times != 0) {
            answer = it->second;
            if (it->second.times > 0) --it->second.times;
        }
    }
    if (delayMs > 0 && !state.sleepFor(std::chrono::milliseconds(delayMs))) {
        response.status = 503;
        return true;
    }
    if (!answer) return false;
    response.status = answer->status;
    response.set_content(answer->body, answer->contentType);
    return true;
}

}  // namespace

bool SiteState::sleepFor(std::chrono::milliseconds duration) {
    std::unique_lock lock(mutex);
    return !wake.wait_for(lock, duration, [this] { return stopping.load(); });
}

Fault SiteState::takeFault(const std::string& mediaFile) {
    std::lock_guard lock(mutex);
    const auto it = faults.find(mediaFile);
    if (it == faults.end() || it->second.times == 0) return {};
    Fault hit = it->second;
    if (it->second.times > 0) --it->second.times;
    return hit;
}

void SiteState::addServed(const std::string& mediaFile, std::int64_t bytes) {
    std::lock_guard lock(mutex);
    served[mediaFile] += bytes;
}

bool SiteState::enterMedia() {
    std::lock_guard lock(mutex);
    if (activeMedia >= options.maxConnections) return false;
    ++activeMedia;
    return true;
}

void SiteState::leaveMedia() {
    std::lock_guard lock(mutex);
    --activeMedia;
}

void addRoute(httplib::Server& server, SiteState& state, const std::string& method,
              const std::string& pattern, Handler handler) {
    auto wrapped = [&state, handler = std::move(handler)](const httplib::Request& request,
                                                          httplib::Response& response) {
        state.log.record(request);
        if (!applyDelayAndOverride(state, request, response)) handler(request, response);
    };
    if (method == "POST")
        server.Post(pattern, wrapped);
    else
        server.Get(pattern, wrapped);
}

void sendJson(httplib::Response& response, const Json& body) {
    response.set_content(body.dump(), "application/json; charset=utf-8");
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
    SiteState& state = impl_->state;
    if (!state.videos.load(std::string(DEVSITE_FIXTURES_DIR) + "/videos")) return false;
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
    registerVideoEndpoints(server, state);
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
    std::lock_guard lock(impl_->state.mutex);
    impl_->state.faults[mediaFile] = fault;
}

void DevSite::clearFaults() {
    std::lock_guard lock(impl_->state.mutex);
    impl_->state.faults.clear();
}

void DevSite::setBytesPerSecond(std::int64_t bytesPerSecond) {
    impl_->state.bytesPerSecond = bytesPerSecond;
}

std::int64_t DevSite::bytesServed(const std::string& mediaFile) const {
    std::lock_guard lock(impl_->state.mutex);
    const auto it = impl_->state.served.find(mediaFile);
    return it == impl_->state.served.end() ? 0 : it->second;
}

std::string DevSite::mediaPath(const std::string& mediaFile) const {
    return resolveMediaFile(impl_->state, mediaFile);
}

void DevSite::setQrScript(std::vector<QrStep> steps) {
    std::lock_guard lock(impl_->state.mutex);
    impl_->state.qrScript = std::move(steps);
}

std::string DevSite::lastQrKey() const {
    std::lock_guard lock(impl_->state.mutex);
    return impl_->state.lastQrKey;
}

void DevSite::overrideAnswer(const std::string& path, int status, std::string body,
                             std::string contentType, int times) {
    std::lock_guard lock(impl_->state.mutex);
    impl_->state.overrides[path] = Override{status, std::move(body), std::move(contentType), times};
}

void DevSite::clearOverrides() {
    std::lock_guard lock(impl_->state.mutex);
    impl_->state.overrides.clear();
}

void DevSite::setDelayMs(const std::string& path, int ms, int times) {
    std::lock_guard lock(impl_->state.mutex);
    impl_->state.delays[path] = Delay{ms, times};
}

}  // namespace devsite
