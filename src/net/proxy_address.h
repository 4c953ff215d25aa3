// A proxy server named by an address "http://[user[:password]@]host:port", the one kind
// that both libcurl and the download engine can use.
#pragma once

#include <string>

namespace quivra {

struct ProxyServer {
    std::string host;  // a name, an IPv4 address or a bracketed IPv6 address
    int port = 0;
    std::string user;  // percent-decoded
    std::string password;
};

// The parsed address, or a failure that says why it cannot be used (local text).
struct ParsedProxy {
    ProxyServer server;
    std::string failure;  // empty when the address is usable
};

// Takes "http://host:port" or "host:port", with an optional "user:password@" before the
// host and an optional "/" after the port. SOCKS and HTTPS proxies are refused: the
// engine speaks to HTTP proxies only.
ParsedProxy parseProxyAddress(const std::string& text);

// "http://host:port": never the user or the password, so it may be shown and logged.
std::string proxyUrl(const ProxyServer& server);

}  // namespace quivra
