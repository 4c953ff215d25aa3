#include "download/engine/download_engine.h"

#include <algorithm>

#include "base/proxy_route.h"
#include "download/engine/control_file.h"
#include "download/engine/engine_texts.h"
#include "download/engine/engine_thread.h"
#include "net/text_encoding.h"

namespace quivra {

struct DownloadEngine::Impl {
    EngineThread thread;
};

DownloadEngine::DownloadEngine() : impl_(new Impl) {}

DownloadEngine::~DownloadEngine() {
    impl_->thread.stop();
    delete impl_;
}

bool DownloadEngine::init(const std::string& folder, bool /*install*/,
                          std::optional<bool> /*startHelper*/) {
    // aria2 is linked in: there is nothing to install and no helper process to start.
    std::string base = folder;
    if (base.size() > 1 && base.back() == '/') base.pop_back();
    return impl_->thread.start(base);
}

void DownloadEngine::uninit() {
    impl_->thread.stop();
}

std::uint32_t DownloadEngine::createTask(const std::string& url, const std::string& referer,
                                         const std::string& cookies, const std::string& fileName,
                                         const std::string& saveFolder, int /*onlyOriginal*/,
                                         int noAutoRename, int resume) {
    // aria2 only ever uses the addresses it is given, so every task keeps to its
    // original address; only plain http and https ones are given.
    if (!isEngineAddress(url)) return 0;
    TaskSettings settings;
    settings.url = withLowerCaseScheme(localToUtf8(url));
    settings.referer = localToUtf8(referer);
    settings.cookies = localToUtf8(cookies);
    settings.fileName = localToUtf8(fileName);
    settings.saveFolder = localToUtf8(saveFolder);
    settings.noAutoRename = noAutoRename == 1;
    settings.resume = resume == 1;
    // The name is one file inside the folder, never a path out of it.
    if (settings.fileName.find('/') != std::string::npos || settings.fileName == "." ||
        settings.fileName == "..") {
        return 0;
    }
    // A partial file is continued only from a control file the engine can read.
    if (settings.resume && !settings.fileName.empty()) {
        dropUnresumablePartial(settings.saveFolder + "/" + settings.fileName);
    }
    return impl_->thread.addTask(settings);
}

bool DownloadEngine::startTask(std::uint32_t task) {
    return impl_->thread.resumeTask(task);
}
bool DownloadEngine::stopTask(std::uint32_t task) {
    return impl_->thread.pauseTask(task, false);
}
bool DownloadEngine::forceStopTask(std::uint32_t task) {
    return impl_->thread.pauseTask(task, true);
}
bool DownloadEngine::deleteTask(std::uint32_t task) {
    return impl_->thread.removeTask(task);
}

std::string DownloadEngine::taskStateName(std::uint32_t task) {
    return stateName(taskState(task));
}

std::string DownloadEngine::taskErrorText(std::uint32_t task) {
    auto snapshot = impl_->thread.snapshot(task);
    return snapshot ? errorText(snapshot->error) : "";
}

EngineState DownloadEngine::taskState(std::uint32_t task) {
    auto snapshot = impl_->thread.snapshot(task);
    return snapshot ? snapshot->state : kStateNoItem;
}

EngineError DownloadEngine::taskError(std::uint32_t task) {
    auto snapshot = impl_->thread.snapshot(task);
    return snapshot ? snapshot->error : kErrorUnknown;
}

EngineState DownloadEngine::waitTaskState(std::uint32_t task, EngineState seen,
                                          std::chrono::milliseconds longest) {
    return impl_->thread.waitForState(task, seen, longest);
}

std::int64_t DownloadEngine::taskTotalSize(std::uint32_t task) {
    auto snapshot = impl_->thread.snapshot(task);
    return snapshot ? snapshot->totalSize : 0;
}

std::int64_t DownloadEngine::taskDownloadedSize(std::uint32_t task) {
    auto snapshot = impl_->thread.snapshot(task);
    return snapshot ? snapshot->downloadedSize : 0;
}

std::uint32_t DownloadEngine::taskPercent(std::uint32_t task) {
    auto snapshot = impl_->thread.snapshot(task);
    if (!snapshot || snapshot->totalSize <= 0) return 0;
    return static_cast<std::uint32_t>(snapshot->downloadedSize * 100 / snapshot->totalSize);
}

// Every task has exactly one source: the address it was created with.
int DownloadEngine::taskSourceCount(std::uint32_t task) {
    return impl_->thread.snapshot(task) ? 1 : 0;
}

int DownloadEngine::taskSourcesInUse(std::uint32_t task) {
    auto snapshot = impl_->thread.snapshot(task);
    return snapshot ? snapshot->connections : 0;
}

// Nothing comes from peers or mirrors: every byte is from the original address.
std::int64_t DownloadEngine::taskPeerBytes(std::uint32_t) {
    return 0;
}
std::int64_t DownloadEngine::taskOriginBytes(std::uint32_t task) {
    return taskDownloadedSize(task);
}
std::int64_t DownloadEngine::taskServerBytes(std::uint32_t) {
    return 0;
}

int DownloadEngine::taskSpeed(std::uint32_t task) {
    auto snapshot = impl_->thread.snapshot(task);
    return snapshot ? snapshot->speed : 0;
}
int DownloadEngine::taskServerSpeed(std::uint32_t) {
    return 0;
}
int DownloadEngine::taskPeerSpeed(std::uint32_t) {
    return 0;
}

std::uint32_t DownloadEngine::taskOriginUsable(std::uint32_t task) {
    auto snapshot = impl_->thread.snapshot(task);
    return snapshot && snapshot->state != kStateError ? 1 : 0;
}

// Files are not preallocated, so no task ever spends time creating its file.
std::uint32_t DownloadEngine::taskCreatingFile(std::uint32_t) {
    return 0;
}

std::string DownloadEngine::errorText(int code) {
    return engineErrorText(code);
}
std::string DownloadEngine::stateName(int code) {
    return engineStateName(code);
}

void DownloadEngine::setUploadSpeedLimit(std::int32_t first, std::int32_t /*second*/) {
    // Only the overall limit exists in aria2; the first value is taken as KiB/s.
    impl_->thread.setUploadLimit(static_cast<std::int64_t>(first) * 1024);
}

bool DownloadEngine::setSpeedLimit(std::int64_t bytesPerSecond) {
    return impl_->thread.changeGlobalOptions(
        {{"max-overall-download-limit",
          std::to_string(std::max<std::int64_t>(0, bytesPerSecond))}});
}

bool DownloadEngine::setProxy(const ProxyRoute& route) {
    std::vector<std::pair<std::string, std::string>> options = {
        // Empty values clear what the environment put into the session when it began.
        {"all-proxy", ""},
        {"no-proxy", route.noProxy},
    };
    auto add = [&](const std::string& prefix, const std::optional<ProxyServer>& server) {
        options.emplace_back(prefix, server ? proxyUrl(*server) : "");
        options.emplace_back(prefix + "-user", server ? localToUtf8(server->user) : "");
        options.emplace_back(prefix + "-passwd", server ? localToUtf8(server->password) : "");
    };
    add("http-proxy", route.http);
    add("https-proxy", route.https);
    return impl_->thread.changeGlobalOptions(options);
}

DownloadEngine& downloadEngine() {
    static DownloadEngine engine;
    return engine;
}

}  // namespace quivra
