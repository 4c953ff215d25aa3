#include "download/batch_download.h"

#include <algorithm>
#include <thread>

#include "base/config_file.h"
#include "download/default_quality.h"
#include "download/part_binding.h"
#include "net/text_encoding.h"

namespace quivra {

namespace {

std::string failed(const std::string& reason) {
    return localText("解析失败：") + reason;
}

// The quality as the video offers it ("720P 高清").
std::string qualityName(const QualityList& qualities, int quality) {
    for (const QualityEntry& entry : qualities.entries) {
        if (textToInteger(entry.quality) == quality) return entry.newDescription;
    }
    return {};
}

}  // namespace

std::string addParsedVideo(const ParsedVideo& parsed, const DownloadSettings& settings,
                           DownloadQueue& queue) {
    if (!parsed.failure.empty()) return failed(parsed.failure);
    const DefaultChoice quality = chooseDefaultQualities(parsed.qualities, settings);
    if (!quality.refusal.empty()) return failed(quality.refusal);
    const std::string refused = makeVideoFolders(settings.directory, parsed.video);
    if (!refused.empty()) return failed(refused);

    const PartChoice choice{settings.directory, quality.videoQuality, quality.audioQuality};
    std::vector<DownloadRequest> parts = bindVideoParts(parsed.video, choice);
    const std::string name = qualityName(parsed.qualities, quality.videoQuality);
    for (DownloadRequest& part : parts) {
        part.qualityName = name;  // of this video's list, not of the main window's last parse
        queue.submit(part);
    }
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
            index, addParsedVideo(parseVideoAddress(addresses_[index]), settings_, *queue_));
    }
    // The other threads are past their loops: none reads the queue any more.
    if (--working_ == 0) {
        queue_.reset();
        view_->batchFinished();
    }
}

}  // namespace quivra
