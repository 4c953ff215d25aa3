// HTTP control of a running site (for the stand-alone process), under /_devsite/.
// These requests are not logged, so they never show among what a client sent.
#include <sstream>

#include "devsite/list_videos.h"
#include "devsite/site_state.h"

namespace devsite {

namespace {

constexpr const char* kPrefix = "/_devsite";

long long number(const httplib::Request& request, const char* name, long long fallback) {
    const std::string text = request.get_param_value(name);
    try {
        return text.empty() ? fallback : std::stoll(text);
    } catch (const std::exception&) {
        return fallback;
    }
}

bool parseFaultKind(const std::string& text, FaultKind& kind) {
    static const std::map<std::string, FaultKind> kinds = {
        {"none", FaultKind::None},    {"drop", FaultKind::DropAfterBytes},
        {"404", FaultKind::NotFound}, {"500", FaultKind::ServerError},
        {"stall", FaultKind::Stall},  {"long", FaultKind::LongerLength},
        {"outage", FaultKind::Outage}};
    const auto it = kinds.find(text);
    if (it == kinds.end()) return false;
    kind = it->second;
    return true;
}

// "-4,-5,ok": numbers are polls answered with that code, "ok" a successful poll.
bool parseQrScript(const std::string& text, std::vector<QrStep>& steps) {
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) {
        if (item == "ok") {
            steps.push_back({true, 0});
            continue;
        }
        try {
            steps.push_back({false, std::stoi(item)});
        } catch (const std::exception&) {
            return false;
        }
    }
    return true;
}

Json logAsJson(const std::vector<RecordedRequest>& entries) {
    Json list = Json::array();
    for (const auto& entry : entries) {
        Json headers = Json::array();
        for (const auto& [name, value] : entry.headers) headers.push_back({name, value});
        list.push_back({{"method", entry.method},
                        {"path", entry.path},
                        {"query", entry.query},
                        {"headers", std::move(headers)},
                        {"body", entry.body}});
    }
    return list;
}

void ok(httplib::Response& response) {
    sendJson(response, {{"ok", true}});
}

void refuse(httplib::Response& response, const std::string& why) {
    response.status = 400;
    sendJson(response, {{"ok", false}, {"error", why}});
}

}  // namespace

void registerControlEndpoints(httplib::Server& server, SiteState& state) {
    const std::string prefix = kPrefix;
    server.Post(prefix + "/fault", [&state](const httplib::Request& request,
                                            httplib::Response& response) {
        Fault fault;
        if (!request.has_param("file") ||
            !parseFaultKind(request.get_param_value("kind"), fault.kind))
            return refuse(response, "file and kind=none|drop|404|500|stall|long|outage are needed");
        fault.afterBytes = number(request, "after", 0);
        fault.outageMs = static_cast<int>(number(request, "ms", 0));
        fault.times = static_cast<int>(number(request, "times", -1));
        state.setFault(request.get_param_value("file"), fault);
        ok(response);
    });
    server.Post(prefix + "/faults/clear",
                [&state](const httplib::Request&, httplib::Response& response) {
                    state.clearFaults();
                    ok(response);
                });
    server.Post(prefix + "/expire-addresses",
                [&state](const httplib::Request&, httplib::Response& response) {
                    ++state.addressGeneration;
                    ok(response);
                });
    server.Get(prefix + "/open-media",
               [&state](const httplib::Request&, httplib::Response& response) {
                   sendJson(response, {{"answers", state.openMedia()}});
               });
    server.Post(prefix + "/speed",
                [&state](const httplib::Request& request, httplib::Response& response) {
                    state.bytesPerSecond = number(request, "bytesPerSecond", 0);
                    ok(response);
                });
    server.Get(
        prefix + "/served", [&state](const httplib::Request& request, httplib::Response& response) {
            sendJson(response, {{"file", request.get_param_value("file")},
                                {"bytes", state.bytesServed(request.get_param_value("file"))}});
        });
    server.Post(prefix + "/qr-script",
                [&state](const httplib::Request& request, httplib::Response& response) {
                    std::vector<QrStep> steps;
                    if (!parseQrScript(request.get_param_value("steps"), steps))
                        return refuse(response, "steps like -4,-5,ok");
                    state.setQrScript(std::move(steps));
                    ok(response);
                });
    server.Get(prefix + "/qr-key", [&state](const httplib::Request&, httplib::Response& response) {
        sendJson(response, {{"key", state.currentQrKey()}});
    });
    server.Post(prefix + "/override",
                [&state](const httplib::Request& request, httplib::Response& response) {
                    if (!request.has_param("path")) return refuse(response, "path is needed");
                    std::string type = request.get_param_value("contentType");
                    state.setOverride(request.get_param_value("path"),
                                      Override{static_cast<int>(number(request, "status", 200)),
                                               request.body, type.empty() ? "text/html" : type,
                                               static_cast<int>(number(request, "times", -1)),
                                               number(request, "promised", 0)});
                    ok(response);
                });
    server.Post(prefix + "/overrides/clear",
                [&state](const httplib::Request&, httplib::Response& response) {
                    state.clearOverrides();
                    ok(response);
                });
    server.Post(prefix + "/delay",
                [&state](const httplib::Request& request, httplib::Response& response) {
                    if (!request.has_param("path")) return refuse(response, "path is needed");
                    state.setDelay(request.get_param_value("path"),
                                   Delay{static_cast<int>(number(request, "ms", 0)),
                                         static_cast<int>(number(request, "times", -1))});
                    ok(response);
                });
    server.Post(prefix + "/new-video",
                [&state](const httplib::Request&, httplib::Response& response) {
                    sendJson(response, {{"ok", true}, {"bvid", addNewVideo(state)}});
                });
    server.Get(prefix + "/log", [&state](const httplib::Request&, httplib::Response& response) {
        sendJson(response, logAsJson(state.log.all()));
    });
    server.Post(prefix + "/log/clear",
                [&state](const httplib::Request&, httplib::Response& response) {
                    state.log.clear();
                    ok(response);
                });
}

}  // namespace devsite
