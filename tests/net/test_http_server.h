// Loopback servers for the HTTP tests.
//
// TestHttpServer is a small HTTP/1.1 server on raw sockets, so that it sees the request
// exactly as sent (request line, header names and order). Every path not listed below
// echoes the request as JSON: {"requestLine", "method", "target", "headers": [[name,
// value], ...], "body", "bodyHex"}. A proxy request (absolute URI) is echoed the same way.
//   /cookies          sets a=1 (with attributes), b=2, and a lower-case "set-cookie" x=9
//   /delete-cookie    sets b=deleted and c=3
//   /redirect?to=P    302 to P with body "moved" and header "X-Hop: redirect"
//   /redirect-loop    302 to itself, forever
//   /slow?ms=N        waits N ms, then echoes
//   /status?code=N    answers status N with body "status N"
//   /headers-only     promises 100 bytes of body, then closes
//   /trickle          promises a large body and sends one byte every 200 ms, forever
//   /reset            closes without answering
#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace quivra::test {

class TestHttpServer {
  public:
    TestHttpServer();
    ~TestHttpServer();
    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    int port() const { return port_; }
    std::string url(const std::string& path) const;
    // Connections accepted so far.
    int connectionCount() const { return connections_.load(); }

  private:
    void acceptLoop();
    void serve(int socket);
    bool waitOrStop(int milliseconds);

    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> connections_{0};
    std::thread acceptor_;
    std::vector<std::thread> workers_;
};

// An HTTPS server with a self-signed certificate made when it starts; answers "secret"
// on every path.
class TestHttpsServer {
  public:
    TestHttpsServer();
    ~TestHttpsServer();
    TestHttpsServer(const TestHttpsServer&) = delete;
    TestHttpsServer& operator=(const TestHttpsServer&) = delete;

    bool running() const { return port_ > 0; }
    int port() const { return port_; }
    std::string url(const std::string& path) const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    int port_ = 0;
};

// The request that the echo route saw.
struct EchoedRequest {
    bool valid = false;
    std::string requestLine;
    std::string method;
    std::string target;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    std::string bodyHex;

    // The value of the first header with exactly this name.
    std::optional<std::string> header(const std::string& name) const;
    std::vector<std::string> headerNames() const;
};

EchoedRequest parseEcho(const std::string& body);

}  // namespace quivra::test
