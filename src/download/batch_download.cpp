#include "download/batch_download.h"

#include <algorithm>
#include <thread>

#include "download/plan/default_quality.h"
#include "download/plan/part_binding.h"
#include "net/text_encoding.h"
#include "video/address_parse.h"

namespace quivra {

namespace {

std::string failed(const std::string& reason) {
    return localText("解析失败：") + reason;
}

}  // namespace

std::string addParsedVideo(const ParseResult& parsed, const DownloadSettings& settings,
                           DownloadQueue& queue) {
    // The message box's text becomes a reason; a failed request says 解析失败： already.
    if (parsed.failure == ParseFailure::NoIdentifier) return failed(parsed.failureText);
    if (parsed.failure != ParseFailure::None) return parsed.failureText;
    const DefaultChoice quality = chooseDefaultQualities(parsed.qualities, settings);
    if (!quality.refusal.empty()) return failed(quality.refusal);
    const std::string refused = makeVideoFolders(settings.directory, parsed.video);
    if (!refused.empty()) return failed(refused);

    const PartChoice choice{settings.directory, quality.videoQuality, quality.audioQuality};
    const std::vector<DownloadRequest> parts = bindVideoParts(parsed, choice);
    for (const DownloadRequest& part : parts) queue.submit(part);
    return localText("已加入") + std::to_string(parts.size()) + localText("个分P");
}

BatchRun::BatchRun(std::vector<std::string> addresses, DownloadSettings settings,
                   std::shared_ptr<DownloadQueue> queue, std::shared_ptr<BatchView> view)
    : addresses_(std::move(addresses)),
      settings_(std::move(settings)),
      queue_(std::move(queue)),
      view_(std::move(view)) {}

std::shared_ptr<BatchRun> BatchRun::start(std::vector<std::string> addresses,
                                          DownloadSettings settings,
                                          std::shared_ptr<DownloadQueue> queue,
                                          std::shared_ptr<BatchView> view) {
    auto run = std::make_shared<BatchRun>(std::move(addresses), std::move(settings),
                                          std::move(queue), std::move(view));
    const int threads = std::clamp<int>(static_cast<int>(run->addresses_.size()), 1, kParsesAtOnce);
    run->working_ = threads;
    // Each thread keeps the run alive: closing the window does not wait for a parse.
    for (int i = 0; i < threads; ++i) std::thread([run] { run->work(); }).detach();
    return run;
}

void BatchRun::work() {
    for (;;) {
        const size_t index = next_++;
        if (stopped_ || index >= addresses_.size()) break;
        view_->showAddressState(index, localText("解析中"));
        view_->showAddressState(
            index, addParsedVideo(parseAddress(addresses_[index]), settings_, *queue_));
    }
    // The other threads are past their loops: none reads the queue any more.
    if (--working_ == 0) {
        queue_.reset();
        view_->batchFinished();
    }
}

}  // namespace quivra
