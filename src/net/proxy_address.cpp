#include "net/proxy_address.h"

#include <algorithm>
#include <cctype>

#include "net/text_encoding.h"
#include "net/text_helpers.h"

namespace quivra {
namespace {

// "%40" stands for "@" in a user name or password that holds one.
std::string percentDecoded(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int high = hexDigitValue(text[i + 1]);
            const int low = hexDigitValue(text[i + 2]);
            if (high >= 0 && low >= 0) {
                out += static_cast<char>(high * 16 + low);
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

bool isProxyHostCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_';
}

bool isProxyHost(const std::string& host) {
    if (host.empty()) return false;
    if (host.front() == '[') {
        return host.size() > 2 && host.back() == ']' &&
               std::all_of(host.begin() + 1, host.end() - 1, [](char c) {
                   return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.';
               });
    }
    return std::all_of(host.begin(), host.end(), isProxyHostCharacter);
}

ParsedProxy refusedProxy(const char* utf8) {
    return {{}, localText(utf8)};
}

}  // namespace

ParsedProxy parseProxyAddress(const std::string& text) {
    std::string rest = text;
    const size_t schemeEnd = rest.find("://");
    if (schemeEnd != std::string::npos) {
        const std::string scheme = lowerAscii(rest.substr(0, schemeEnd));
        if (scheme.starts_with("socks")) {
            return refusedProxy("下载引擎不能使用SOCKS代理，请填写HTTP代理（http://主机:端口）");
        }
        if (scheme != "http") return refusedProxy("只能使用HTTP代理（http://主机:端口）");
        rest.erase(0, schemeEnd + 3);
    }
    if (!rest.empty() && rest.back() == '/') rest.pop_back();

    ProxyServer server;
    const size_t at = rest.rfind('@');
    if (at != std::string::npos) {
        const std::string credentials = rest.substr(0, at);
        const size_t colon = credentials.find(':');
        server.user = percentDecoded(credentials.substr(0, colon));
        if (colon != std::string::npos)
            server.password = percentDecoded(credentials.substr(colon + 1));
        rest.erase(0, at + 1);
    }
    const size_t portStart = rest.rfind(':');
    if (portStart == std::string::npos || (rest.front() == '[' && rest.back() == ']')) {
        return refusedProxy("代理地址须带端口（http://主机:端口）");
    }
    server.host = rest.substr(0, portStart);
    const std::string port = rest.substr(portStart + 1);
    const bool digits =
        !port.empty() && port.size() <= 5 && std::all_of(port.begin(), port.end(), [](char c) {
            return std::isdigit(static_cast<unsigned char>(c));
        });
    if (!isProxyHost(server.host) || !digits || std::stoi(port) < 1 || std::stoi(port) > 65535) {
        return refusedProxy("代理地址应为 http://主机:端口");
    }
    server.port = std::stoi(port);
    return {server, ""};
}

std::string proxyUrl(const ProxyServer& server) {
    return "http://" + server.host + ":" + std::to_string(server.port);
}

}  // namespace quivra
