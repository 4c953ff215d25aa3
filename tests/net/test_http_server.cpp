#include "net/test_http_server.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>

namespace quivra::test {
namespace {

constexpr size_t kMaxHeaderBytes = 1 << 20;

struct Request {
    std::string line;
    std::string method;
    std::string target;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
};

std::string trim(const std::string& text) {
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string pathOf(const std::string& target) {
    std::string path = target;
    size_t scheme = path.find("://");
    if (scheme != std::string::npos) {
        size_t slash = path.find('/', scheme + 3);
        path = slash == std::string::npos ? "/" : path.substr(slash);
    }
    return path.substr(0, path.find('?'));
}

std::string queryValue(const std::string& target, const std::string& key) {
    size_t question = target.find('?');
    if (question == std::string::npos) return {};
    std::string query = target.substr(question + 1);
    size_t start = 0;
    while (start <= query.size()) {
        size_t end = query.find('&', start);
        if (end == std::string::npos) end = query.size();
        std::string pair = query.substr(start, end - start);
        if (pair.rfind(key + "=", 0) == 0) return pair.substr(key.size() + 1);
        start = end + 1;
    }
    return {};
}

std::string hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::string echoJson(const Request& request) {
    nlohmann::json echo;
    echo["requestLine"] = request.line;
    echo["method"] = request.method;
    echo["target"] = request.target;
    echo["headers"] = nlohmann::json::array();
    for (const auto& [name, value] : request.headers) echo["headers"].push_back({name, value});
    echo["body"] = request.body;
    echo["bodyHex"] = hex(request.body);
    return echo.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string response(int status, const std::vector<std::string>& headerLines,
                     const std::string& body) {
    std::string text = "HTTP/1.1 " + std::to_string(status) + " Whatever\r\n";
    for (const auto& line : headerLines) text += line + "\r\n";
    text += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    return text + body;
}

bool sendAll(int socket, const std::string& data) {
    size_t sent = 0;
    while (sent < data.size()) {
        ssize_t n = ::send(socket, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

TestHttpServer::TestHttpServer() {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int yes = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::listen(listener_, 64) == 0) {
        socklen_t length = sizeof address;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
    }
    acceptor_ = std::thread([this] { acceptLoop(); });
}

TestHttpServer::~TestHttpServer() {
    stopping_ = true;
    acceptor_.join();
    // Workers notice the stop within one poll interval.
    for (auto& worker : workers_) worker.join();
    ::close(listener_);
}

std::string TestHttpServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

bool TestHttpServer::waitOrStop(int milliseconds) {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < until) {
        if (stopping_) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return !stopping_;
}

void TestHttpServer::acceptLoop() {
    while (!stopping_) {
        pollfd waiting{listener_, POLLIN, 0};
        if (::poll(&waiting, 1, 50) <= 0) continue;
        int socket = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (socket < 0) continue;
        ++connections_;
        workers_.emplace_back([this, socket] { serve(socket); });
    }
}

void TestHttpServer::serve(int socket) {
    std::string buffer;
    auto readMore = [&]() {
        while (!stopping_) {
            pollfd waiting{socket, POLLIN, 0};
            int ready = ::poll(&waiting, 1, 50);
            if (ready < 0) return false;
            if (ready == 0) continue;
            char chunk[16384];
            ssize_t n = ::recv(socket, chunk, sizeof chunk, 0);
            if (n <= 0) return false;
            buffer.append(chunk, static_cast<size_t>(n));
            return true;
        }
        return false;
    };

    while (!stopping_) {
        size_t end;
        while ((end = buffer.find("\r\n\r\n")) == std::string::npos) {
            if (buffer.size() > kMaxHeaderBytes || !readMore()) {
                ::close(socket);
                return;
            }
        }
        Request request;
        std::string head = buffer.substr(0, end);
        buffer.erase(0, end + 4);
        size_t lineEnd = head.find("\r\n");
        request.line = head.substr(0, lineEnd);
        size_t space = request.line.find(' ');
        request.method = request.line.substr(0, space);
        request.target = request.line.substr(space + 1, request.line.rfind(' ') - space - 1);
        size_t contentLength = 0;
        while (lineEnd != std::string::npos) {
            size_t start = lineEnd + 2;
            lineEnd = head.find("\r\n", start);
            std::string line = head.substr(
                start, lineEnd == std::string::npos ? std::string::npos : lineEnd - start);
            size_t colon = line.find(':');
            if (colon == std::string::npos) continue;
            std::string name = line.substr(0, colon);
            std::string value = trim(line.substr(colon + 1));
            if (lower(name) == "content-length") contentLength = std::stoul(value);
            request.headers.emplace_back(name, value);
        }
        while (buffer.size() < contentLength) {
            if (!readMore()) {
                ::close(socket);
                return;
            }
        }
        request.body = buffer.substr(0, contentLength);
        buffer.erase(0, contentLength);

        const std::string path = pathOf(request.target);
        std::string answer;
        if (path == "/reset") break;
        if (path == "/headers-only") {
            sendAll(socket, "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n");
            break;
        }
        if (path == "/trickle") {
            sendAll(socket, "HTTP/1.1 200 OK\r\nContent-Length: 1000000\r\n\r\n");
            while (waitOrStop(200) && sendAll(socket, "x")) {
            }
            break;
        }
        if (path == "/cookies") {
            answer = response(200,
                              {"Set-Cookie: a=1; Path=/; HttpOnly", "Set-Cookie: b=2",
                               "set-cookie: x=9", "X-Note: Set-Cookie: y=8"},
                              "cookies");
        } else if (path == "/delete-cookie") {
            answer = response(200, {"Set-Cookie: b=deleted; Max-Age=0", "Set-Cookie: c=3"}, "");
        } else if (path == "/redirect") {
            answer = response(
                302, {"Location: " + queryValue(request.target, "to"), "X-Hop: redirect"}, "moved");
        } else if (path == "/redirect-loop") {
            answer = response(302, {"Location: /redirect-loop"}, "again");
        } else if (path == "/status") {
            std::string code = queryValue(request.target, "code");
            answer = response(std::stoi(code), {}, "status " + code);
        } else {
            if (path == "/slow" && !waitOrStop(std::stoi(queryValue(request.target, "ms")))) break;
            answer = response(
                200, {"Content-Type: application/json", "X-Echo: 1", "X-Method: " + request.method},
                echoJson(request));
        }
        if (!sendAll(socket, answer)) break;
    }
    ::close(socket);
}

struct TestHttpsServer::Impl {
    std::filesystem::path folder;
    std::unique_ptr<httplib::SSLServer> server;
    std::thread thread;
};

TestHttpsServer::TestHttpsServer() : impl_(std::make_unique<Impl>()) {
    char folderTemplate[] = "/tmp/quivra-tls-XXXXXX";
    if (!::mkdtemp(folderTemplate)) return;
    impl_->folder = folderTemplate;
    const std::string cert = (impl_->folder / "cert.pem").string();
    const std::string key = (impl_->folder / "key.pem").string();
    const std::string command =
        "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 1 "
        "-subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 -keyout " +
        key + " -out " + cert + " >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) return;
    impl_->server = std::make_unique<httplib::SSLServer>(cert.c_str(), key.c_str());
    if (!impl_->server->is_valid()) return;
    impl_->server->Get(".*", [](const httplib::Request&, httplib::Response& answer) {
        answer.set_content("secret", "text/plain");
    });
    int port = impl_->server->bind_to_any_port("127.0.0.1");
    if (port <= 0) return;
    impl_->thread = std::thread([this] { impl_->server->listen_after_bind(); });
    port_ = port;
}

TestHttpsServer::~TestHttpsServer() {
    if (impl_->server) impl_->server->stop();
    if (impl_->thread.joinable()) impl_->thread.join();
    std::error_code ignored;
    if (!impl_->folder.empty()) std::filesystem::remove_all(impl_->folder, ignored);
}

std::string TestHttpsServer::url(const std::string& path) const {
    return "https://127.0.0.1:" + std::to_string(port_) + path;
}

std::optional<std::string> EchoedRequest::header(const std::string& name) const {
    for (const auto& [key, value] : headers) {
        if (key == name) return value;
    }
    return std::nullopt;
}

std::vector<std::string> EchoedRequest::headerNames() const {
    std::vector<std::string> names;
    for (const auto& entry : headers) names.push_back(entry.first);
    return names;
}

EchoedRequest parseEcho(const std::string& body) {
    EchoedRequest echo;
    nlohmann::json json = nlohmann::json::parse(body, nullptr, false);
    if (json.is_discarded() || !json.is_object()) return echo;
    echo.requestLine = json.value("requestLine", "");
    echo.method = json.value("method", "");
    echo.target = json.value("target", "");
    for (const auto& entry : json["headers"]) {
        echo.headers.emplace_back(entry[0].get<std::string>(), entry[1].get<std::string>());
    }
    echo.body = json.value("body", "");
    echo.bodyHex = json.value("bodyHex", "");
    echo.valid = true;
    return echo;
}

}  // namespace quivra::test
