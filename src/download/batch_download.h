// Many addresses downloaded at once: each parsed (never more than two at a time), its parts
// planned at the default qualities as the download buttons plan theirs and handed to the
// download list. Runs on threads of its own; the window follows it through a BatchView.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/records.h"
#include "download/list/download_queue.h"
#include "video/listing/video_listing.h"
#include "video/parse_result.h"

namespace quivra {

class BatchView {
  public:
    virtual ~BatchView() = default;
    // The state of address `index` (local text): "解析中", "已加入N个分P" or
    // "解析失败：" and the reason, or the parse's text; a list address says how far its
    // listing got. Called from the batch's threads.
    virtual void showAddressState(size_t index, const std::string& text) = 0;
    // Every address is over (or the batch was stopped) and the batch holds the queue no
    // more: its owner may end it. The threads still hold the view a moment after.
    virtual void batchFinished() = 0;
};

// "已加入N个分P" (local text): what an address or a list added.
std::string partsAddedText(int parts);

// What adding a parsed video did: the parts submitted (-1 when the parse or the plan
// failed) and the text of the address (local text), "已加入N个分P", or what the parse or
// the plan said.
struct AddedVideo {
    int parts = -1;
    std::string text;
};

// Plans every part of the parsed video with the settings (folder, default qualities, tags,
// cover) and submits those not done. siteAddress: the site's main page (UTF-8); listName:
// the list the video came from, for the file names' {listName}.
AddedVideo addVideo(const ParseResult& parsed, const DownloadSettings& settings,
                    const std::string& siteAddress, DownloadQueue& queue,
                    const std::string& listName = {});

// addVideo of every part, as its text.
std::string addParsedVideo(const ParseResult& parsed, const DownloadSettings& settings,
                           const std::string& siteAddress, DownloadQueue& queue);

class BatchRun : public std::enable_shared_from_this<BatchRun> {
  public:
    static constexpr int kParsesAtOnce = 2;

    // One piece of a run's work on one of its threads, telling the view its states; it may
    // add more pieces to its run (a list address adds one per video).
    using Task = std::function<void(BatchRun& run, DownloadQueue& queue, BatchView& view)>;

    // Works the tasks in order, at most kParsesAtOnce at a time, with the tasks they add.
    static std::shared_ptr<BatchRun> start(std::vector<Task> tasks,
                                           std::shared_ptr<DownloadQueue> queue,
                                           std::shared_ptr<BatchView> view);

    // Starts parsing addresses (local text) with the settings of this moment. A list
    // address is listed with `lists` (the site, the login, the waits; its address is the
    // list's) and each video it can download is added into the list's folder; the other
    // addresses are videos. The plans name pages under lists.site.main.
    static std::shared_ptr<BatchRun> start(std::vector<std::string> addresses,
                                           DownloadSettings settings, ListingRequest lists,
                                           std::shared_ptr<DownloadQueue> queue,
                                           std::shared_ptr<BatchView> view);

    // From a task: the run takes this one after those waiting.
    void add(Task task);
    // No further task starts; those being worked finish (a listing stops at its next page).
    void stop();
    const std::atomic<bool>& stopped() const { return stopped_; }

    BatchRun(std::vector<Task> tasks, std::shared_ptr<DownloadQueue> queue,
             std::shared_ptr<BatchView> view);

  private:
    void work();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Task> tasks_;
    int busy_ = 0;                          // tasks being worked: each may still add more
    int working_ = 0;                       // threads not yet past their loops
    std::shared_ptr<DownloadQueue> queue_;  // let go before batchFinished
    const std::shared_ptr<BatchView> view_;
    std::atomic<bool> stopped_{false};
};

}  // namespace quivra
