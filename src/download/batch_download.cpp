#include "download/batch_download.h"

#include <algorithm>
#include <optional>
#include <thread>

#include "download/list_download.h"
#include "download/plan/download_plan.h"
#include "net/text_encoding.h"
#include "video/listing/list_address.h"
#include "video/video_parse.h"

namespace quivra {

AddedVideo addVideo(const ParseResult& parsed, const DownloadSettings& settings,
                    const std::string& siteAddress, DownloadQueue& queue,
                    std::optional<std::vector<int>> rows) {
    const std::string failed = localText("解析失败：");
    // The message box's text becomes a reason.
    if (parsed.failure == ParseFailure::NoIdentifier) return {-1, failed + parseText(parsed)};
    if (parsed.failure != ParseFailure::None) return {-1, parseText(parsed)};
    const DownloadPlan plan = planDownloads(parsed, {std::move(rows)}, settings, siteAddress);
    if (!plan.refusal.empty()) return {-1, failed + plan.refusal};
    for (const DownloadRequest& part : plan.requests) queue.submit(part);
    const int parts = static_cast<int>(plan.requests.size());
    return {parts, localText("已加入") + std::to_string(parts) + localText("个分P")};
}

std::string addParsedVideo(const ParseResult& parsed, const DownloadSettings& settings,
                           const std::string& siteAddress, DownloadQueue& queue) {
    return addVideo(parsed, settings, siteAddress, queue).text;
}

BatchRun::BatchRun(size_t items, ItemWork work, std::shared_ptr<DownloadQueue> queue,
                   std::shared_ptr<BatchView> view)
    : items_(items), work_(std::move(work)), queue_(std::move(queue)), view_(std::move(view)) {}

std::shared_ptr<BatchRun> BatchRun::start(size_t items, ItemWork work,
                                          std::shared_ptr<DownloadQueue> queue,
                                          std::shared_ptr<BatchView> view) {
    auto run =
        std::make_shared<BatchRun>(items, std::move(work), std::move(queue), std::move(view));
    const int threads = std::clamp<int>(static_cast<int>(items), 1, kParsesAtOnce);
    run->working_ = threads;
    // Each thread keeps the run alive: closing the window does not wait for a parse.
    for (int i = 0; i < threads; ++i) std::thread([run] { run->work(); }).detach();
    return run;
}

std::shared_ptr<BatchRun> BatchRun::start(std::vector<std::string> addresses,
                                          DownloadSettings settings, ListingRequest lists,
                                          std::shared_ptr<DownloadQueue> queue,
                                          std::shared_ptr<BatchView> view) {
    const size_t count = addresses.size();
    ItemWork work = [addresses = std::move(addresses), settings = std::move(settings),
                     lists = std::move(lists)](size_t index, DownloadQueue& queue, BatchView& view,
                                               const std::atomic<bool>& stopped) {
        const std::string& address = addresses[index];
        auto show = [&view, index](const std::string& text) { view.showAddressState(index, text); };
        show(localText("解析中"));
        show(addParsedVideo(parseVideo(address), settings, lists.site.main, queue));
    };
    return start(count, std::move(work), std::move(queue), std::move(view));
}

void BatchRun::work() {
    for (;;) {
        const size_t index = next_++;
        if (stopped_ || index >= items_) break;
        work_(index, *queue_, *view_, stopped_);
    }
    // The other threads are past their loops: none reads the queue any more.
    if (--working_ == 0) {
        work_ = nullptr;
        queue_.reset();
        view_->batchFinished();
    }
}

}  // namespace quivra
