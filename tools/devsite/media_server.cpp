// The stream files: byte ranges, a per-connection speed limit, a cap on connections
// served at once, and switchable faults per file.
#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <memory>
#include <optional>
#include <vector>

#include "devsite/site_state.h"

namespace devsite {

namespace {

struct ByteRange {
    std::int64_t first;
    std::int64_t last;  // inclusive
};

std::optional<std::int64_t> parseNumber(std::string_view text) {
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

enum class RangeKind { Whole, Part, Unsatisfiable };

// One "bytes=" range of the Range header. Several ranges or bad syntax: the whole file.
RangeKind parseRange(const std::string& header, std::int64_t size, ByteRange& range) {
    range = {0, size - 1};
    const std::string_view prefix = "bytes=";
    if (header.rfind(prefix, 0) != 0 || header.find(',') != std::string::npos)
        return RangeKind::Whole;
    const std::string_view rangeText = std::string_view(header).substr(prefix.size());
    const auto dash = rangeText.find('-');
    if (dash == std::string_view::npos) return RangeKind::Whole;
    const auto from = parseNumber(rangeText.substr(0, dash));
    const auto to = parseNumber(rangeText.substr(dash + 1));
    if (!from) {
        if (!to || *to <= 0) return RangeKind::Whole;
        if (size == 0) return RangeKind::Unsatisfiable;
        range = {std::max<std::int64_t>(0, size - *to), size - 1};
        return RangeKind::Part;
    }
    if (to && *to < *from) return RangeKind::Whole;
    if (*from >= size) return RangeKind::Unsatisfiable;
    range = {*from, to ? std::min(*to, size - 1) : size - 1};
    return RangeKind::Part;
}

int portOf(const sockaddr_storage& address) {
    if (address.ss_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
    if (address.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port);
    return -1;
}

// The server's socket of this connection, found by its two ports, so that a stall can
// notice the client hanging up (httplib does not hand the socket to handlers).
int findConnectionSocket(int localPort, int remotePort) {
    DIR* folder = ::opendir("/proc/self/fd");
    if (!folder) return -1;
    int found = -1;
    while (const dirent* entry = ::readdir(folder)) {
        const auto fd = parseNumber(entry->d_name);
        if (!fd) continue;
        sockaddr_storage local{}, remote{};
        socklen_t localLength = sizeof local, remoteLength = sizeof remote;
        const int descriptor = static_cast<int>(*fd);
        if (::getsockname(descriptor, reinterpret_cast<sockaddr*>(&local), &localLength) != 0)
            continue;
        if (::getpeername(descriptor, reinterpret_cast<sockaddr*>(&remote), &remoteLength) != 0)
            continue;
        if (portOf(local) == localPort && portOf(remote) == remotePort) {
            found = descriptor;
            break;
        }
    }
    ::closedir(folder);
    return found;
}

bool peerHungUp(int socket) {
    if (socket < 0) return false;
    pollfd entry{socket, POLLRDHUP, 0};
    return ::poll(&entry, 1, 0) > 0 && (entry.revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL));
}

// One response being sent; lives as long as httplib keeps the content provider.
struct Transfer {
    SiteState& state;
    std::string name;
    int fd = -1;
    ByteRange range{};
    Fault fault;
    int socket = -1;
    std::atomic<bool> holdsSlot{false};  // counts against the connection cap
    std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
    std::vector<char> buffer;

    Transfer(SiteState& s, std::string n) : state(s), name(std::move(n)) {}
    ~Transfer() {
        if (fd >= 0) ::close(fd);
    }

    bool stall() {
        while (!state.stopping && !peerHungUp(socket))
            state.sleepFor(std::chrono::milliseconds(100));
        return false;
    }

    // Frees the connection's slot once its answer is out, before httplib winds the
    // connection down, so a client that reconnects at once is not refused.
    void release() {
        if (holdsSlot.exchange(false)) state.leaveMedia();
    }

    bool send(std::size_t offset, std::size_t remaining, httplib::DataSink& sink) {
        const bool more = sendChunk(offset, remaining, sink);
        if (!more) release();
        return more;
    }

    bool sendChunk(std::size_t offset, std::size_t remaining, httplib::DataSink& sink) {
        if (fault.kind == FaultKind::Stall) return stall();
        if (state.inOutage(name)) return false;
        if (fault.kind == FaultKind::Outage &&
            static_cast<std::int64_t>(offset) >= fault.afterBytes) {
            state.startOutage(name, std::chrono::milliseconds(fault.outageMs));
            return false;
        }
        const std::int64_t rate = state.bytesPerSecond.load();
        std::size_t chunk =
            rate > 0
                ? static_cast<std::size_t>(std::clamp<std::int64_t>(rate / 20, 1024, 256 * 1024))
                : 256 * 1024;
        chunk = std::min(chunk, remaining);
        // A longer claimed length ends the answer when the range's own bytes are out.
        const std::int64_t body = range.last - range.first + 1;
        if (static_cast<std::int64_t>(offset) >= body) return false;
        chunk = std::min<std::size_t>(chunk, static_cast<std::size_t>(body) - offset);
        if (fault.kind == FaultKind::DropAfterBytes || fault.kind == FaultKind::Outage) {
            const std::int64_t allowed = fault.afterBytes - static_cast<std::int64_t>(offset);
            if (allowed <= 0) return false;
            chunk = std::min<std::size_t>(chunk, static_cast<std::size_t>(allowed));
        }
        if (rate > 0) {
            const auto due = started + std::chrono::microseconds(static_cast<std::int64_t>(offset) *
                                                                 1'000'000 / rate);
            const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(
                due - std::chrono::steady_clock::now());
            if (wait.count() > 0 && !state.sleepFor(wait)) return false;
        }
        buffer.resize(chunk);
        const ssize_t got =
            ::pread(fd, buffer.data(), chunk, range.first + static_cast<std::int64_t>(offset));
        if (got <= 0) return false;
        if (!sink.write(buffer.data(), static_cast<std::size_t>(got))) return false;
        state.addServed(name, got);
        if (static_cast<std::size_t>(got) == remaining) release();
        return true;
    }
};

void answerMedia(const httplib::Request& request, httplib::Response& response, SiteState& state) {
    const std::string name = request.matches[1];
    const std::string path = resolveMediaFile(state, name);
    const Fault fault = path.empty() ? Fault{} : state.takeFault(name);
    if (path.empty() || fault.kind == FaultKind::NotFound) {
        response.status = 404;
        response.set_content("not found", "text/plain");
        return;
    }
    if (fault.kind == FaultKind::ServerError) {
        response.status = 500;
        response.set_content("server error", "text/plain");
        return;
    }
    const int generation = state.addressGeneration.load();
    if (generation > 0 && request.get_param_value("expires") != std::to_string(generation)) {
        response.status = 403;
        response.set_content("address expired", "text/plain");
        return;
    }
    if (state.inOutage(name)) {
        response.status = 503;
        response.set_content("unavailable", "text/plain");
        return;
    }
    auto transfer = std::make_shared<Transfer>(state, name);
    transfer->fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (transfer->fd < 0 || ::fstat(transfer->fd, &info) != 0) {
        response.status = 500;
        response.set_content("unreadable", "text/plain");
        return;
    }
    const std::int64_t size = info.st_size;
    // Ranges are answered here, exactly; httplib must not apply them a second time.
    const_cast<httplib::Request&>(request).ranges.clear();
    response.set_header("Accept-Ranges", "bytes");
    const RangeKind kind = parseRange(request.get_header_value("Range"), size, transfer->range);
    if (kind == RangeKind::Unsatisfiable) {
        response.status = 416;
        response.set_header("Content-Range", "bytes */" + std::to_string(size));
        return;
    }
    // A HEAD answer sends no body and holds no slot.
    if (request.method != "HEAD" && !state.enterMedia()) {
        response.status = 503;
        response.set_content("too many connections", "text/plain");
        return;
    }
    transfer->holdsSlot = request.method != "HEAD";
    transfer->fault = fault;
    if (fault.kind == FaultKind::Stall)
        transfer->socket = findConnectionSocket(request.local_port, request.remote_port);
    const ByteRange range = transfer->range;
    if (kind == RangeKind::Part) {
        response.status = 206;
        response.set_header("Content-Range", "bytes " + std::to_string(range.first) + "-" +
                                                 std::to_string(range.last) + "/" +
                                                 std::to_string(size));
    }
    const std::int64_t claimed = range.last - range.first + 1 +
                                 (fault.kind == FaultKind::LongerLength ? fault.afterBytes : 0);
    response.set_content_provider(
        static_cast<std::size_t>(claimed), "video/mp4",
        [transfer](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
            return transfer->send(offset, length, sink);
        },
        [transfer](bool) { transfer->release(); });
}

}  // namespace

std::string resolveMediaFile(const SiteState& state, const std::string& name) {
    // <bvid>-<cid>-<stream id>.m4s; a video stream not in AVC: <bvid>-<cid>-<id>-<codecid>.m4s
    const auto first = name.find('-');
    const auto second = name.find('-', first == std::string::npos ? first : first + 1);
    const std::string suffix = ".m4s";
    if (second == std::string::npos || name.size() <= suffix.size() ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
        return {};
    const std::string bvid = name.substr(0, first);
    const std::string cid = name.substr(first + 1, second - first - 1);
    const std::string_view stream =
        std::string_view(name).substr(second + 1, name.size() - suffix.size() - second - 1);
    const auto third = stream.find('-');
    const auto id = parseNumber(stream.substr(0, third));
    const auto codecId = third == std::string_view::npos ? std::optional<std::int64_t>(kAvcCodecId)
                                                         : parseNumber(stream.substr(third + 1));
    if (!id || !codecId || bvid == kFailingStreamsBvid || !state.videos.hasPart(bvid, cid))
        return {};
    const auto audio = state.media.audio.find(static_cast<int>(*id));
    if (audio != state.media.audio.end() && third == std::string_view::npos)
        return ensureAudioFile(state.media, audio->first);
    const std::pair<int, int> key = {static_cast<int>(*id), static_cast<int>(*codecId)};
    if (bvid == kLargeBvid) return state.media.video.contains(key) ? state.media.large : "";
    return ensureVideoFile(state.media, key.first, key.second);
}

void registerMediaServer(httplib::Server& server, SiteState& state) {
    addRoute(server, state, "GET", "/media/([^/]+)",
             [&state](const httplib::Request& request, httplib::Response& response) {
                 answerMedia(request, response, state);
             });
}

}  // namespace devsite
