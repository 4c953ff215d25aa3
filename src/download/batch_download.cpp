#include "download/batch_download.h"

#include <iterator>
#include <optional>
#include <thread>
#include <tuple>

#include "download/list_download.h"
#include "download/plan/download_plan.h"
#include "net/text_encoding.h"
#include "video/listing/list_address.h"
#include "video/video_parse.h"

namespace quivra {

std::string partsAddedText(int parts) {
    return localText("已加入") + std::to_string(parts) + localText("个分P");
}

AddedVideo addVideo(const ParseResult& parsed, const DownloadSettings& settings,
                    const std::string& siteAddress, DownloadQueue& queue,
                    const std::string& listName) {
    const std::string failed = localText("解析失败：");
    // The message box's text becomes a reason.
    if (parsed.failure == ParseFailure::NoIdentifier) return {-1, failed + parseText(parsed)};
    if (parsed.failure != ParseFailure::None) return {-1, parseText(parsed)};
    PartSelection every;
    every.listName = listName;
    const DownloadPlan plan = planDownloads(parsed, every, settings, siteAddress);
    if (!plan.refusal.empty()) return {-1, failed + plan.refusal};
    for (const DownloadRequest& part : plan.requests) queue.submit(part);
    const int parts = static_cast<int>(plan.requests.size());
    return {parts, partsAddedText(parts)};
}

std::string addParsedVideo(const ParseResult& parsed, const DownloadSettings& settings,
                           const std::string& siteAddress, DownloadQueue& queue) {
    return addVideo(parsed, settings, siteAddress, queue).text;
}

BatchRun::BatchRun(std::vector<Task> tasks, std::shared_ptr<DownloadQueue> queue,
                   std::shared_ptr<BatchView> view)
    : tasks_(std::make_move_iterator(tasks.begin()), std::make_move_iterator(tasks.end())),
      queue_(std::move(queue)),
      view_(std::move(view)) {}

std::shared_ptr<BatchRun> BatchRun::start(std::vector<Task> tasks,
                                          std::shared_ptr<DownloadQueue> queue,
                                          std::shared_ptr<BatchView> view) {
    auto run = std::make_shared<BatchRun>(std::move(tasks), std::move(queue), std::move(view));
    // Two threads even for one task: a list address adds its videos for both.
    run->working_ = kParsesAtOnce;
    // Each thread keeps the run alive: closing the window does not wait for a parse.
    for (int i = 0; i < kParsesAtOnce; ++i) std::thread([run] { run->work(); }).detach();
    return run;
}

std::shared_ptr<BatchRun> BatchRun::start(std::vector<std::string> addresses,
                                          DownloadSettings settings, ListingRequest lists,
                                          std::shared_ptr<DownloadQueue> queue,
                                          std::shared_ptr<BatchView> view) {
    auto shared = std::make_shared<const std::tuple<DownloadSettings, ListingRequest>>(
        std::move(settings), std::move(lists));
    std::vector<Task> tasks;
    for (size_t index = 0; index < addresses.size(); ++index) {
        tasks.push_back([shared, index, address = std::move(addresses[index])](
                            BatchRun& run, DownloadQueue& queue, BatchView& view) {
            const auto& [settings, lists] = *shared;
            if (std::optional<ListAddress> list = recognizeListAddress(address, lists.site)) {
                ListingRequest request = lists;
                request.address = std::move(*list);
                addListAddress(run, index, request, settings, queue, view);
                return;
            }
            view.showAddressState(index, localText("解析中"));
            view.showAddressState(index, addParsedVideo(parseVideo(address, formatAskOf(settings)),
                                                        settings, lists.site.main, queue));
        });
    }
    return start(std::move(tasks), std::move(queue), std::move(view));
}

void BatchRun::add(Task task) {
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    changed_.notify_one();
}

void BatchRun::stop() {
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
    }
    changed_.notify_all();
}

void BatchRun::work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        // With nothing waiting, a task still being worked may add more.
        changed_.wait(lock, [this] { return stopped_ || !tasks_.empty() || busy_ == 0; });
        if (stopped_ || tasks_.empty()) break;
        Task task = std::move(tasks_.front());
        tasks_.pop_front();
        ++busy_;
        lock.unlock();
        task(*this, *queue_, *view_);
        task = nullptr;
        lock.lock();
        --busy_;
        changed_.notify_all();
    }
    // The other threads are past their loops: none reads the queue any more.
    if (--working_ > 0) return;
    tasks_.clear();
    queue_.reset();
    lock.unlock();
    view_->batchFinished();
}

}  // namespace quivra
