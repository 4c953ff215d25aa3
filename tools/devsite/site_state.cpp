#include "devsite/site_state.h"

#include <random>

namespace devsite {

namespace {

template <typename Entry>
bool takeOne(Entry& entry) {
    if (entry.times == 0) return false;
    if (entry.times > 0) --entry.times;
    return true;
}

}  // namespace

bool SiteState::sleepFor(std::chrono::milliseconds duration) {
    std::unique_lock lock(mutex);
    return !wake.wait_for(lock, duration, [this] { return stopping.load(); });
}

void SiteState::setFault(const std::string& mediaFile, Fault fault) {
    std::lock_guard lock(mutex);
    faults[mediaFile] = fault;
}

void SiteState::clearFaults() {
    std::lock_guard lock(mutex);
    faults.clear();
    outages.clear();
}

Fault SiteState::takeFault(const std::string& mediaFile) {
    std::lock_guard lock(mutex);
    const auto it = faults.find(mediaFile);
    if (it == faults.end()) return {};
    const Fault hit = it->second;
    return takeOne(it->second) ? hit : Fault{};
}

void SiteState::addServed(const std::string& mediaFile, std::int64_t bytes) {
    std::lock_guard lock(mutex);
    served[mediaFile] += bytes;
}

std::int64_t SiteState::bytesServed(const std::string& mediaFile) const {
    std::lock_guard lock(mutex);
    const auto it = served.find(mediaFile);
    return it == served.end() ? 0 : it->second;
}

void SiteState::startOutage(const std::string& mediaFile, std::chrono::milliseconds length) {
    std::lock_guard lock(mutex);
    outages[mediaFile] = std::chrono::steady_clock::now() + length;
}

bool SiteState::inOutage(const std::string& mediaFile) const {
    std::lock_guard lock(mutex);
    const auto it = outages.find(mediaFile);
    return it != outages.end() && std::chrono::steady_clock::now() < it->second;
}

int SiteState::openMedia() const {
    std::lock_guard lock(mutex);
    return activeMedia;
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

void SiteState::setOverride(const std::string& path, Override answer) {
    std::lock_guard lock(mutex);
    overrides[path] = std::move(answer);
}

void SiteState::clearOverrides() {
    std::lock_guard lock(mutex);
    overrides.clear();
}

void SiteState::setDelay(const std::string& path, Delay delay) {
    std::lock_guard lock(mutex);
    delays[path] = delay;
}

std::pair<int, std::optional<Override>> SiteState::takeDelayAndOverride(const std::string& path) {
    std::lock_guard lock(mutex);
    std::pair<int, std::optional<Override>> result{0, std::nullopt};
    if (auto it = delays.find(path); it != delays.end() && takeOne(it->second))
        result.first = it->second.ms;
    if (auto it = overrides.find(path); it != overrides.end() && takeOne(it->second))
        result.second = it->second;
    return result;
}

void SiteState::setQrScript(std::vector<QrStep> steps) {
    std::lock_guard lock(mutex);
    qrScript = std::move(steps);
}

std::string SiteState::newQrKey() {
    static thread_local std::mt19937_64 random{std::random_device{}()};
    static const char* const digits = "0123456789abcdef";
    std::string key;
    for (int i = 0; i < 32; ++i) key += digits[random() % 16];
    std::lock_guard lock(mutex);
    std::vector<QrStep> steps = qrScript;
    if (steps.empty()) steps = {QrStep{false, -4}, QrStep{false, -5}, QrStep{true, 0}};
    qrSessions[key] = QrSession{std::move(steps), 0};
    lastQrKey = key;
    return key;
}

std::string SiteState::currentQrKey() const {
    std::lock_guard lock(mutex);
    return lastQrKey;
}

std::optional<QrStep> SiteState::nextQrStep(const std::string& key) {
    std::lock_guard lock(mutex);
    const auto it = qrSessions.find(key);
    if (it == qrSessions.end()) return std::nullopt;
    QrSession& session = it->second;
    const QrStep step = session.steps[session.next];
    if (session.next + 1 < session.steps.size()) ++session.next;
    return step;
}

std::uint64_t SiteState::nextVisitor() {
    std::lock_guard lock(mutex);
    return ++cookieCounter;
}

void SiteState::setListRefusals(int every, int code) {
    std::lock_guard lock(mutex);
    refuseEvery = every;
    refusalCode = code;
    listRequests = 0;
}

int SiteState::takeListRefusal() {
    std::lock_guard lock(mutex);
    if (refuseEvery <= 0) return 0;
    return ++listRequests % refuseEvery == 0 ? refusalCode : 0;
}

}  // namespace devsite
