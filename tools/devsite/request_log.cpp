#include "devsite/request_log.h"

#include <algorithm>
#include <cctype>

namespace devsite {

namespace {

bool sameNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

std::string rawQuery(const std::string& target) {
    const auto mark = target.find('?');
    return mark == std::string::npos ? std::string() : target.substr(mark + 1);
}

std::string RecordedRequest::header(const std::string& name) const {
    for (const auto& [key, value] : headers) {
        if (sameNoCase(key, name)) return value;
    }
    return {};
}

bool RecordedRequest::hasHeader(const std::string& name) const {
    return std::any_of(headers.begin(), headers.end(),
                       [&](const auto& entry) { return sameNoCase(entry.first, name); });
}

void RequestLog::record(const httplib::Request& request) {
    RecordedRequest entry;
    entry.method = request.method;
    entry.path = request.path;
    entry.query = rawQuery(request.target);
    // httplib keeps headers grouped by name; repeated names stay in arrival order.
    for (const auto& [key, value] : request.headers) {
        // httplib adds these itself; they never came from the client.
        if (key == "REMOTE_ADDR" || key == "REMOTE_PORT" || key == "LOCAL_ADDR" ||
            key == "LOCAL_PORT")
            continue;
        entry.headers.emplace_back(key, value);
    }
    entry.body = request.body;
    std::lock_guard lock(mutex_);
    entries_.push_back(std::move(entry));
}

std::vector<RecordedRequest> RequestLog::all() const {
    std::lock_guard lock(mutex_);
    return entries_;
}

std::vector<RecordedRequest> RequestLog::to(const std::string& path) const {
    std::lock_guard lock(mutex_);
    std::vector<RecordedRequest> matching;
    for (const auto& entry : entries_) {
        if (entry.path == path) matching.push_back(entry);
    }
    return matching;
}

void RequestLog::clear() {
    std::lock_guard lock(mutex_);
    entries_.clear();
}

}  // namespace devsite
