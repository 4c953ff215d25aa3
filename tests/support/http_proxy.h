// A small HTTP proxy on loopback for the tests: CONNECT tunnels and absolute-form requests
// ("GET http://127.0.0.1:8080/path HTTP/1.1"), one request per client connection (the
// answer says "Connection: close"), so its log holds every request it was asked for. It
// forwards to loopback only and refuses any other address.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace quivra::test {

class HttpProxy {
  public:
    struct Entry {
        std::string method;         // "GET", "CONNECT", ...
        std::string target;         // "http://127.0.0.1:P/path" or "127.0.0.1:P"
        std::string authorization;  // the Proxy-Authorization header's value, if any
    };

    HttpProxy() {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(listener_, 128) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            return;
        }
        port_ = ntohs(address.sin_port);
        acceptor_ = std::thread([this] { acceptLoop(); });
    }
    ~HttpProxy() { stop(); }
    HttpProxy(const HttpProxy&) = delete;
    HttpProxy& operator=(const HttpProxy&) = delete;

    int port() const { return port_; }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_); }

    std::vector<Entry> log() const {
        std::lock_guard lock(mutex_);
        return log_;
    }
    void clearLog() {
        std::lock_guard lock(mutex_);
        log_.clear();
    }

    // Ends every connection and closes the port, which then refuses connections.
    void stop() {
        if (stopping_.exchange(true)) return;
        ::shutdown(listener_, SHUT_RDWR);
        if (acceptor_.joinable()) acceptor_.join();
        ::close(listener_);
        std::vector<std::thread> workers;
        {
            std::lock_guard lock(mutex_);
            for (int socket : open_) ::shutdown(socket, SHUT_RDWR);
            workers.swap(workers_);
        }
        for (std::thread& worker : workers) worker.join();
    }

  private:
    void acceptLoop() {
        while (!stopping_) {
            const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) {
                if (stopping_) return;
                continue;
            }
            std::lock_guard lock(mutex_);
            open_.insert(client);
            workers_.emplace_back([this, client] {
                serve(client);
                closeSocket(client);
            });
        }
    }

    void closeSocket(int socket) {
        {
            std::lock_guard lock(mutex_);
            open_.erase(socket);
        }
        ::close(socket);
    }

    static bool sendAll(int socket, const std::string& bytes) {
        size_t sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n =
                ::send(socket, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) return false;
            sent += static_cast<size_t>(n);
        }
        return true;
    }

    // Reads until the end of a header block; what came after it stays in `rest`.
    static bool readHead(int socket, std::string& head, std::string& rest) {
        std::string buffer;
        char chunk[16384];
        while (buffer.find("\r\n\r\n") == std::string::npos) {
            if (buffer.size() > (1 << 16)) return false;
            const ssize_t n = ::recv(socket, chunk, sizeof chunk, 0);
            if (n <= 0) return false;
            buffer.append(chunk, static_cast<size_t>(n));
        }
        const size_t end = buffer.find("\r\n\r\n") + 4;
        head = buffer.substr(0, end);
        rest = buffer.substr(end);
        return true;
    }

    static std::vector<std::string> lines(const std::string& head) {
        std::vector<std::string> found;
        size_t start = 0;
        for (size_t end; (end = head.find("\r\n", start)) != std::string::npos; start = end + 2) {
            if (end > start) found.push_back(head.substr(start, end - start));
        }
        return found;
    }

    static std::string lowerName(const std::string& line) {
        std::string name = line.substr(0, line.find(':'));
        for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return name;
    }

    // The head without the hop-by-hop headers named, closed by "Connection: close".
    static std::string closingHead(const std::vector<std::string>& headLines,
                                   const std::string& firstLine) {
        std::string head = firstLine + "\r\n";
        for (size_t i = 1; i < headLines.size(); ++i) {
            const std::string name = lowerName(headLines[i]);
            if (name == "connection" || name == "proxy-connection" || name == "keep-alive" ||
                name == "proxy-authorization") {
                continue;
            }
            head += headLines[i] + "\r\n";
        }
        return head + "Connection: close\r\n\r\n";
    }

    // A loopback "host:port", or -1.
    static int connectLoopback(const std::string& hostPort) {
        const size_t colon = hostPort.rfind(':');
        if (colon == std::string::npos) return -1;
        const std::string host = hostPort.substr(0, colon);
        if (host != "127.0.0.1" && host != "localhost") return -1;
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(std::atoi(hostPort.c_str() + colon + 1)));
        const int upstream = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (::connect(upstream, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            ::close(upstream);
            return -1;
        }
        return upstream;
    }

    // Copies bytes both ways until one side closes. With rewriteAnswer, the answer's head
    // is told to close the connection, so the client asks anew for its next request.
    void relay(int client, int upstream, bool rewriteAnswer) {
        pollfd sides[2] = {{client, POLLIN, 0}, {upstream, POLLIN, 0}};
        std::string answerHead;
        bool headPassed = !rewriteAnswer;
        char chunk[65536];
        while (!stopping_) {
            if (::poll(sides, 2, 200) < 0) return;
            for (int i = 0; i < 2; ++i) {
                if (!(sides[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
                const ssize_t n = ::recv(sides[i].fd, chunk, sizeof chunk, 0);
                if (n <= 0) return;
                std::string bytes(chunk, static_cast<size_t>(n));
                if (i == 1 && !headPassed) {
                    answerHead += bytes;
                    const size_t end = answerHead.find("\r\n\r\n");
                    if (end == std::string::npos) continue;
                    const std::vector<std::string> headLines = lines(answerHead.substr(0, end + 2));
                    bytes = closingHead(headLines, headLines.empty() ? "" : headLines[0]) +
                            answerHead.substr(end + 4);
                    headPassed = true;
                }
                if (!sendAll(sides[1 - i].fd, bytes)) return;
            }
        }
    }

    void serve(int client) {
        std::string head, rest;
        if (!readHead(client, head, rest)) return;
        const std::vector<std::string> headLines = lines(head);
        if (headLines.empty()) return;
        const std::string& requestLine = headLines[0];
        const size_t space = requestLine.find(' ');
        const size_t secondSpace = requestLine.find(' ', space + 1);
        if (space == std::string::npos || secondSpace == std::string::npos) return;
        Entry entry{requestLine.substr(0, space),
                    requestLine.substr(space + 1, secondSpace - space - 1), ""};
        for (const std::string& line : headLines) {
            if (lowerName(line) == "proxy-authorization") {
                const size_t value = line.find_first_not_of(' ', line.find(':') + 1);
                entry.authorization = value == std::string::npos ? "" : line.substr(value);
            }
        }
        {
            std::lock_guard lock(mutex_);
            log_.push_back(entry);
        }

        std::string hostPort = entry.target;
        std::string path;
        if (entry.method != "CONNECT") {
            const std::string scheme = "http://";
            if (hostPort.rfind(scheme, 0) != 0) return;
            hostPort.erase(0, scheme.size());
            const size_t slash = hostPort.find('/');
            path = slash == std::string::npos ? "/" : hostPort.substr(slash);
            hostPort = hostPort.substr(0, slash);
        }
        const int upstream = connectLoopback(hostPort);
        if (upstream < 0) {
            sendAll(client,
                    "HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
            return;
        }
        {
            std::lock_guard lock(mutex_);
            open_.insert(upstream);
        }
        const bool tunnel = entry.method == "CONNECT";
        const std::string opening =
            tunnel ? "HTTP/1.1 200 Connection established\r\n\r\n"
                   : closingHead(headLines, entry.method + " " + path + " HTTP/1.1");
        if (sendAll(tunnel ? client : upstream, opening) &&
            (rest.empty() || sendAll(upstream, rest))) {
            relay(client, upstream, !tunnel);
        }
        closeSocket(upstream);
    }

    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread acceptor_;
    mutable std::mutex mutex_;
    std::vector<Entry> log_;
    std::set<int> open_;
    std::vector<std::thread> workers_;
};

}  // namespace quivra::test
