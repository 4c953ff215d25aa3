#include "download/batch_download.h"

#include <algorithm>
#include <thread>

#include "download/plan/download_plan.h"
#include "net/text_encoding.h"
#include "video/video_parse.h"

namespace quivra {

std::string addParsedVideo(const ParseResult& parsed, const DownloadSettings& settings,
                           const std::string& siteAddress, DownloadQueue& queue) {
    const std::string failed = localText("解析失败：");
    // The message box's text becomes a reason.
    if (parsed.failure == ParseFailure::NoIdentifier) return failed + parseText(parsed);
    if (parsed.failure != ParseFailure::None) return parseText(parsed);
    const DownloadPlan plan = planDownloads(parsed, {}, settings, siteAddress);
    if (!plan.refusal.empty()) return failed + plan.refusal;
    for (const DownloadRequest& part : plan.requests) queue.submit(part);
    return localText("已加入") + std::to_string(plan.requests.size()) + localText("个分P");
}

BatchRun::BatchRun(std::vector<std::string> addresses, DownloadSettings settings,
                   std::string siteAddress, std::shared_ptr<DownloadQueue> queue,
                   std::shared_ptr<BatchView> view)
    : addresses_(std::move(addresses)),
      settings_(std::move(settings)),
      siteAddress_(std::move(siteAddress)),
      queue_(std::move(queue)),
      view_(std::move(view)) {}

std::shared_ptr<BatchRun> BatchRun::start(std::vector<std::string> addresses,
                                          DownloadSettings settings, std::string siteAddress,
                                          std::shared_ptr<DownloadQueue> queue,
                                          std::shared_ptr<BatchView> view) {
    auto run =
        std::make_shared<BatchRun>(std::move(addresses), std::move(settings),
                                   std::move(siteAddress), std::move(queue), std::move(view));
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
            index, addParsedVideo(parseVideo(addresses_[index]), settings_, siteAddress_, *queue_));
    }
    // The other threads are past their loops: none reads the queue any more.
    if (--working_ == 0) {
        queue_.reset();
        view_->batchFinished();
    }
}

}  // namespace quivra
